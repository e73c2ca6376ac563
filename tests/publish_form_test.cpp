#include "market/publish_form.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "core/context.h"
#include "core/session.h"
#include "detail/isbn_check.h"
#include "sim/market_pages.h"
#include "sim/market_sim.h"
#include "sim/pictures.h"
#include "support/stand_in_hosts.h"
#include "support/temp_app_dir.h"

using vt::testing::ReadAll;
using vt::testing::TempAppDir;
using vt::testing::U8;
using vt::testing::WriteAll;

using vt::testing::PointMarketAt;

namespace vt {
namespace {

O_BookInfo SampleBook() {
    O_BookInfo b;
    b.BookName = "算法导论";
    b.ISBN = "9787111213826";
    b.Author = "科尔曼";
    b.PressName = "机械工业出版社";
    b.PressDate = "2013-01-01";
    b.MarketPrice = "39.80";
    b.SellPrice = "30.00";
    b.OuterCode = "23456789";
    b.HeadTitle = "畅销&nbsp;经典";
    b.Description = "&lt;p&gt;好书&lt;/p&gt;";
    b.MobileDescription = "<wapDesc>好书</wapDesc>";
    return b;
}

std::string Field(const FormFields& fields, const std::string& name) {
    for (const auto& [n, v] : fields)
        if (n == name)
            return v;
    return "<missing>";
}

class PublishFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_.config().SetTitleLengthP("60");
        ctx_.config().SetPriceDazheP("10");
        ctx_.config().SetYuanJiaDazheP(kListPrice);
    }

    TempAppDir dir_;
    AppContext ctx_{dir_.path()};
};

