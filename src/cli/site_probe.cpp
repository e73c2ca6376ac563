#include "cli/site_probe.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstring>
#include <set>

namespace vt::cli {
namespace {

constexpr long kProbeTimeoutMs = 5000;

std::string Lowered(const char* text) {
    std::string s = text;
    if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z')
        s[0] = static_cast<char>(s[0] - 'A' + 'a');
    return s;
}

// The transport's reason in a reader's words; empty when the connection stood.
std::string TryConnect(const std::string& origin) {
    CURL* curl = curl_easy_init();
    if (!curl)
        return "no connection handle could be made";
    char error[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl, CURLOPT_URL, (origin + "/").c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kProbeTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kProbeTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    const CURLcode code = curl_easy_perform(curl);
    long osErrno = 0;
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
    curl_easy_cleanup(curl);
    switch (code) {
        case CURLE_OK:
            return {};
        case CURLE_COULDNT_RESOLVE_HOST:
            return "host name not found";
        case CURLE_OPERATION_TIMEDOUT:
            return "no answer within " + std::to_string(kProbeTimeoutMs / 1000) + " s";
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
            return std::string("the certificate failed verification: ") + error;
        case CURLE_SSL_CONNECT_ERROR:
            return std::string("the secure connection failed: ") + error;
        default:
            break;
    }
    if (osErrno != 0)
        return Lowered(std::strerror(static_cast<int>(osErrno)));
    return error[0] ? std::string(error) : curl_easy_strerror(code);
}

}  // namespace

const char* RoleLabel(HostRole role) {
    switch (role) {
        case HostRole::SourceSearch:
            return "bookstore search";
        case HostRole::SourceCategory:
            return "bookstore categories";
        case HostRole::SourceProduct:
            return "bookstore product pages";
        case HostRole::SourcePromo:
            return "bookstore promotions";
        case HostRole::MarketLogin:
            return "marketplace login";
        case HostRole::MarketUpload:
            return "marketplace upload";
        case HostRole::MarketSell:
            return "marketplace seller pages";
        case HostRole::MarketTrade:
            return "marketplace trade pages";
        case HostRole::MarketAdvertising:
            return "marketplace advertising";
        case HostRole::MarketMain:
            return "marketplace main site";
        case HostRole::MarketImageCdn:
            return "marketplace pictures";
    }
    return "site";
}

std::string FirstUnreachable(const Hosts& hosts, std::initializer_list<HostRole> roles) {
    std::set<std::string> tried;
    for (HostRole role : roles) {
        const std::string origin = hosts.Origin(role);
        if (!tried.insert(origin).second)
            continue;
        const std::string reason = TryConnect(origin);
        if (!reason.empty())
            return std::string(RoleLabel(role)) + " (Data/Hosts.ini " + std::string(HostKey(role)) +
                   " = " + origin + ") cannot be reached: " + reason;
    }
    return {};
}

}  // namespace vt::cli
