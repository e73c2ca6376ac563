// The cookie capture of the login dialogs without the browser: the embedded browser
// reports every cookie it stores or drops (HttpOnly ones included: they are withheld from
// the page's scripts, not from the browser's own store), this jar keeps them, and the
// capture reads the string a request to the cookie source address would carry, in
// Cookie-header form. Any browser that reports its cookies can feed it; the tests feed it
// by hand.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/session.h"

namespace vt {

class Hosts;

struct BrowserCookie {
    std::string name;
    std::string value;
    // As the browser reports it: "127.0.0.1" for a cookie of that host alone, ".taobao.com"
    // (leading dot) for a cookie of the domain and every host under it.
    std::string domain;
    std::string path = "/";
    bool secure = false;
    bool httpOnly = false;
    // Seconds since the epoch; 0 for a session cookie.
    std::int64_t expires = 0;
};

class BrowserCookieJar {
public:
    // A cookie stored: it replaces the one of the same name, domain and path.
    void Add(BrowserCookie cookie);
    // A cookie dropped (expired, deleted, overwritten by the site).
    void Remove(const std::string& name, const std::string& domain, const std::string& path);
    void Clear();
    int Count() const;

    // The cookies a request to that address sends, as "name=value; name=value", longest
    // path first, then in the order they were stored. A cookie matches when its domain
    // matches the address's host (the host itself, or a host under a domain cookie's
    // domain), its path is a prefix of the address's path at a "/" boundary, and it has
    // not expired at `now` (seconds since the epoch). The port is no part of a cookie's
    // scope. Secure cookies are included for http addresses too: the string is handed
    // to the marketplace requests, which go over https.
    std::string CookieHeaderFor(const std::string& url, std::int64_t now) const;
    std::string CookieHeaderFor(const std::string& url) const;

private:
    struct Stored {
        BrowserCookie cookie;
        std::uint64_t order = 0;
    };
    mutable std::mutex mutex_;
    std::vector<Stored> cookies_;
    std::uint64_t nextOrder_ = 0;
};

// The capture of both login dialogs: the jar's cookies for the cookie source address,
// the marketplace advertising host's root over http (so that every cookie of the
// marketplace's shared domain is read). The whole string, whatever its length.
class BrowserCookieSource : public CookieSource {
public:
    BrowserCookieSource(const BrowserCookieJar& jar, const Hosts& hosts)
        : jar_(jar), hosts_(hosts) {}
    std::string CaptureCookie() override;

private:
    const BrowserCookieJar& jar_;
    const Hosts& hosts_;
};

// "http://www.alimama.com/" as the host table names the advertising host.
std::string CookieSourceAddress(const Hosts& hosts);

}  // namespace vt
