#include "market/category_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/context.h"
#include "sim/market_categories.h"
#include "support/market_stage.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::MarketStage;
using vt::testing::ReadAll;
using vt::testing::TempAppDir;
using vt::testing::U8;
using vt::testing::WriteAll;

namespace {

std::string Candidate(const std::string& sid, const std::string& path) {
    return "{\"sid\":\"" + sid + "\",\"path\":[" + path + "],\"leaf\":true}";
}

const std::string kNovel = "\"书籍/杂志/报纸\",\"小说\"";
const std::string kUsedNovel = "\"书籍/杂志/报纸\",\"二手书\",\"小说\"";

TEST(ChooseCategory, TakesTheFirstNewBookCategory) {
    const struct {
        const char* what;
        std::string answer;
        const char* sid;
    } cases[] = {
        {"new book first",
         "[" + Candidate("50010485", kNovel) + "," + Candidate("50015251", kUsedNovel) + "]",
         "50010485"},
        {"second-hand first",
         "[" + Candidate("50015251", kUsedNovel) + "," + Candidate("50010485", kNovel) + "]",
         "50010485"},
        {"reserved category skipped",
         "[" + Candidate("121956004", "\"书籍/杂志/报纸\",\"其它\"") + "," +
             Candidate("50000072", "\"书籍/杂志/报纸\",\"文学\"") + "]",
         "50000072"},
        {"only second-hand: the last one",
         "[" + Candidate("50015251", kUsedNovel) + "," +
             Candidate("50015252", "\"书籍/杂志/报纸\",\"二手书\",\"文学\"") + "]",
         "50015252"},
        {"outside the book branch: the last one",
         "[" + Candidate("16", "\"女装/女士精品\"") + "," + Candidate("30", "\"男装\"") + "]",
         "30"},
        {"last candidate without an id",
         "[" + Candidate("50015251", kUsedNovel) + ",{\"path\":[\"男装\"],\"leaf\":true}]", ""},
        {"short answer", "[]", ""},
        {"29 bytes", "[{\"sid\":\"50010485\",\"path\":[]", ""},
        {"price missing",
         "[" + Candidate("50010485", kNovel) + "],\"message\":\"价格为空，无法推荐类目\"", ""},
        {"no candidates", "{\"success\":true,\"message\":\"nothing here at all\"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseCategory(c.answer), c.sid) << c.what;
}

// The n-th (0-based) "sid" of an answer, read by plain search.
std::string NthSid(const std::string& answer, int n) {
    std::size_t at = 0;
    for (int i = 0; i <= n; ++i) {
        at = answer.find("\"sid\":\"", at);
        if (at == std::string::npos)
            return {};
        at += 7;
    }
    return answer.substr(at, answer.find('"', at) - at);
}

TEST(QueryCategory, AsksTheServiceWithTheIsbnAndChooses) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    const std::string cookie = stage.DemoCookie();
    const struct {
        sim::CategoryAnswer answer;
        int chosen;  // which candidate's sid; -1: none
    } cases[] = {
        {sim::CategoryAnswer::NewBook, 0},        {sim::CategoryAnswer::ReservedFirst, 1},
        {sim::CategoryAnswer::SecondHandOnly, 1}, {sim::CategoryAnswer::Short, -1},
        {sim::CategoryAnswer::PriceMissing, -1},
    };
    for (const auto& c : cases) {
        const std::string isbn = "97875442" + std::to_string(static_cast<int>(c.answer)) + "1234";
        stage.market().SetCategoryAnswer(isbn, c.answer);
        const std::string text = sim::CategoryAnswerText(c.answer, isbn);
        const std::string expected = c.chosen < 0 ? std::string() : NthSid(text, c.chosen);
        EXPECT_EQ(QueryCategory(stage.ctx(), isbn, " tok123 ", cookie), expected) << isbn;
        if (c.chosen >= 0) {
            EXPECT_FALSE(expected.empty());
        }
    }

    const auto asked = stage.RequestsTo("/auction/json/get_category.htm");
    ASSERT_EQ(asked.size(), 5u);
    EXPECT_EQ(asked[0].body, "0=0&keyword=9787544201234");
    EXPECT_NE(asked[0].target.find("isTaoDianDian=false&_input_charset=utf-8"), std::string::npos);
    EXPECT_NE(asked[0].Header("Referer").find("&utkn=tok123"), std::string::npos);

    // Not logged in: nothing usable comes back.
    EXPECT_EQ(QueryCategory(stage.ctx(), "9787544201234", "tok123", "cookie2=unknown"), "");
}

TEST(ShopCategories, LoadedFromTheShopWithTheSellersCookie) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    EXPECT_FALSE(ShopCategoriesLoaded(ctx));

    ctx.session().SetSellerCookie("cookie2=unknown");
    EXPECT_EQ(LoadShopCategories(ctx), 0);
    EXPECT_FALSE(ShopCategoriesLoaded(ctx));

    ctx.session().SetSellerCookie(stage.DemoCookie());
    EXPECT_EQ(LoadShopCategories(ctx), 4);
    EXPECT_TRUE(ShopCategoriesLoaded(ctx));
    EXPECT_EQ(ctx.config().ShopCategoryNames(),
              (std::vector<std::string>{"文学小说", "少儿读物", "教材教辅", "经管励志"}));
    EXPECT_EQ(ctx.config().ShopCategoryId("教材教辅"), "1217810003");

    // A later load without a login empties the drop-down but keeps what is known.
    stage.market().ExpireSessions();
    EXPECT_EQ(LoadShopCategories(ctx), 0);
    EXPECT_TRUE(ctx.config().ShopCategoryNames().empty());
    EXPECT_TRUE(ShopCategoriesLoaded(ctx));
    EXPECT_EQ(ctx.config().ShopCategoryId("文学小说"), "1217810001");
}

TEST(CategoryMapping, FileShownInReverseAndSavedTopToBottom) {
    TempAppDir dir;
    AppContext ctx(dir.path());
    const std::string file = dir.native() + "/Data/File/" + U8("Vantrell淘宝分类对应.txt");
    WriteAll(file, "小说,文学小说\r\n\r\n童书,少儿读物\r\n计算机\r\n");

    LoadCategoryMapping(ctx);
    EXPECT_EQ(
        ctx.config().CategoryMappings(),
        (std::vector<CategoryMapping>{{"计算机", ""}, {"童书", "少儿读物"}, {"小说", "文学小说"}}));

    ASSERT_TRUE(ctx.config().SetMappingShop(0, "教材教辅"));
    ASSERT_TRUE(SaveCategoryMapping(ctx));
    EXPECT_EQ(ReadAll(file), "计算机,教材教辅\r\n童书,少儿读物\r\n小说,文学小说\r\n");

    std::filesystem::remove(file);
    LoadCategoryMapping(ctx);
    EXPECT_TRUE(ctx.config().CategoryMappings().empty());
}

TEST(ShopCategoryFor, MatchesTheSourceCategoryWithoutItsPrefix) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    ctx.config().SetCategoryMappings({{"小说", "文学小说"},
                                      {" 童书 ", " 少儿读物 "},
                                      {"计算机", "不在店里"},
                                      {"空白", ""},
                                      {"小说", "经管励志"}});
    EXPECT_EQ(ShopCategoryFor(ctx, "小说"), "");  // shop categories not read yet

    ctx.session().SetSellerCookie(stage.DemoCookie());
    ASSERT_EQ(LoadShopCategories(ctx), 4);
    const struct {
        const char* source;
        const char* id;
    } cases[] = {
        {"小说", "1217810001"},
        {"主目录_小说", "1217810001"},
        {" 主目录_童书 ", "1217810002"},
        {"童书", "1217810002"},
        {"计算机", ""},
        {"空白", ""},
        {"历史", ""},
        {"主目录_", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ShopCategoryFor(ctx, c.source), c.id) << U8(c.source);
}

}  // namespace
