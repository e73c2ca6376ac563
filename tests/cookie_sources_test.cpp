#include "market/cookie_sources.h"

#include <gtest/gtest.h>

#include <string>

#include "base/hosts.h"
#include "core/context.h"
#include "market/login_checks.h"
#include "sim/form_parsing.h"
#include "sim/http_server.h"
#include "support/market_stage.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::MarketStage;
using vt::testing::WriteAll;

namespace {

TEST(LoginFormBody, FillsTheLoginFormAsABrowserWould) {
    const std::string page =
        "<form action=\"/search\"><input type=\"text\" name=\"q\" value=\"书\"></form>"
        "<FORM id=\"login\" method=\"post\" ACTION='/member/login.jhtml'>"
        "<input type=\"hidden\" name=\"_tb_token_\" value=\"e3f1\">"
        "<input name='TPL_username' value=''>"
        "<input type=\"password\" name=\"TPL_password\">"
        "<input type=\"checkbox\" name=\"keep\" value=\"1\">"
        "<input type=\"checkbox\" name=\"agree\" value=\"yes\" checked>"
        "<input type=\"submit\" name=\"go\" value=\"登录\">"
        "<input type=\"text\" value=\"no name\">"
        "</FORM>";
    std::string action;
    const std::string body = LoginFormBody(page, "书友 01", "p&w=d", action);
    EXPECT_EQ(action, "/member/login.jhtml");
    EXPECT_EQ(body,
              "_tb_token_=e3f1&TPL_username=%CA%E9%D3%D1%2001&TPL_password=p%26w%3Dd&agree=yes");

    // A password need not be well-formed GBK: it goes byte for byte.
    EXPECT_EQ(LoginFormBody("<form><input name=u><input type=password name=p></form>", "n\x80",
                            "\x81\xFF&", action),
              "u=n%80&p=%81%FF%26");
    // So do the page's own names and values, as the page writes them.
    EXPECT_EQ(LoginFormBody("<form><input type=hidden name=\"t\xFE\" value=\"v\x80\">"
                            "<input type=password name=p></form>",
                            "n", "p", action),
              "t%FE=v%80&p=p");

    EXPECT_EQ(LoginFormBody("<html>no form</html>", "n", "p", action), "");
    EXPECT_EQ(action, "");
}

TEST(PasswordLogin, CapturesTheCookiesOfAGoodLoginOnly) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();

    PasswordLogin wrong(ctx.hosts(), MarketStage::kDemoNick, "not the password");
    EXPECT_EQ(wrong.CaptureCookie(), "");

    PasswordLogin right(ctx.hosts(), MarketStage::kDemoNick, MarketStage::kDemoPassword);
    const std::string cookie = right.CaptureCookie();
    EXPECT_EQ(SellerNickname(cookie), MarketStage::kDemoNick);
    EXPECT_NE(cookie.find("cookie2="), std::string::npos);  // an HttpOnly one
    EXPECT_NE(cookie.find("; uc1=cookie15="), std::string::npos);
    EXPECT_EQ(cookie.find("Path="), std::string::npos);

    const auto posts = stage.RequestsTo("/login");
    ASSERT_EQ(posts.size(), 2u);
    const sim::FormFields form = sim::ParseUrlEncodedForm(posts[1].body);
    EXPECT_EQ(sim::FieldValue(form, "TPL_username"), MarketStage::kDemoNick);
    EXPECT_EQ(sim::FieldValue(form, "TPL_password"), MarketStage::kDemoPassword);

    EXPECT_TRUE(ConfirmSingleLogin(ctx, right));
    EXPECT_TRUE(ctx.session().LoginValid());
}

TEST(PasswordLogin, SendsThePasswordOnlyToTheLoginHost) {
    sim::HttpServer login;
    login.SetHandler([](const sim::HttpRequest&) {
        sim::HttpResponse res;
        res.body =
            "<form method=\"post\" action=\"http://127.0.0.1:9/collect\">"
            "<input name=\"u\"><input type=\"password\" name=\"p\"></form>";
        return res;
    });
    ASSERT_TRUE(login.Start("127.0.0.1", 0));
    Hosts hosts;
    ASSERT_TRUE(hosts.Set(HostRole::MarketLogin, login.origin()));
    PasswordLogin source(hosts, "seller", "secret");
    EXPECT_EQ(source.CaptureCookie(), "");
    const auto asked = login.Requests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].method, "GET");
}

