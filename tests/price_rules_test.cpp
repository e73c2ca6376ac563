#include "market/price_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/context.h"
#include "core/settings_store.h"
#include "support/market_stage.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::MarketStage;
using vt::testing::ReadAll;
using vt::testing::TempAppDir;
using vt::testing::U8;
using vt::testing::WriteAll;

namespace {

TEST(LeadingDecimal, ReadsTheNumberATextStartsWith) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"39.80", 39.8},   {" 8.5折", 8.5}, {"-2", -2}, {"+3", 3},   {".5", 0.5},    {"5.", 5},
        {"39.80元", 39.8}, {"元39.80", 0},  {"", 0},    {"abc", 0},  {"-", 0},       {".", 0},
        {"1e3", 1},        {"nan", 0},      {"inf", 0}, {"0x1A", 0}, {"1.2.3", 1.2},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(LeadingDecimal(c.text), c.value) << U8(c.text);
}

struct PriceCase {
    const char* what;
    int base;  // YuanJiaDazheP
    const char* listPrice;
    const char* sitePrice;
    const char* discount;  // PriceDazheP, tenths
    int sign;              // JiaJianSign
    const char* adjust;    // JiaJian
    const char* ratioFloor;
    const char* ratioDefault;
    bool floorOn;  // PriceSet5P
    const char* priceFloor;
    const char* floorPrice;
    const char* expected;
};

TEST(ComputePrice, FollowsTheSellersRules) {
    const PriceCase cases[] = {
        {"list price at 8 tenths", kListPrice, "39.80", "30.00", "8", kPlus, "", "", "", false, "",
         "", "31.84"},
        {"site price less 2 yuan", kSalePrice, "25.00", "20.00", "10", kMinus, "2", "", "", false,
         "", "", "18.00"},
        {"plus adjustment", kListPrice, "30.00", "", "9", kPlus, "1.5", "", "", false, "", "",
         "28.50"},
        {"ratio below the floor takes the default discount", kListPrice, "50.00", "", "3", kPlus,
         "", "5", "6", false, "", "", "30.00"},
        {"ratio above the floor stands", kListPrice, "50.00", "", "8", kPlus, "", "5", "6", false,
         "", "", "40.00"},
        {"price floor", kListPrice, "4.00", "", "8", kPlus, "", "", "", true, "5", "5", "5.00"},
        {"price floor switched off", kListPrice, "4.00", "", "8", kPlus, "", "", "", false, "5",
         "5", "3.20"},
        {"price floor replaces with its own price", kListPrice, "4.00", "", "8", kPlus, "", "", "",
         true, "5", "6.5", "6.50"},
        {"no base price: no ratio test", kListPrice, "0", "", "8", kMinus, "2", "5", "6", false, "",
         "", "-2.00"},
        {"texts read up to their number", kListPrice, "39.80元", "", "8折", kPlus, " 0.16元", "",
         "", false, "", "", "32.00"},
        {"no sign chosen: no adjustment", kListPrice, "10.00", "", "10", kNoChoice, "3", "", "",
         false, "", "", "10.00"},
        {"no base chosen reads the site price", kNoChoice, "10.00", "8.00", "10", kPlus, "", "", "",
         false, "", "", "8.00"},
        // The ratio is compared in double: 3 x 0.1 = 0.30000000000000004 is above 3 / 10.
        {"price exactly at the ratio floor takes the default discount", kListPrice, "10", "", "3",
         kPlus, "", "3", "6", false, "", "", "6.00"},
        {"price just above the ratio floor stands", kListPrice, "10", "", "3.1", kPlus, "", "3",
         "6", false, "", "", "3.10"},
        // Single precision rounds these half cents the other way than double would.
        {"single precision, 20.10 at 8.5", kListPrice, "20.10", "", "8.5", kPlus, "", "", "", false,
         "", "", "17.09"},
        {"single precision, 20.06 at 7.5", kListPrice, "20.06", "", "7.5", kPlus, "", "", "", false,
         "", "", "15.05"},
        // The base price itself is single precision too.
        {"single-precision base, 19.90 at 7.5", kListPrice, "19.90", "", "7.5", kPlus, "", "", "",
         false, "", "", "14.92"},
        {"single-precision base, 20.70 at 8.5", kListPrice, "20.70", "", "8.5", kPlus, "", "", "",
         false, "", "", "17.60"},
    };
    for (const PriceCase& c : cases) {
        SysConfig config;
        config.SetYuanJiaDazheP(c.base);
        config.SetPriceDazheP(c.discount);
        config.SetJiaJianSign(c.sign);
        config.SetJiaJian(c.adjust);
        config.SetEditShouJiaDiYu(c.ratioFloor);
        config.SetShouJiaMoRenZhe(c.ratioDefault);
        config.SetPriceSet5P(c.floorOn);
        config.SetShouJiaDiYu(c.priceFloor);
        config.SetEditShouJiMoRen(c.floorPrice);
        O_BookInfo book;
        book.MarketPrice = c.listPrice;
        book.SellPrice = c.sitePrice;
        EXPECT_EQ(FormatPrice(ComputePrice(config, book)), c.expected) << c.what;
    }
}