TEST_F(PublishFormTest, TitleFollowsTheTitleSettingsInWholeCharacters) {
    struct Case {
        bool custom;
        std::string tmpl, length, prefix, suffix, name;
        std::string title;
    };
    const std::vector<Case> cases = {
        {false, "", "30", "正版", "包邮", "算法导论", "正版算法导论包邮"},
        {false, "", "13", "正版", "包邮", "算法导论", "正版算法导论"},
        // Strictly shorter than the limit: a title of exactly 12 bytes gets neither.
        {false, "", "12", "正版", "包邮", "算法导论", "算法导论"},
        {false, "", "30", "", "", "算法?导论?", "算法导论"},
        // Too long: cut, never inside a character, and nothing added.
        {false, "", "5", "正版", "包邮", "ab算法导论", "ab算"},
        {false, "", "", "正版", "包邮", "算法导论", ""},
        {false, "", "abc", "正版", "包邮", "算法导论", ""},
        {true, "[shuming] [zuozhe]", "30", "正版", "包邮", "算法导论", "正版算法导论 科尔曼包邮"},
        {true, "[isbn]/[chubanshe]/[chubanriqi]", "60", "", "", "算法导论",
         "9787111213826/机械工业出版社/2013-01-01"},
        {true, "[shuming]", "8", "正版", "包邮", "算法导论", "算法导论"},
        {true, "[shuming]", "3", "正版", "包邮", "算法导论", "算"},
        // The cut comes before "?" is removed.
        {true, "ab?cd", "3", "x", "", "算法导论", "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.tmpl + " | " + c.name + " | " + c.length));
        ctx_.config().SetDiyTitleCheckP(c.custom);
        ctx_.config().SetDiyTitleContentP(c.tmpl);
        ctx_.config().SetTitleLengthP(c.length);
        ctx_.config().SetTitleQianzhuiP(c.prefix);
        ctx_.config().SetTitleHouzhuiP(c.suffix);
        O_BookInfo book = SampleBook();
        book.BookName = c.name;
        PublishItem item;
        ASSERT_EQ(BuildPublishItem(ctx_, book, item), "");
        EXPECT_EQ(U8(item.Title), U8(c.title));
    }
}

TEST_F(PublishFormTest, ItemTakesPriceSellingPointAndBookFields) {
    struct Case {
        std::string marketPrice, discount;
        int sellingPoint;
        std::string custom;
        std::string price, subTitle;
    };
    const std::vector<Case> cases = {
        {"39.80", "8", kCollectedSellingPoint, "", "31.84", "畅销经典"},
        {"50.00", "10", kCustomSellingPoint, "全新&nbsp;正版&nbsp;", "50.00", "全新正版"},
    };
    for (const Case& c : cases) {
        ctx_.config().SetPriceDazheP(c.discount);
        ctx_.config().SetMaidianShezhiP(c.sellingPoint);
        ctx_.config().SetDiyContentP(c.custom);
        ctx_.config().SetBookStoreCountP("100");
        O_BookInfo book = SampleBook();
        book.MarketPrice = c.marketPrice;
        book.LocalImageFileName = "/pics/cover.JPG";
        PublishItem item;
        ASSERT_EQ(BuildPublishItem(ctx_, book, item), "");
        EXPECT_EQ(item.Price, c.price);
        EXPECT_EQ(U8(item.SubTitle), U8(c.subTitle));
        EXPECT_EQ(item.Quantity, "100");
        EXPECT_EQ(item.LocalImageFileName, "/pics/cover.JPG");
        EXPECT_EQ(item.OuterCode, book.OuterCode);
        EXPECT_EQ(item.Description, book.Description);
    }
}

TEST_F(PublishFormTest, BookWithoutListPriceIsRefused) {
    O_BookInfo book = SampleBook();
    book.MarketPrice = "";
    PublishItem item;
    EXPECT_EQ(U8(BuildPublishItem(ctx_, book, item)), U8("价格为空，上传失败"));
    EXPECT_EQ(item.Title, "");
    EXPECT_EQ(item.Price, "");
}

TEST_F(PublishFormTest, ScrapeNeedsAllFourHiddenInputs) {
    const sim::SellFormKeys keys{"p-1", "tok-2", "1700000000000", "650001"};
    const std::string page = sim::SellPageHtml("seller", keys);
    std::string token, begin, number;
    EXPECT_EQ(Trim(ScrapePublishKeys(page, token, begin, number)), "650001");
    EXPECT_EQ(Trim(token), "tok-2");
    EXPECT_EQ(Trim(begin), "1700000000000");
    EXPECT_EQ(Trim(number), "650001");

    for (const std::string input : {"name=\"_fma.pu._0.i\"", "name='_tb_token_'",
                                    "name=\"sellerActionBeginTime\"", "name=\"_fma.pu._0.auc\""}) {
        std::string broken = page;
        broken.replace(broken.find(input), input.size(), "name=\"other\"");
        std::string t, b, n;
        EXPECT_EQ(ScrapePublishKeys(broken, t, b, n), "") << input;
    }
}

TEST_F(PublishFormTest, FormNamesEveryFieldOnceInAssignmentOrder) {
    const std::vector<std::string> names = {"_tb_token_",
                                            "action",
                                            "isMImageUser",
                                            "sellerActionBeginTime",
                                            "publishPageCostTime",
                                            "browserTime",
                                            "J_BySearch",
                                            "J_SearchKey",
                                            "J_ByLateCategory",
                                            "J_ByCategorySystem",
                                            "_fma.pu._0.ca",
                                            "_fma.pu._0.i",
                                            "_fma.pu._0.auc",
                                            "itemNumId",
                                            "_fma.pu._0.cat",
                                            "_fma.pu._0.x",
                                            "_fma.pu._0.ed",
                                            "isEdit",
                                            "noticeParam",
                                            "oldCat",
                                            "_fma.pu._0.fi",
                                            "_fma.pu._0.au",
                                            "_fma.pu._0.fr",
                                            "_fma.pu._0.sho",
                                            "_fma.pu._0.isn",
                                            "_fma.pu._0.isol",
                                            "_fma.pu._0.ish",
                                            "catName",
                                            "selPPay",
                                            "certType",
                                            "isZFBCertificatedUser",
                                            "mainCategoryId",
                                            "_fma.pu._0.sp",
                                            "_fma.pu._0.isb",
                                            "_fma.pu._0.a",
                                            "_fma.pu._0.pa",
                                            "_fma.pu._0.b",
                                            "_fma.pu._0.secure",
                                            "_fma.pu._0.iss",
                                            "isCodFlag",
                                            "ccSn",
                                            "ccIssuerDn",
                                            "ccSignedData",
                                            "userInnerShopId",
                                            "userOuterShopId",
                                            "userInnerShopSiteId",
                                            "userOuterShopSiteId",
                                            "wirelessmpChoosed",
                                            "isSellingLightningConsignment",
                                            "lightningConsignment2",
                                            "spuStoreId",
                                            "_fma.pu._0.ta",
                                            "newProductTagId",
                                            "isFirst",
                                            "tfsname",
                                            "_fma.pu._0.rel",
                                            "isLocalityLifeEtcItem",
                                            "isCustoemdSkuForbidDpcAuction",
                                            "customCatId",
                                            "customCatName",
                                            "distributionPageString",
                                            "isReselectCat",
                                            "isNeedCheckPictureCat",
                                            "paymentSeting",
                                            "forceUpdateWhenFakeCredit",
                                            "wapDescEnable",
                                            "_fma.pu._0.stu",
                                            "auctionTypeInfoPrint",
                                            "_fma.pu._0.auctio",
                                            "cp_2043183",
                                            "cp_1636953",
                                            "cp_122216545",
                                            "cp_46602357",
                                            "cp_46398806",
                                            "cp_122216620",
                                            "cp_2043193",
                                            "cp_2043189",
                                            "cp_18821503",
                                            "cp_46394856",
                                            "cp_46412378",
                                            "cp_122216357",
                                            "_fma.pu._0.ti",
                                            "subTitle",
                                            "_fma.pu._0.pay",
                                            "_fma.pu._0.payv",
                                            "_fma.pu._0.m",
                                            "_fma.pu._0.q",
                                            "is_global_stock",
                                            "gs_type",
                                            "_fma.pu._0.ou",
                                            "itemBarCode",
                                            "gs_country",
                                            "videoAsPicThum",
                                            "videoAsPicId",
                                            "videoAsPicDuration",
                                            "pisAsVideoStatus",
                                            "image_pos",
                                            "picUrl1",
                                            "picUrl2",
                                            "picUrl3",
                                            "picUrl4",
                                            "picUrl5",
                                            "_fma.pu._0.sw",
                                            "handleAuctionModule",
                                            "modularizedArea",
                                            "_fma.pu._0.d",
                                            "state",
                                            "_fma.pu._0.wi",
                                            "_fma.pu._0.pc",
                                            "_fma.pu._0.w",
                                            "pcTspeditorCid",
                                            "wlTspeditorCid",
                                            "_fma.pu._0.sh",
                                            "_fma.pu._0.she",
                                            "_fma.pu._0.shen",
                                            "shenbiPcDescHashCode",
                                            "shenbiWlDescHashCode",
                                            "pcDescbackupEnable",
                                            "wlDescbackupEnable",
                                            "isShowShenbiEditor",
                                            "shopCat",
                                            "_fma.pu._0.aut",
                                            "_fma.pu._0.auto",
                                            "_fma.pu._0.autoc",
                                            "_fma.pu._0.po",
                                            "field-129",
                                            "field-128",
                                            "_fma.pu._0.ha",
                                            "_fma.pu._0.hav",
                                            "_fma.pu._0.sel",
                                            "new_prepay_tag",
                                            "_fma.pu._0.isop",
                                            "_fma.pu._0.su",
                                            "_fma.pu._0.du",
                                            "_fma.pu._0.sta",
                                            "_fma.pu._0.auct",
                                            "_now",
                                            "_fma.pu._0.prom",
                                            "event_submit_do_publish",
                                            "stamp",
                                            "type",
                                            "submitType"};
    PublishItem item;
    ASSERT_EQ(BuildPublishItem(ctx_, SampleBook(), item), "");
    std::vector<std::string> got;
    for (const auto& [name, value] : BuildPublishFields(ctx_, item)) got.push_back(name);
    EXPECT_EQ(got, names);
}

TEST_F(PublishFormTest, FormCarriesTheItemAndTheSettings) {
    ctx_.hosts().Set(HostRole::MarketImageCdn, "img.alicdn.com");
    ctx_.config().SetFreightTemplates({{"全国包邮", "8150721"}, {"江浙沪", "8150723"}}, 1);
    PublishItem item;
    ASSERT_EQ(BuildPublishItem(ctx_, SampleBook(), item), "");
    item.TbToken = "tok";
    item.SellerActionBeginTime = "1700000000000";
    item.PageKey = "650001";
    item.ItemNumber = "650001";
    item.CategoryId = "50000001";
    item.ImageUrl = "https://img.alicdn.com/imgextra/i1/1/TB1abc.jpg";
    item.SubTitle = "已售1000本已售";

    struct Case {
        bool forSale, invoice, mobile;
        std::map<std::string, std::string> expected;
    };
    const std::vector<Case> cases = {
        {true,
         true,
         true,
         {{"_fma.pu._0.auct", "0"},
          {"_now", "0"},
          {"_fma.pu._0.ha", "1"},
          {"_fma.pu._0.wi", "<wapDesc>好书</wapDesc>"}}},
        {false,
         false,
         false,
         {{"_fma.pu._0.auct", "-5"}, {"_now", "2"}, {"_fma.pu._0.ha", "0"}, {"_fma.pu._0.wi", ""}}},
    };
    for (const Case& c : cases) {
        ctx_.config().SetDirectSentP(c.forSale);
        ctx_.config().SetHasFapiaoP(c.invoice);
        ctx_.config().SetDiscripToMobleP(c.mobile);
        const FormFields fields = BuildPublishFields(ctx_, item);
        std::map<std::string, std::string> expected = c.expected;
        expected.insert({{"_tb_token_", "tok"},
                         {"sellerActionBeginTime", "1700000000000"},
                         {"J_SearchKey", "9787111213826"},
                         {"_fma.pu._0.ca", "50000001"},
                         {"_fma.pu._0.i", "650001"},
                         {"_fma.pu._0.auc", "650001"},
                         {"itemNumId", "650001"},
                         {"_fma.pu._0.b", "39.80"},
                         {"_fma.pu._0.m", "39.80"},
                         {"tfsname", "i1/1/TB1abc.jpg"},
                         {"cp_2043183", "算法导论"},
                         {"cp_1636953", "9787111213826"},
                         {"cp_46398806", "39.80"},
                         {"_fma.pu._0.ti", "算法导论"},
                         {"subTitle", "1000本"},
                         {"image_pos", "5"},
                         {"picUrl1", item.ImageUrl},
                         {"picUrl5", item.ImageUrl},
                         // As built: escaped text is not decoded into markup.
                         {"_fma.pu._0.d", "&lt;p&gt;好书&lt;/p&gt;"},
                         {"_fma.pu._0.po", "8150723"},
                         {"_fma.pu._0.ou", "23456789"}});
        for (const auto& [name, value] : expected)
            EXPECT_EQ(U8(Field(fields, name)), U8(value)) << name;
        const std::string stamp = Field(fields, "stamp");
        const long long seconds = std::stoll(stamp) / 1000;
        EXPECT_LE(std::llabs(seconds - static_cast<long long>(std::time(nullptr))), 5) << stamp;
    }
}

TEST_F(PublishFormTest, BookNamePropertyIsShortenedOnWholeCharacters) {
    const std::string thirty = "abcd" + std::string("一二三四五六七八九十壹贰叁");      // 4 + 26
    const std::string thirtyOne = "a" + std::string("一二三四五六七八九十壹贰叁肆伍");  // 1 + 30
    const std::vector<std::pair<std::string, std::string>> cases = {
        {thirty, thirty},
        // The 28th byte is the first half of a character: the property stops before it.
        {thirtyOne, "a" + std::string("一二三四五六七八九十壹贰叁")},
        {"x" + thirty, "xabcd" + std::string("一二三四五六七八九十壹")},
    };
    for (const auto& [name, property] : cases) {
        PublishItem item;
        item.BookName = name;
        const FormFields fields = BuildPublishFields(ctx_, item);
        EXPECT_EQ(U8(Field(fields, "cp_2043183")), U8(property)) << name.size();
        EXPECT_EQ(U8(Field(fields, "cp_46602357")), U8(property));
    }
}

TEST_F(PublishFormTest, BookWithoutItsOwnIsbnCarriesTheLastPublishedOne) {
    PublishItem item;
    item.ISBN = "23456789";
    item.OuterCode = "23456789";
    EXPECT_EQ(Field(BuildPublishFields(ctx_, item), "cp_1636953"), "9787504213372");
    ctx_.publishing().RecordSuccess("50000001", "9787111213826");
    EXPECT_EQ(Field(BuildPublishFields(ctx_, item), "cp_1636953"), "9787111213826");
    item.ISBN = "9787302000000";
    EXPECT_EQ(Field(BuildPublishFields(ctx_, item), "cp_1636953"), "9787302000000");
}

TEST_F(PublishFormTest, AnIsbnOfTheWrongFormIsTreatedAsNone) {
    ctx_.publishing().RecordSuccess("50000001", "9787111213826");
    struct Case {
        std::string isbn;
        bool wellFormed;
    };
    const std::vector<Case> cases = {
        {"9787111213826", true},       {"7111213821", true},
        {"753560013X", true},          {"753560013x", true},
        {"978-7-111-21382-6", true},   {"978711121382", false},
        {"97871112138260", false},     {"X787111213826", false},
        {"75356001X3", false},         {"-9787111213826", false},
        {"978--7111213826", false},    {"9787111213826-", false},
        {"9787111213826\"", false},    {"9787111213826&_fma.pu._0.b=0.01", false},
        {"9787111213826\r\n", false},  {"", false},
        {"ISBN 9787111213826", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.isbn);
        EXPECT_EQ(IsWellFormedIsbn(c.isbn), c.wellFormed);
        EXPECT_EQ(CheckedIsbn(c.isbn), c.wellFormed ? c.isbn : "");
        PublishItem item;
        item.ISBN = c.isbn;
        item.OuterCode = "23456789";
        const FormFields fields = BuildPublishFields(ctx_, item);
        EXPECT_EQ(Field(fields, "J_SearchKey"), c.wellFormed ? c.isbn : "");
        EXPECT_EQ(Field(fields, "cp_1636953"), c.wellFormed ? c.isbn : "9787111213826");
    }
}

TEST(PublishAnswer, SettlesOnlyOnAWholeAnswerAndAlwaysSaysWhy) {
    struct Case {
        int posted;
        std::string answer;
        PublishOutcome::Kind kind;
        std::string detail;
    };
    const std::vector<Case> cases = {
        {kPostDone, "{\"publishItemSuccess\":true}", PublishOutcome::Taken, ""},
        {kPostDone, "{\"success\":false,\"detail\":\"标题不能为空\",\"code\":\"E\"}",
         PublishOutcome::Refused, "标题不能为空"},
        // A refusal without the shop's words is no empty "失败：".
        {kPostDone, "{\"success\":false,\"code\":\"ERROR\"}", PublishOutcome::Refused,
         "淘宝拒绝发布，未说明原因"},
        {kPostDone, "{\"success\":false,\"code\"", PublishOutcome::Unknown,
         "发布结果未知（应答无法识别）"},
        {kPostDone, "", PublishOutcome::Unknown, "发布结果未知（淘宝无应答）"},
        {kPostTimedOut, "dwError = 12002", PublishOutcome::Unknown,
         "发布结果未知（dwError = 12002）"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.answer));
        const PublishOutcome outcome = ReadPublishAnswer(c.posted, c.answer);
        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(U8(outcome.detail), U8(c.detail));
    }
    EXPECT_EQ(UploadedPictureUrl("{\"result\":true,\"url\":\"http://x/a.jpg\"}"), "http://x/a.jpg");
    EXPECT_EQ(UploadedPictureUrl("{\"result\":false,\"message\":\"x\"}"), "");
}

