// The stand-ins as the demo and a seller's scripts use them: the vantrell-sim executable.
#include <gtest/gtest.h>

#include <csignal>

#include "base/http_client.h"
#include "base/regex_ops.h"
#include "support/child_process.h"
#include "support/market_client.h"

using namespace vt;
using namespace vt::testing;

namespace {

int PortOf(const std::string& origin) {
    return std::stoi(origin.substr(origin.rfind(':') + 1));
}

}  // namespace

TEST(VantrellSimExecutable, ServesBothStandInsUntilTerminated) {
    ChildProcess sim(BinPath("vantrell-sim"),
                     {"--bind", "127.0.0.1", "--source-port", "0", "--market-port", "0", "--seed",
                      "7", "--books", "300"});
    ASSERT_TRUE(sim.started());
    std::string sourceLine, marketLine, readyLine;
    ASSERT_TRUE(sim.ReadLine(sourceLine));
    ASSERT_TRUE(sim.ReadLine(marketLine));
    ASSERT_TRUE(sim.ReadLine(readyLine));
    ASSERT_EQ(sourceLine.rfind("source http://127.0.0.1:", 0), 0u) << sourceLine;
    ASSERT_EQ(marketLine.rfind("market http://127.0.0.1:", 0), 0u) << marketLine;
    EXPECT_EQ(readyLine, "ready");
    const std::string source = sourceLine.substr(7), market = marketLine.substr(7);

    // A search page cuts into list items, each leading to a product page.
    std::string list =
        HttpHelper::GetPage(source + "/?key=&category_path=01.00.00.00.00.00&page_index=1");
    auto items = RegexList(list, "<li class=\"line(.*?)</li>");
    ASSERT_TRUE(items.has_value());
    ASSERT_GE(items->size(), 10u);
    std::string address = RegexFirst(items->front(), "class=\"pic\".*?href=\"(?<Url>.+?)\".+?<img");
    ASSERT_NE(address.find(".html"), std::string::npos);

    std::string product = HttpHelper::GetPage(address);
    EXPECT_FALSE(RegexFirst(product, "\"productName\":\"(.*?)\",").empty());
    std::string isbn = RegexFirst(product, "ISBN：(?<Param3>.*?)<");
    EXPECT_EQ(isbn.size(), 13u) << isbn;
    EXPECT_FALSE(RegexFirst(product, "<span class=\"head_title_name\" title=\"(.*?)\" >").empty());

    // The seller pages open only to a logged-in cookie.
    const std::string sell = market + "/auction/sell.jhtml";
    EXPECT_EQ(MarketGetWithCookie(sell, "").find("卖家中心"), std::string::npos);
    ClientResponse login = Exchange(PortOf(market), "POST", "/login",
                                    {{"Content-Type", "application/x-www-form-urlencoded"}},
                                    "TPL_username=vantrell_demo&TPL_password=demo123");
    std::string cookie = CookieHeaderFrom(login);
    ASSERT_NE(cookie.find("tracknick=vantrell_demo"), std::string::npos) << cookie;
    EXPECT_NE(MarketGetWithCookie(sell, cookie).find("卖家中心"), std::string::npos);

    EXPECT_EQ(sim.Terminate(SIGTERM), 0);
}