TEST(FreightTemplates, ScanKeepsEveryTemplateWithItsOwnValue) {
    const std::string answer =
        "{\"success\":true,\"templates\":["
        "{\"selected\":\"\",\"text\":\"全国包邮\",\"value\":8150721},"
        "{\"selected\":\"\",\"text\":\"\",\"value\":8150722},"
        "{\"selected\":\"\",\"text\":\"江浙沪包邮\",\"value\":\"8150723\"},"
        "{\"selected\":\"true\",\"text\":\"不读\",\"value\":1}]}";
    // A nameless template stays an entry of its own: the next template keeps its value.
    const std::vector<FreightTemplate> expected = {
        {"全国包邮", "8150721"}, {"", "8150722"}, {"江浙沪包邮", "\"8150723\""}};
    EXPECT_EQ(ParseFreightTemplates(answer), expected);
    EXPECT_TRUE(ParseFreightTemplates("{\"success\":false,\"needLogin\":true}").empty());
}

TEST(FreightTemplates, LoadFromTheShopSelectsTheFirstAndASecondLoadGoesInFront) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    ctx.session().SetSellerCookie(stage.DemoCookie());
    ctx.config().SetFreightTemplates({{"旧模板", "7000001"}}, 0);

    ASSERT_EQ(LoadFreightTemplates(ctx), FreightLoad::Loaded);
    const std::vector<FreightTemplate> once = {{"全国包邮", "8150721"},
                                               {"", "8150722"},
                                               {"江浙沪包邮", "\"8150723\""},
                                               {"旧模板", "7000001"}};
    EXPECT_EQ(ctx.config().FreightTemplates(), once);
    EXPECT_EQ(SelectedFreightTemplate(ctx.config()), "8150721");

    ctx.config().SelectFreightTemplate(2);
    ASSERT_EQ(LoadFreightTemplates(ctx), FreightLoad::Loaded);
    std::vector<FreightTemplate> twice(once.begin(), once.end() - 1);
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(ctx.config().FreightTemplates(), twice);
    EXPECT_EQ(ctx.config().SelectedFreightIndex(), 0);
    EXPECT_TRUE(stage.messages().empty());
}

TEST(FreightTemplates, NotLoggedInOrNoTemplatesLeaveTheChoiceAlone) {
    sim::MarketOptions none;
    none.freightTemplates.clear();
    MarketStage stage(none);
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    ctx.config().SetFreightTemplates({{"旧模板", "7000001"}}, 0);

    ctx.session().SetSellerCookie("tracknick=nobody; cookie2=stale");
    EXPECT_EQ(LoadFreightTemplates(ctx), FreightLoad::NotLoggedIn);
    EXPECT_EQ(stage.messages(),
              std::vector<std::string>{"系统检测到您未登录淘宝网，请先登录淘宝网！"});
    EXPECT_TRUE(stage.RequestsTo("/auction/json/listDeliveryTemplates.htm").empty());

    ctx.session().SetSellerCookie(stage.DemoCookie());
    EXPECT_EQ(LoadFreightTemplates(ctx), FreightLoad::NoTemplates);
    EXPECT_EQ(ctx.config().FreightTemplates(),
              (std::vector<FreightTemplate>{{"旧模板", "7000001"}}));
    EXPECT_EQ(SelectedFreightTemplate(ctx.config()), "7000001");

    const auto asked = stage.RequestsTo("/auction/json/listDeliveryTemplates.htm");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].target,
              "/auction/json/listDeliveryTemplates.htm?catId=111006&aucType=%20fixed");
}

TEST(Regions, LoadTickSaveAndLoadAgain) {
    TempAppDir dir;
    AppContext ctx(dir.path());
    const std::string file = dir.native() + "/Data/File/" + U8("地区.txt");
    WriteAll(file, "110000,北京,TRUE\r\n310000,上海,FALSE\r\n440000,广东,TRUE\r\n");

    LoadRegions(ctx);
    EXPECT_EQ(ctx.config().Regions(),
              (std::vector<Region>{
                  {"110000", "北京", true}, {"310000", "上海", false}, {"440000", "广东", true}}));
    ctx.config().SetStockRule(kOneRegionInMeansIn);
    RegionalStockRule rule = CurrentStockRule(ctx.config());
    EXPECT_EQ(rule.rule, kOneRegionInMeansIn);
    EXPECT_EQ(rule.codes, (std::vector<std::string>{"110000", "440000"}));

    ASSERT_TRUE(ctx.config().SetRegionTicked(0, false));
    ASSERT_TRUE(ctx.config().SetRegionTicked(1, true));
    ASSERT_TRUE(SaveSettings(ctx).ok);
    EXPECT_EQ(ReadAll(file), "110000,北京,FALSE\r\n310000,上海,TRUE\r\n440000,广东,TRUE\r\n");

    ctx.config().SetRegions({});
    LoadRegions(ctx);
    EXPECT_EQ(CurrentStockRule(ctx.config()).codes, (std::vector<std::string>{"310000", "440000"}));
}

TEST(Regions, MissingFileGivesAnEmptyList) {
    TempAppDir dir(false);
    AppContext ctx(dir.path());
    ctx.config().SetRegions({{"110000", "北京", true}});
    LoadRegions(ctx);
    EXPECT_TRUE(ctx.config().Regions().empty());
    EXPECT_TRUE(CurrentStockRule(ctx.config()).codes.empty());
}

}  // namespace