// PublishOne against the stand-in marketplace.
class PublishOneTest : public PublishFormTest {
protected:
    void SetUp() override {
        PublishFormTest::SetUp();
        ASSERT_TRUE(market_.Start("127.0.0.1", 0));
        PointMarketAt(ctx_.hosts(), market_.origin());
        cookie_ = market_.CookieFor("vantrell_demo");
        ctx_.session().MarkLoginValid();
        // A logged-in seller's product database is open: nothing is posted without its
        // journal entry.
        ASSERT_TRUE(ctx_.db().OpenProductDb("vantrell_demo"));
        ctx_.config().SetBookStoreCountP("10");
        market_.SetCategoryAnswer("9787111213826", sim::CategoryAnswer::NewBook);
        WriteAll(dir_.native() + "/images/cover.JPG", sim::JpegBytes("cover"));
        row_ = ctx_.collected().AppendWithRecord(CollectedRow{}, nullptr);
        ctx_.collected().SetCell(row_, kMarketStateCol, "正在获取数据信息");
    }

    PublishItem Item(const std::string& marketPrice = "39.80") {
        O_BookInfo book = SampleBook();
        book.MarketPrice = marketPrice;
        book.LocalImageFileName = dir_.path() + "/images/cover.JPG";
        PublishItem item;
        EXPECT_EQ(BuildPublishItem(ctx_, book, item), "");
        return item;
    }

