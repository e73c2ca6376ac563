#include "support/raw_get.h"

#include <cstdlib>

#include "support/market_client.h"

namespace vt::testing {

RawResponse RawGet(const std::string& url) {
    RawResponse res;
    const std::string prefix = "http://127.0.0.1:";
    if (url.rfind(prefix, 0) != 0)
        return res;
    std::size_t slash = url.find('/', prefix.size());
    int port = std::atoi(url.substr(prefix.size(), slash - prefix.size()).c_str());
    std::string target = slash == std::string::npos ? "/" : url.substr(slash);
    if (port <= 0 || port > 65535)
        return res;

    ClientResponse answer = Get(port, target);
    std::string length = answer.Header("Content-Length");
    if (answer.status == 0 ||
        (!length.empty() && answer.body.size() < std::strtoul(length.c_str(), nullptr, 10)))
        return res;  // no answer, or cut short: not a whole page
    res.status = answer.status;
    res.contentType = answer.Header("Content-Type");
    res.body = std::move(answer.body);
    return res;
}

}  // namespace vt::testing
