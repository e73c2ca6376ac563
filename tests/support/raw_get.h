// A deliberately small blocking HTTP/1.1 GET for tests that talk to the local stand-ins.
// It only ever connects to 127.0.0.1.
#pragma once

#include <string>

namespace vt::testing {

struct RawResponse {
    int status = 0;  // 0: no answer (refused address, connection failure, bad reply)
    std::string contentType;
    std::string body;
};

// url: "http://127.0.0.1:<port><target>". Any other host is refused without a request.
RawResponse RawGet(const std::string& url);

}  // namespace vt::testing
