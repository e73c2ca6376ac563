// The cookie capture of the login dialogs, fed by hand as the embedded browser feeds it:
// which cookies a request to the cookie source address carries, HttpOnly ones included,
// and that the captured string logs the seller in on the stand-in marketplace.
#include "market/browser_cookies.h"

#include <gtest/gtest.h>

#include <string>

#include "base/hosts.h"
#include "core/context.h"
#include "market/login_checks.h"
#include "support/market_stage.h"

using namespace vt;

namespace {

BrowserCookie Cookie(std::string name, std::string value, std::string domain,
                     std::string path = "/") {
    BrowserCookie c;
    c.name = std::move(name);
    c.value = std::move(value);
    c.domain = std::move(domain);
    c.path = std::move(path);
    return c;
}

TEST(BrowserCookieJar, TheSharedDomainsCookiesHttpOnlyIncluded) {
    BrowserCookieJar jar;
    BrowserCookie session = Cookie("cookie2", "abc", ".taobao.com");
    session.httpOnly = true;
    jar.Add(Cookie("t", "1", ".taobao.com"));
    jar.Add(session);
    jar.Add(Cookie("tracknick", "book_seller", ".taobao.com"));
    jar.Add(Cookie("_tb_token_", "x", "upload.taobao.com"));  // that host alone
    jar.Add(Cookie("other", "y", ".example.com"));
    jar.Add(Cookie("deep", "z", ".taobao.com", "/auction"));
    BrowserCookie secure = Cookie("sgcookie", "s", ".taobao.com");
    secure.secure = true;
    jar.Add(secure);

    EXPECT_EQ(jar.CookieHeaderFor("http://www.taobao.com/"),
              "t=1; cookie2=abc; tracknick=book_seller; sgcookie=s");
    EXPECT_EQ(jar.CookieHeaderFor("https://upload.taobao.com/auction/sell.jhtml"),
              "deep=z; t=1; cookie2=abc; tracknick=book_seller; _tb_token_=x; sgcookie=s");
    EXPECT_EQ(jar.CookieHeaderFor("http://taobao.com"),
              "t=1; cookie2=abc; tracknick=book_seller; sgcookie=s");
    EXPECT_EQ(jar.CookieHeaderFor("http://nottaobao.com/"), "");
    // The port is no part of a cookie's scope.
    jar.Add(Cookie("local", "1", "127.0.0.1"));
    EXPECT_EQ(jar.CookieHeaderFor("http://127.0.0.1:18081/"), "local=1");
    EXPECT_EQ(jar.CookieHeaderFor("http://127.0.0.1:9/x?y=/z"), "local=1");
}

TEST(BrowserCookieJar, ReplacedRemovedAndExpiredCookies) {
    BrowserCookieJar jar;
    jar.Add(Cookie("a", "1", "h.test"));
    jar.Add(Cookie("b", "2", "h.test"));
    jar.Add(Cookie("a", "3", "h.test"));  // set again: keeps its place
    EXPECT_EQ(jar.CookieHeaderFor("http://h.test/"), "a=3; b=2");
    jar.Add(Cookie("a", "4", "h.test", "/p"));  // another path: another cookie
    EXPECT_EQ(jar.Count(), 3);
    EXPECT_EQ(jar.CookieHeaderFor("http://h.test/p/q"), "a=4; a=3; b=2");
    EXPECT_EQ(jar.CookieHeaderFor("http://h.test/pq"), "a=3; b=2");
    jar.Remove("a", "h.test", "/");
    EXPECT_EQ(jar.CookieHeaderFor("http://h.test/"), "b=2");

    BrowserCookie old = Cookie("old", "x", "h.test");
    old.expires = 1000;
    jar.Add(old);
    EXPECT_EQ(jar.CookieHeaderFor("http://h.test/", 999), "b=2; old=x");
    EXPECT_EQ(jar.CookieHeaderFor("http://h.test/", 1000), "b=2");
    jar.Clear();
    EXPECT_EQ(jar.CookieHeaderFor("http://h.test/"), "");
}

// The capture reads the advertising host's root over http, as the host table names it:
// on the stand-in, every marketplace role is one host, so its session cookies are read.
// A string far over 8 KiB is captured whole, and it logs the seller in.
TEST(BrowserCookieSource, CapturesWhatLogsTheSellerIn) {
    vt::testing::MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    const std::string origin = stage.market().origin();
    const std::string host =
        origin.substr(origin.find("://") + 3, origin.rfind(':') - origin.find("://") - 3);
    EXPECT_EQ(CookieSourceAddress(ctx.hosts()), origin + "/");
    // A bare host name is read over https, so that Secure cookies are captured for it.
    Hosts shipped;
    ASSERT_TRUE(shipped.Set(HostRole::MarketAdvertising, "www.alimama.com"));
    EXPECT_EQ(CookieSourceAddress(shipped), "https://www.alimama.com/");

    // What the browser stored during a login on the stand-in's page.
    const std::string demo = stage.DemoCookie();  // "t=…; tracknick=…; cookie2=…; …"
    BrowserCookieJar jar;
    std::size_t at = 0;
    while (at < demo.size()) {
        std::size_t end = demo.find("; ", at);
        if (end == std::string::npos)
            end = demo.size();
        const std::string pair = demo.substr(at, end - at);
        BrowserCookie c =
            Cookie(pair.substr(0, pair.find('=')), pair.substr(pair.find('=') + 1), host);
        c.httpOnly = c.name == "cookie2";
        jar.Add(c);
        at = end + 2;
    }
    jar.Add(Cookie("pad", std::string(9000, 'p'), host));
    jar.Add(Cookie("elsewhere", "1", ".example.com"));

    BrowserCookieSource source(jar, ctx.hosts());
    const std::string captured = source.CaptureCookie();
    EXPECT_EQ(captured, demo + "; pad=" + std::string(9000, 'p'));
    ctx.session().AddAccount("earlier");
    EXPECT_TRUE(ConfirmSingleLogin(ctx, source));
    EXPECT_EQ(ctx.session().SellerCookie(), captured);
    EXPECT_EQ(ctx.session().AccountCookie(0), captured);
    EXPECT_NE(ctx.db().ProductDb(), nullptr);
}

}  // namespace