    std::string Status() { return ctx_.collected().Cell(row_, kMarketStateCol); }
    std::string TodaysLog() { return ReadAll(U8(ctx_.log().FilePathFor(std::time(nullptr)))); }

    sim::MarketSim market_;
    std::string cookie_;
    int row_ = 0;
};

TEST_F(PublishOneTest, ConfirmedItemIsCountedRecordedAndRemembered) {
    ASSERT_TRUE(ctx_.db().OpenProductDb("vantrell_demo"));
    PublishItem item = Item();
    ASSERT_TRUE(PublishOne(ctx_, item, row_, cookie_));

    EXPECT_EQ(U8(Status()), U8("上传成功"));
    EXPECT_EQ(ctx_.counters().Number(CounterBox::Published), 1);
    EXPECT_EQ(ctx_.counters().Number(CounterBox::PublishFailed), 0);
    EXPECT_FALSE(item.CategoryId.empty());
    EXPECT_EQ(ctx_.publishing().LastCategoryId(), item.CategoryId);
    EXPECT_EQ(ctx_.publishing().LastIsbn(), "9787111213826");
    EXPECT_TRUE(ctx_.db().IsPublished("23456789"));

    const std::vector<sim::ShopItem> shop = market_.Items();
    ASSERT_EQ(shop.size(), 1u);
    EXPECT_EQ(shop[0].itemId, item.ItemNumber);
    EXPECT_EQ(U8(shop[0].title), U8("算法导论"));
    EXPECT_EQ(shop[0].price, "39.80");
    EXPECT_EQ(shop[0].quantity, "10");
    EXPECT_EQ(shop[0].categoryId, item.CategoryId);
    EXPECT_EQ(shop[0].picture, item.ImageUrl);
    EXPECT_EQ(shop[0].outerCode, "23456789");
}

