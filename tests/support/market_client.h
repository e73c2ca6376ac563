// A tiny blocking HTTP client for talking to the stand-ins on 127.0.0.1: one request per
// connection, the request written exactly as given (header lines in order).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vt::testing {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct ClientResponse {
    int status = 0;  // 0: no answer
    Headers headers;
    std::string body;

    std::string Header(const std::string& name) const;
    std::vector<std::string> HeaderValues(const std::string& name) const;
};

// Sends one request to 127.0.0.1:port. Adds Host and, when a body is given or the method
// is POST, Content-Length; everything else is sent as listed.
ClientResponse Exchange(int port, const std::string& method, const std::string& target,
                        const Headers& headers, const std::string& body = {});
ClientResponse Get(int port, const std::string& target, const std::string& cookie = {});

// The browser header set of the marketplace POSTs, then Cookie when given.
Headers MarketPostHeaders(const std::string& referer, const std::string& contentType,
                          const std::string& cookie, bool ajax);

// The seller pages' multipart boundary and bodies built with it.
extern const char kTestBoundary[];
std::string MultipartContentType();
std::string MultipartFields(const Headers& fields);
// A file part named multimagefile first, then the fields.
std::string ImageUploadBody(const std::string& fileName, const std::string& bytes,
                            const Headers& fields);

// The Cookie header a browser would send after these Set-Cookie lines.
std::string CookieHeaderFrom(const ClientResponse& response);

}  // namespace vt::testing
