#include "market/on_sale_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/hosts.h"
#include "core/context.h"
#include "sim/form_parsing.h"
#include "sim/http_server.h"
#include "support/market_stage.h"

using namespace vt;
using vt::testing::MarketStage;

namespace {

const char kGoodsPath[] = "/auction/merchandise/auction_list.htm";

std::string GoodsRow(const std::string& checkbox, const std::string& outerCode) {
    return "<tr class=\"goods-sid \">\r\n<td>" + checkbox + "</td>\r\n<td class=\"code\">" +
           outerCode + "</td>\r\n<td><a href=\"#\" class=\"J_Copy\">复制链接</a></td>\r\n</tr>\r\n";
}

std::string Checkbox(const std::string& id) {
    return "<input id = \"selectedIds:" + id + "\" type=\"checkbox\" name=\"selectedIds\">";
}

TEST(GoodsQueryBody, CarriesTokenAndOuterCodeAsValuesOnly) {
    const std::string body = GoodsQueryBody("12345", "T");
    EXPECT_NE(body.find("&outId=12345&"), std::string::npos);
    EXPECT_NE(body.find("_tb_token_=T&pageName=goodsOnSale&banner="), std::string::npos);
    EXPECT_EQ(body.rfind("0=0&", 0), 0u);

    const sim::FormFields fields = sim::ParseUrlEncodedForm(body);
    EXPECT_EQ(fields.size(), 27u);
    EXPECT_EQ(sim::FieldValue(fields, "action"), "goodsmanager/GoodsManageAction");
    EXPECT_EQ(sim::FieldValue(fields, "isFirstLogin"), "false");
    EXPECT_EQ(sim::FieldValue(fields, "orderField"), "1");

    // A code or token served by a page arrives as the value it is: the fields and their
    // count stay those of the plain query, whatever the value holds.
    const struct {
        const char* code;
        const char* token;
    } odd[] = {
        {"[tbToken]", "pageName="},
        {"1&outId=2&searchNumFrom=0", "T&_tb_token_=X"},
        {"12 345=%26", "T\r\nX"},
    };
    for (const auto& c : odd) {
        const sim::FormFields got = sim::ParseUrlEncodedForm(GoodsQueryBody(c.code, c.token));
        ASSERT_EQ(got.size(), fields.size()) << c.code;
        for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].first, fields[i].first);
        EXPECT_EQ(sim::FieldValue(got, "outId"), c.code);
        EXPECT_EQ(sim::FieldValue(got, "_tb_token_"), c.token);
        EXPECT_EQ(sim::FieldValue(got, "pageName"), "goodsOnSale");
    }
}

TEST(OnSaleItemIds, OneIdPerGoodsRowWithACheckbox) {
    const struct {
        const char* what;
        std::string answer;
        std::vector<std::string> ids;
    } cases[] = {
        {"two rows for one code",
         "<table>" + GoodsRow(Checkbox("521001"), "12345") + GoodsRow(Checkbox("521002"), "12345") +
             "</table>",
         {"521001", "521002"}},
        {"a row without its checkbox",
         GoodsRow("", "12345") + GoodsRow(Checkbox("521003"), "12345"),
         {"521003"}},
        {"no rows", "<table class=\"goods-list\"><tbody></tbody></table>", {}},
        {"empty answer", "", {}},
        {"transport failure", "dwError = 7", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(OnSaleItemIds(c.answer), c.ids) << c.what;
}

TEST(FetchGoodsToken, ReadsTheGoodsListPagesToken) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    ctx.session().SetSellerCookie("cookie2=unknown");
    EXPECT_EQ(FetchGoodsToken(ctx), "");

    ctx.session().SetSellerCookie(stage.DemoCookie());
    const std::string token = FetchGoodsToken(ctx);
    EXPECT_EQ(token.size(), 13u);
    EXPECT_EQ(FetchGoodsToken(ctx), token);  // one token per session
    const auto asked = stage.RequestsTo(kGoodsPath);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1].method, "GET");
    EXPECT_EQ(asked[1].target, std::string(kGoodsPath) + "?type=1");

    // The stand-in takes the query with this token: no items on sale, no ids.
    EXPECT_TRUE(FindOnSaleByOuterCode(ctx, "12345", token).empty());
    const auto queries = stage.RequestsTo(kGoodsPath);
    ASSERT_EQ(queries.size(), 4u);
    const sim::HttpRequest& query = queries[3];
    EXPECT_EQ(query.method, "POST");
    EXPECT_EQ(query.target, std::string(kGoodsPath) + "?type=11");
    EXPECT_EQ(query.body, GoodsQueryBody("12345", token));
    EXPECT_EQ(query.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(query.Header("X-Requested-With"), "XMLHttpRequest");
    EXPECT_NE(query.Header("Referer").find("/trade/itemlist/list_sold_items.htm"),
              std::string::npos);
    EXPECT_EQ(query.Header("Cookie"), ctx.session().SellerCookie());
}

TEST(FindOnSaleByOuterCode, ReturnsTheIdsOfTheAnswersRows) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    // A goods manager that answers every query with the same page.
    sim::HttpServer goods;
    goods.SetHandler([](const sim::HttpRequest&) {
        sim::HttpResponse res;
        res.body = GoodsRow(Checkbox("521001"), "12345") + GoodsRow("", "12345") +
                   GoodsRow(Checkbox("521002"), "12345");
        return res;
    });
    ASSERT_TRUE(goods.Start("127.0.0.1", 0));
    AppContext& ctx = stage.ctx();
    ASSERT_TRUE(ctx.hosts().Set(HostRole::MarketSell, goods.origin()));
    ctx.session().SetSellerCookie("cookie2=abc; tracknick=seller");

    EXPECT_EQ(FindOnSaleByOuterCode(ctx, "12345", "T"),
              (std::vector<std::string>{"521001", "521002"}));
    const auto asked = goods.Requests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].body, GoodsQueryBody("12345", "T"));
    EXPECT_EQ(asked[0].Header("Cookie"), "cookie2=abc; tracknick=seller");

    goods.Stop();
    EXPECT_TRUE(FindOnSaleByOuterCode(ctx, "12345", "T").empty());
}

}  // namespace