TEST_F(PublishOneTest, FailedCategoryLookupFallsBackToTheLastCategory) {
    PublishItem first = Item();
    ASSERT_TRUE(PublishOne(ctx_, first, row_, cookie_));
    ASSERT_FALSE(first.CategoryId.empty());

    for (auto answer : {sim::CategoryAnswer::Short, sim::CategoryAnswer::PriceMissing}) {
        market_.SetCategoryAnswer("9787111213826", answer);
        PublishItem next = Item();
        EXPECT_TRUE(PublishOne(ctx_, next, row_, cookie_));
        EXPECT_EQ(next.CategoryId, first.CategoryId);
    }
    EXPECT_EQ(market_.Items().size(), 3u);
}

TEST_F(PublishOneTest, ClosedSellPageMarksTheLoginLapsedAndLeavesTheRow) {
    ctx_.session().MarkLoginValid();
    market_.ExpireSessions();
    PublishItem item = Item();
    EXPECT_FALSE(PublishOne(ctx_, item, row_, cookie_));
    EXPECT_FALSE(ctx_.session().LoginValid());
    EXPECT_EQ(U8(Status()), U8("正在获取数据信息"));
    EXPECT_EQ(ctx_.counters().Text(CounterBox::PublishFailed), "0");
}

TEST_F(PublishOneTest, ASellPageTheNetworkOrServerLostFailsTheBookAndKeepsTheLogin) {
    struct Case {
        const char* name;
        sim::FaultSettings faults;
        bool stopMarket;
        const char* cause;
    };
    const Case cases[] = {
        {"server error", sim::FaultSettings{.errorRate = 1.0}, false, "服务器错误（HTTP 500）"},
        {"connection dropped", sim::FaultSettings{.dropRate = 1.0}, false, "网络连接失败"},
        {"unreachable", sim::FaultSettings{}, true, "网络连接失败"},
    };
    int failures = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ctx_.session().MarkLoginValid();
        market_.server().SetFaults(c.faults);
        if (c.stopMarket)
            market_.Stop();
        ctx_.collected().SetCell(row_, kMarketStateCol, "正在获取数据信息");
        PublishItem item = Item();
        EXPECT_FALSE(PublishOne(ctx_, item, row_, cookie_));
        EXPECT_TRUE(ctx_.session().LoginValid());
        EXPECT_NE(U8(Status()).find(U8(std::string("失败：卖家页面读取失败（") + c.cause)),
                  std::string::npos)
            << U8(Status());
        EXPECT_EQ(ctx_.counters().Text(CounterBox::PublishFailed), std::to_string(++failures));
    }
}

