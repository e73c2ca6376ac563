#include "market/browser_cookies.h"

#include <algorithm>
#include <ctime>

#include "base/hosts.h"

namespace vt {
namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

struct Address {
    std::string host;  // lower case, without port
    std::string path;  // without query
};

Address SplitUrl(const std::string& url) {
    std::size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    const std::size_t end = url.find_first_of("/?#", start);
    std::string authority =
        url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos)
        authority.erase(0, at + 1);
    std::size_t hostEnd = authority.find(':');
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        hostEnd = close == std::string::npos ? std::string::npos : close + 1;
    }
    Address out;
    out.host = Lower(authority.substr(0, hostEnd));
    if (end != std::string::npos && url[end] == '/') {
        const std::size_t stop = url.find_first_of("?#", end);
        out.path = url.substr(end, stop == std::string::npos ? std::string::npos : stop - end);
    } else {
        out.path.push_back('/');
    }
    return out;
}

bool DomainMatches(const std::string& cookieDomain, const std::string& host) {
    std::string domain = Lower(cookieDomain);
    if (domain.empty())
        return false;
    if (domain.front() != '.')
        return domain == host;  // a host-only cookie
    domain.erase(0, 1);
    if (host == domain)
        return true;
    return host.size() > domain.size() + 1 &&
           host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
           host[host.size() - domain.size() - 1] == '.';
}

bool PathMatches(const std::string& cookiePath, const std::string& requestPath) {
    const std::string cp = cookiePath.empty() ? std::string("/") : cookiePath;
    if (requestPath.compare(0, cp.size(), cp) != 0)
        return false;
    return requestPath.size() == cp.size() || cp.back() == '/' || requestPath[cp.size()] == '/';
}

bool SameCookie(const BrowserCookie& c, const std::string& name, const std::string& domain,
                const std::string& path) {
    return c.name == name && Lower(c.domain) == Lower(domain) &&
           (c.path.empty() ? std::string("/") : c.path) == (path.empty() ? std::string("/") : path);
}

}  // namespace

void BrowserCookieJar::Add(BrowserCookie cookie) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Stored& s : cookies_)
        if (SameCookie(s.cookie, cookie.name, cookie.domain, cookie.path)) {
            // A cookie set again keeps its first creation's place, as browsers order them.
            s.cookie = std::move(cookie);
            return;
        }
    cookies_.push_back(Stored{std::move(cookie), nextOrder_++});
}

void BrowserCookieJar::Remove(const std::string& name, const std::string& domain,
                              const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    cookies_.erase(
        std::remove_if(cookies_.begin(), cookies_.end(),
                       [&](const Stored& s) { return SameCookie(s.cookie, name, domain, path); }),
        cookies_.end());
}

void BrowserCookieJar::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    cookies_.clear();
}

int BrowserCookieJar::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(cookies_.size());
}

std::string BrowserCookieJar::CookieHeaderFor(const std::string& url) const {
    return CookieHeaderFor(url, static_cast<std::int64_t>(std::time(nullptr)));
}

std::string BrowserCookieJar::CookieHeaderFor(const std::string& url, std::int64_t now) const {
    const Address address = SplitUrl(url);
    const std::string& host = address.host;
    const std::string& path = address.path;
    std::vector<const Stored*> matching;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Stored& s : cookies_) {
        const BrowserCookie& c = s.cookie;
        if (c.expires != 0 && c.expires <= now)
            continue;
        if (DomainMatches(c.domain, host) && PathMatches(c.path, path))
            matching.push_back(&s);
    }
    std::stable_sort(matching.begin(), matching.end(), [](const Stored* a, const Stored* b) {
        if (a->cookie.path.size() != b->cookie.path.size())
            return a->cookie.path.size() > b->cookie.path.size();
        return a->order < b->order;
    });
    std::string header;
    for (const Stored* s : matching) {
        if (!header.empty())
            header += "; ";
        // A cookie set without a name goes out as its value alone, as browsers send it.
        header += s->cookie.name.empty() ? s->cookie.value : s->cookie.name + "=" + s->cookie.value;
    }
    return header;
}

std::string CookieSourceAddress(const Hosts& hosts) {
    return hosts.Url(HostRole::MarketAdvertising, "/");
}

std::string BrowserCookieSource::CaptureCookie() {
    return jar_.CookieHeaderFor(CookieSourceAddress(hosts_));
}

}  // namespace vt