// The login host answers its form with a redirect. Only the marketplace's roles are
// visited: the password goes to the login host once, a 307 to another host is not
// repeated, and a host outside the roles gets nothing and sets nothing.
TEST(PasswordLogin, RedirectsStayOnTheMarketplaceAndThePasswordGoesOnce) {
    sim::HttpServer foreign;  // a host no role names
    foreign.SetHandler([](const sim::HttpRequest&) {
        sim::HttpResponse res;
        res.headers = {{"Set-Cookie", "evil=1; Path=/"}};
        res.body = "foreign";
        return res;
    });
    ASSERT_TRUE(foreign.Start("127.0.0.1", 0));
    sim::HttpServer main;  // the marketplace's main role, on a port of its own
    main.SetHandler([&](const sim::HttpRequest& req) {
        sim::HttpResponse res;
        res.headers = {{"Set-Cookie", "m=1; Path=/"}};
        if (req.path == "/home") {
            res.status = 302;
            res.headers.push_back({"Location", foreign.origin() + "/x"});
        }
        return res;
    });
    ASSERT_TRUE(main.Start("127.0.0.1", 0));

    struct Case {
        const char* name;
        int status;
        std::string location;
        std::string cookie;
        std::size_t mainRequests;
    };
    const Case cases[] = {
        {"307 to a foreign host", 307, foreign.origin() + "/steal", "a=1; b=2", 0},
        {"302 to the marketplace, then to a foreign host", 302, main.origin() + "/home",
         "a=1; b=2; m=1", 1},
        {"307 to another marketplace host", 307, main.origin() + "/post", "a=1; b=2", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::HttpServer login;
        login.SetHandler([&](const sim::HttpRequest& req) {
            sim::HttpResponse res;
            if (req.method == "GET") {
                res.headers = {{"Set-Cookie", "a=1; Path=/; HttpOnly"}};
                res.body =
                    "<form method=\"post\" action=\"/login\">"
                    "<input name=\"u\"><input type=\"password\" name=\"p\"></form>";
            } else {
                res.status = c.status;
                res.headers = {{"Set-Cookie", "b=2; Path=/"}, {"Location", c.location}};
            }
            return res;
        });
        ASSERT_TRUE(login.Start("127.0.0.1", 0));
        foreign.ClearRequests();
        main.ClearRequests();
        Hosts hosts;
        ASSERT_TRUE(hosts.Set(HostRole::MarketLogin, login.origin()));
        ASSERT_TRUE(hosts.Set(HostRole::MarketMain, main.origin()));

        PasswordLogin source(hosts, "seller", "s3cret-pw");
        EXPECT_EQ(source.CaptureCookie(), c.cookie);

        EXPECT_EQ(foreign.RequestCount(), 0u);
        const auto mainAsked = main.Requests();
        ASSERT_EQ(mainAsked.size(), c.mainRequests);
        for (const sim::HttpRequest& r : mainAsked) {
            EXPECT_EQ(r.method, "GET");
            EXPECT_EQ(r.body.find("s3cret-pw"), std::string::npos);
        }
        int passwordSent = 0;
        for (const sim::HttpRequest& r : login.Requests())
            passwordSent += r.body.find("s3cret-pw") != std::string::npos;
        EXPECT_EQ(passwordSent, 1);
    }
}

TEST(FileCookieSource, ReadsTheSavedCookieString) {
    vt::testing::TempAppDir dir(false);
    WriteAll(dir.native() + "/cookie.txt", "  t=1; tracknick=seller; cookie2=ab\r\n");
    FileCookieSource saved(dir.path() + "/cookie.txt");
    EXPECT_EQ(saved.CaptureCookie(), "t=1; tracknick=seller; cookie2=ab");
    FileCookieSource missing(dir.path() + "/none.txt");
    EXPECT_EQ(missing.CaptureCookie(), "");
}

}  // namespace