TEST_F(PublishOneTest, RefusedItemShowsTheDetailAndIsLogged) {
    PublishItem item = Item("0.00");
    EXPECT_FALSE(PublishOne(ctx_, item, row_, cookie_));
    EXPECT_EQ(U8(Status()), U8("失败：一口价必须大于0"));
    EXPECT_EQ(ctx_.counters().Number(CounterBox::PublishFailed), 1);
    EXPECT_EQ(ctx_.counters().Number(CounterBox::Published), 0);
    EXPECT_TRUE(market_.Items().empty());
    const std::string log = TodaysLog();
    EXPECT_NE(
        log.find("上传失败一口价必须大于0:23456789,ISBN9787111213826,描述：{\"success\":false"),
        std::string::npos)
        << U8(log);
    EXPECT_TRUE(ctx_.publishing().LastCategoryId().empty());
}

TEST_F(PublishOneTest, AValueThatWouldCutTheFormFailsTheBookBeforeAnythingIsPosted) {
    ASSERT_TRUE(ctx_.db().OpenProductDb("vantrell_demo"));
    PublishItem item = Item();
    item.Title = std::string("算法\0导论", 9);
    EXPECT_FALSE(PublishOne(ctx_, item, row_, cookie_));
    EXPECT_EQ(U8(Status()), U8("失败：商品信息含有无法安全发送的内容，未发布"));
    EXPECT_EQ(ctx_.counters().Number(CounterBox::PublishFailed), 1);
    EXPECT_TRUE(market_.Items().empty());
    for (const sim::HttpRequest& req : market_.server().Requests())
        EXPECT_NE(req.path, "/auction/publish/publish.htm");
    EXPECT_FALSE(ctx_.db().IsPublished("23456789"));
    EXPECT_NE(U8(TodaysLog()).find("_fma.pu._0.ti"), std::string::npos);
}

TEST_F(PublishOneTest, AHostileIsbnIsNeitherQueriedNorRemembered) {
    PublishItem first = Item();
    ASSERT_TRUE(PublishOne(ctx_, first, row_, cookie_));
    ASSERT_EQ(ctx_.publishing().LastIsbn(), "9787111213826");
    market_.server().ClearRequests();

    PublishItem item = Item();
    item.ISBN = "9787111213826&keyword=1";
    ASSERT_TRUE(PublishOne(ctx_, item, row_, cookie_));
    for (const sim::HttpRequest& req : market_.server().Requests())
        EXPECT_EQ(req.path.find("get_category"), std::string::npos) << req.path;
    // The category of the last item, and the last well-formed ISBN kept for the next book.
    EXPECT_EQ(item.CategoryId, first.CategoryId);
    EXPECT_EQ(ctx_.publishing().LastIsbn(), "9787111213826");
}

// A marketplace that answers the sell page as set up and refuses every other request.
class ScriptedMarket {
public:
    // pictureUrl: the picture upload succeeds with that address (empty: refused too).
    explicit ScriptedMarket(std::string sellPage, std::string pictureUrl = "")
        : sellPage_(std::move(sellPage)), pictureUrl_(std::move(pictureUrl)) {
        server_.SetHandler([this](const sim::HttpRequest& req) {
            sim::HttpResponse res;
            if (req.path == "/auction/sell.jhtml")
                res.body = sellPage_;
            else if (req.path == "/auction/publish/uploadSingleImage.do" && !pictureUrl_.empty())
                res.body = "{\"result\":true,\"url\":\"" + pictureUrl_ + "\"}";
            else
                res.status = 500;
            return res;
        });
    }
    bool Start() { return server_.Start("127.0.0.1", 0); }
    std::string origin() const { return server_.origin(); }

private:
    std::string sellPage_;
    std::string pictureUrl_;
    sim::HttpServer server_;
};

TEST_F(PublishOneTest, MissingKeysOrPictureAddressFailTheRowAndCount) {
    struct Case {
        std::string sellPage;
        std::string status;
        bool loginStaysValid;
    };
    const std::vector<Case> cases = {
        {"<html>卖家中心</html>", "未登陆淘宝网,或登陆失效，请登陆", false},
        {sim::SellPageHtml("seller", {"p", "tok", "1700000000000", "650001"}),
         "图片地址为空上传失败", true},
        // The form got no answer: the item may be in the shop all the same, and that is
        // said, not an empty "失败：".
        {sim::SellPageHtml("seller", {"p", "tok", "1700000000000", "650001"}),
         "失败：发布结果未知（淘宝无应答）", true},
    };
    int failures = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.status));
        ScriptedMarket scripted(c.sellPage, c.status == "失败：发布结果未知（淘宝无应答）"
                                                ? "http://127.0.0.1:1/p.jpg"
                                                : "");
        ASSERT_TRUE(scripted.Start());
        PointMarketAt(ctx_.hosts(), scripted.origin());
        ctx_.session().MarkLoginValid();
        PublishItem item = Item();
        EXPECT_FALSE(PublishOne(ctx_, item, row_, cookie_));
        EXPECT_EQ(U8(Status()), U8(c.status));
        EXPECT_EQ(ctx_.counters().Number(CounterBox::PublishFailed), ++failures);
        EXPECT_EQ(ctx_.session().LoginValid(), c.loginStaysValid);
    }
}

}  // namespace
}  // namespace vt
