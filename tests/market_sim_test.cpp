#include "sim/market_sim.h"

#include <gtest/gtest.h>

#include <boost/regex.hpp>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/text.h"
#include "support/market_client.h"
#include "support/temp_app_dir.h"

using namespace vt::sim;
using vt::testing::ClientResponse;
using vt::testing::CookieHeaderFrom;
using vt::testing::Exchange;
using vt::testing::Get;
using vt::testing::Headers;
using vt::testing::ImageUploadBody;
using vt::testing::MarketPostHeaders;
using vt::testing::MultipartContentType;
using vt::testing::MultipartFields;
using vt::testing::U8;

namespace {

// A JPEG start with zero bytes inside, so a body cut at the first zero would show.
const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + std::string("\x00\x10", 2) + "JFIF" +
                          std::string("\x00\x01\xFF\xD9", 4);
const std::string kPng =
    std::string("\x89PNG\r\n\x1a\n", 8) + std::string("\x00\x00\x00\x0d", 4) + "IHDR";

// The system's reading: Perl syntax, case-insensitive, "." across line ends.
std::string First(const std::string& text, const std::string& pattern) {
    boost::smatch m;
    if (boost::regex_search(text, m,
                            boost::regex(pattern, boost::regex::perl | boost::regex::icase)))
        return m[1].str();
    return {};
}

std::vector<std::string> All(const std::string& text, const std::string& pattern, int group = 1) {
    std::vector<std::string> found;
    boost::regex re(pattern, boost::regex::perl | boost::regex::icase);
    for (boost::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it)
        found.push_back((*it)[group].str());
    return found;
}

struct FormKeys {
    std::string pageId, token, beginTime, itemNumber;
};

FormKeys ScrapeKeys(const std::string& page) {
    return {First(page, "<input type=\"hidden\" name=\"_fma.pu._0.i\" value=\"(.*?)\" />"),
            First(page, "<input name='_tb_token_' type='hidden' value='(.*?)'>"),
            First(page,
                  "<input type=\"hidden\" name=\"sellerActionBeginTime\" id = "
                  "\"sellerActionBeginTime\" value=\"(.*?)\" />"),
            First(page, "<input type=\"hidden\" name=\"_fma.pu._0.auc\" value=\"(.*?)\" />")};
}

void Set(Headers& fields, const std::string& name, const std::string& value) {
    for (auto& field : fields)
        if (field.first == name)
            field.second = value;
}

// One category answer in short: "short", "price", or the candidates in order as
// N (new book, the kind the publisher takes), U (second hand) or R (the reserved id).
std::string Describe(const std::string& answer) {
    if (answer.size() < 30)
        return "short";
    if (answer.find("价格为空") != std::string::npos)
        return "price";
    std::string shape;
    for (const std::string& candidate : All(answer, "{(.*?)}")) {
        std::string sid = First(candidate, "\"sid\":\"(.*?)\"");
        std::string path = First(candidate, "\"path\":\\[(?<sid>.+?)\\]");
        if (sid.empty())
            continue;
        char kind = sid == "121956004"                                 ? 'R'
                    : path.find("二手") != std::string::npos           ? 'U'
                    : path.find("书籍/杂志/报纸") != std::string::npos ? 'N'
                                                                       : '?';
        shape += std::string(shape.empty() ? "" : ",") + kind;
    }
    return shape;
}

class MarketSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Start("127.0.0.1", 0));
        port = sim.server().port();
    }

    std::string SellPage(const std::string& cookie) {
        return Get(port, "/auction/sell.jhtml", cookie).body;
    }
    FormKeys FreshKeys(const std::string& cookie) { return ScrapeKeys(SellPage(cookie)); }

    ClientResponse Upload(const std::string& cookie, const std::string& token,
                          const std::string& bytes, const std::string& body = {}) {
        return Exchange(
            port, "POST", "/auction/publish/uploadSingleImage.do",
            MarketPostHeaders(sim.origin() + "/auction/publish/publish.htm", MultipartContentType(),
                              cookie, false),
            body.empty()
                ? ImageUploadBody(
                      "cover.jpg", bytes,
                      {{"primary", "true"}, {"_tb_token_", token}, {"itemId", ""}, {"cateid", ""}})
                : body);
    }
    std::string UploadedUrl(const std::string& cookie, const std::string& token) {
        return First(Upload(cookie, token, kJpeg).body, "{\"result\":true,\"url\":\"(.*?)\"}");
    }

    ClientResponse Publish(const std::string& cookie, const Headers& fields) {
        return Exchange(port, "POST", "/auction/publish/publish.htm",
                        MarketPostHeaders(sim.origin() + "/auction/publish/publish.htm",
                                          MultipartContentType(), cookie, false),
                        MultipartFields(fields));
    }

    // The fields the shop reads, with a few of the form's constants around them.
    static Headers ItemFields(const FormKeys& keys, const std::string& picture) {
        return {{"_tb_token_", keys.token},
                {"action", "upload/uploadAction"},
                {"sellerActionBeginTime", keys.beginTime},
                {"_fma.pu._0.ca", "50010485"},
                {"_fma.pu._0.i", keys.itemNumber},
                {"_fma.pu._0.auc", keys.itemNumber},
                {"itemNumId", keys.itemNumber},
                {"catName", "图书"},
                {"mainCategoryId", "33"},
                {"_fma.pu._0.b", "31.84"},
                {"cp_2043183", "算法导论"},
                {"_fma.pu._0.ti", "算法导论（第3版）"},
                {"_fma.pu._0.m", "31.84"},
                {"_fma.pu._0.q", "100"},
                {"_fma.pu._0.ou", "1900123456"},
                {"picUrl1", picture},
                {"_fma.pu._0.d", "<p>经典教材</p>"},
                {"_fma.pu._0.po", "8150721"},
                {"_fma.pu._0.auct", "0"},
                {"event_submit_do_publish", "anything"}};
    }

    // Sell page, picture upload and publish form for one item; returns the answer.
    std::string PublishWith(const std::string& cookie, const std::string& outerCode,
                            const std::string& auct = "0") {
        FormKeys keys = FreshKeys(cookie);
        Headers fields = ItemFields(keys, UploadedUrl(cookie, keys.token));
        Set(fields, "_fma.pu._0.ou", outerCode);
        Set(fields, "_fma.pu._0.auct", auct);
        return Publish(cookie, fields).body;
    }

    MarketSim sim;
    int port = 0;
};

TEST_F(MarketSimTest, LoginSetsTheSellerCookiesOnlyForTheRightPassword) {
    struct Case {
        const char* user;
        const char* password;
        bool loggedIn;
    } cases[] = {
        {"vantrell_demo", "demo123", true},
        {"vantrell_demo", "demo124", false},
        {"someone_else", "demo123", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.user) + ":" + c.password);
        ClientResponse res = Exchange(
            port, "POST", "/login", {{"Content-Type", "application/x-www-form-urlencoded"}},
            std::string("TPL_username=") + c.user + "&TPL_password=" + c.password);
        std::vector<std::string> setCookies = res.HeaderValues("Set-Cookie");
        if (!c.loggedIn) {
            EXPECT_EQ(res.status, 200);
            EXPECT_TRUE(setCookies.empty());
            EXPECT_NE(res.body.find("您输入的密码和账户名不匹配"), std::string::npos);
            EXPECT_NE(res.body.find("name=\"TPL_password\""), std::string::npos);
            continue;
        }
        std::string cookie = CookieHeaderFrom(res);
        EXPECT_EQ(First(cookie, "tracknick=(.*?);"), "vantrell_demo");
        int httpOnly = 0;
        for (const std::string& line : setCookies)
            httpOnly += line.find("HttpOnly") != std::string::npos;
        EXPECT_GE(httpOnly, 1);
        EXPECT_GE(setCookies.size(), 4u);
        EXPECT_NE(SellPage(cookie).find("卖家中心"), std::string::npos);
    }
}

TEST(MarketSimAccounts, ConfiguredAccountsReplaceTheDemoAccount) {
    MarketOptions options;
    options.accounts = {{"书虫小店", "pw:1"}};
    MarketSim sim(options);
    ASSERT_TRUE(sim.Start("127.0.0.1", 0));
    auto login = [&](const std::string& form) {
        return Exchange(sim.server().port(), "POST", "/login",
                        {{"Content-Type", "application/x-www-form-urlencoded"}}, form);
    };
    // A browser sends the GBK nick percent-encoded.
    std::string nick;
    for (unsigned char c : std::string("书虫小店")) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        nick += hex;
    }
    ClientResponse ok = login("TPL_username=" + nick + "&TPL_password=pw%3A1");
    EXPECT_EQ(First(CookieHeaderFrom(ok), "tracknick=(.*?);"), "书虫小店");
    EXPECT_TRUE(login("TPL_username=vantrell_demo&TPL_password=demo123")
                    .HeaderValues("Set-Cookie")
                    .empty());
}

TEST_F(MarketSimTest, SellPageOpensOnlyToALiveSession) {
    const std::string minted = sim.CookieFor("vantrell_demo");
    struct Case {
        const char* label;
        std::string cookie;
        bool open;
    } cases[] = {
        {"no cookie", "", false},
        {"unknown session", "t=1; tracknick=vantrell_demo; cookie2=0123456789abcdef", false},
        {"minted session", minted, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string page = SellPage(c.cookie);
        FormKeys keys = ScrapeKeys(page);
        EXPECT_EQ(page.find("卖家中心") != std::string::npos, c.open);
        EXPECT_EQ(!keys.itemNumber.empty(), c.open);
        if (!c.open) {
            EXPECT_NE(page.find("TPL_username"), std::string::npos);
        }
    }

    sim.ExpireSessions();
    std::string lapsed = SellPage(minted);
    EXPECT_EQ(lapsed.find("卖家中心"), std::string::npos);
    EXPECT_TRUE(ScrapeKeys(lapsed).token.empty());
}

TEST_F(MarketSimTest, EverySellPageCarriesFreshHiddenKeys) {
    const std::string cookie = sim.CookieFor("vantrell_demo");
    FormKeys first = FreshKeys(cookie);
    FormKeys second = FreshKeys(cookie);
    for (const FormKeys* keys : {&first, &second}) {
        EXPECT_FALSE(keys->pageId.empty());
        EXPECT_FALSE(keys->token.empty());
        EXPECT_FALSE(keys->beginTime.empty());
        EXPECT_EQ(keys->itemNumber.find_first_not_of("0123456789"), std::string::npos)
            << keys->itemNumber;
    }
    EXPECT_NE(first.token, second.token);
    EXPECT_NE(first.itemNumber, second.itemNumber);
}

TEST_F(MarketSimTest, AccessLimitClosesTheSellerPagesUntilLifted) {
    const std::string cookie = sim.CookieFor("vantrell_demo");
    FormKeys keys = FreshKeys(cookie);
    const std::string picture = UploadedUrl(cookie, keys.token);

    sim.SetAccessLimited(true);
    std::string limited = SellPage(cookie);
    EXPECT_NE(limited.find("亲，访问受限了"), std::string::npos);
    EXPECT_EQ(limited.find("卖家中心"), std::string::npos);
    std::string publish = Publish(cookie, ItemFields(keys, picture)).body;
    EXPECT_NE(publish.find("亲，访问受限了"), std::string::npos);
    EXPECT_EQ(publish.find("publishItemSuccess"), std::string::npos);

    sim.SetAccessLimited(false);
    EXPECT_NE(SellPage(cookie).find("卖家中心"), std::string::npos);
    // The limited attempt never reached the form, so its token is still good.
    EXPECT_NE(Publish(cookie, ItemFields(keys, picture)).body.find("publishItemSuccess"),
              std::string::npos);
}

TEST_F(MarketSimTest, UploadThenPublishPutsTheItemInTheShop) {
    const std::string cookie = sim.CookieFor("vantrell_demo");
    FormKeys keys = FreshKeys(cookie);

    ClientResponse upload = Upload(cookie, keys.token, kJpeg);
    const std::string picture = First(upload.body, "{\"result\":true,\"url\":\"(.*?)\"}");
    ASSERT_EQ(picture.rfind(sim.origin() + "/imgextra/", 0), 0u) << upload.body;
    ClientResponse served = Get(port, picture.substr(sim.origin().size()));
    EXPECT_EQ(served.status, 200);
    EXPECT_EQ(served.Header("Content-Type"), "image/jpeg");
    EXPECT_EQ(served.body, kJpeg);

    ClientResponse res = Publish(cookie, ItemFields(keys, picture));
    ASSERT_NE(res.body.find("publishItemSuccess"), std::string::npos) << U8(res.body);
    EXPECT_TRUE(First(res.body, "\"detail\":\"(.*?)\",").empty());

    std::vector<ShopItem> items = sim.Items();
    ASSERT_EQ(items.size(), 1u);
    const ShopItem& item = items[0];
    EXPECT_EQ(item.itemId, keys.itemNumber);
    EXPECT_EQ(item.nick, "vantrell_demo");
    EXPECT_EQ(item.title, "算法导论（第3版）");
    EXPECT_EQ(item.price, "31.84");
    EXPECT_EQ(item.quantity, "100");
    EXPECT_EQ(item.categoryId, "50010485");
    EXPECT_EQ(item.picture, picture);
    EXPECT_EQ(item.description, "<p>经典教材</p>");
    EXPECT_EQ(item.outerCode, "1900123456");
    EXPECT_EQ(item.freightTemplate, "8150721");
    EXPECT_TRUE(item.onSale);
    EXPECT_EQ(item.fields, ItemFields(keys, picture));

    ClientResponse listed = Get(port, "/_sim/items");
    EXPECT_EQ(listed.Header("Content-Type"), "application/json; charset=utf-8");
    nlohmann::json json = nlohmann::json::parse(listed.body);
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["title"], reinterpret_cast<const char*>(u8"算法导论（第3版）"));
    EXPECT_EQ(json[0]["outerCode"], "1900123456");
    EXPECT_EQ(json[0]["fields"][7][1], reinterpret_cast<const char*>(u8"图书"));
}

TEST_F(MarketSimTest, ALostAnswerComesAfterTheItemWasStoredAndIsRecorded) {
    FaultSettings faults;
    faults.lostAnswerRate = 1.0;
    faults.lostAnswerPaths = {"/auction/publish/publish.htm"};
    sim.server().SetFaults(faults);
    const std::string cookie = sim.CookieFor("vantrell_demo");
    FormKeys keys = FreshKeys(cookie);  // other paths answer as usual
    ClientResponse upload = Upload(cookie, keys.token, kJpeg);
    const std::string picture = First(upload.body, "{\"result\":true,\"url\":\"(.*?)\"}");
    ASSERT_FALSE(picture.empty()) << upload.body;

    sim.server().ClearRequests();
    ClientResponse res = Publish(cookie, ItemFields(keys, picture));
    EXPECT_EQ(res.body.find("publishItemSuccess"), std::string::npos);
    ASSERT_EQ(sim.Items().size(), 1u);  // stored all the same
    const auto requests = sim.server().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].fault, "lost");
}

TEST(FaultSpec, ReadsEachKnobAndRefusesWhatItCannotMean) {
    struct Case {
        const char* spec;
        bool ok;
        double error, drop, truncate, slow, lost;
        int latency;
    };
    const Case cases[] = {
        {"", true, 0, 0, 0, 0, 0, 0},
        {"error=0.1,drop=0.05,truncate=0.2,slow=0.02,lost=0.5,latency=7", true, 0.1, 0.05, 0.2,
         0.02, 0.5, 7},
        {"lost=1", true, 0, 0, 0, 0, 1, 0},
        {"error=1.5", false, 0, 0, 0, 0, 0, 0},
        {"error=-0.1", false, 0, 0, 0, 0, 0, 0},
        {"error=0.6,drop=0.6", false, 0, 0, 0, 0, 0, 0},
        {"flaky=0.1", false, 0, 0, 0, 0, 0, 0},
        {"error=", false, 0, 0, 0, 0, 0, 0},
        {"error=abc", false, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec);
        FaultSettings f;
        std::string problem;
        EXPECT_EQ(ParseFaultSpec(c.spec, f, problem), c.ok) << problem;
        if (!c.ok) {
            EXPECT_FALSE(problem.empty());
            continue;
        }
        EXPECT_DOUBLE_EQ(f.errorRate, c.error);
        EXPECT_DOUBLE_EQ(f.dropRate, c.drop);
        EXPECT_DOUBLE_EQ(f.truncateRate, c.truncate);
        EXPECT_DOUBLE_EQ(f.slowRate, c.slow);
        EXPECT_DOUBLE_EQ(f.lostAnswerRate, c.lost);
        EXPECT_EQ(f.latencyMs, c.latency);
    }
}

TEST_F(MarketSimTest, FormTokensAreSingleUseAndBelongToTheirSession) {
    const std::string cookie = sim.CookieFor("vantrell_demo");
    const std::string other = sim.CookieFor("second_shop");
    FormKeys keys = FreshKeys(cookie);
    const std::string picture = UploadedUrl(cookie, keys.token);
    ASSERT_NE(Publish(cookie, ItemFields(keys, picture)).body.find("publishItemSuccess"),
              std::string::npos);

    FormKeys otherKeys = FreshKeys(other);
    FormKeys ownKeys = FreshKeys(cookie);
    Headers mixed = ItemFields(ownKeys, picture);
    Set(mixed, "_fma.pu._0.auc", otherKeys.itemNumber);
    struct Case {
        const char* label;
        std::string cookie;
        Headers fields;
        std::string detail;
    } cases[] = {
        {"same token again", cookie, ItemFields(keys, picture), "请勿重复提交宝贝"},
        {"token of another session", cookie, ItemFields(otherKeys, picture),
         "页面已失效，请刷新页面后重新发布"},
        {"item number of another form", cookie, mixed, "宝贝编号不符，请刷新页面后重新发布"},
        {"token never issued", cookie, ItemFields({"p", "forged", "0", keys.itemNumber}, picture),
         "页面已失效，请刷新页面后重新发布"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string body = Publish(c.cookie, c.fields).body;
        EXPECT_EQ(First(body, "\"detail\":\"(.*?)\","), c.detail) << U8(body);
    }
    EXPECT_EQ(sim.Items().size(), 1u);
}

TEST_F(MarketSimTest, PublishRefusesItemsTheShopCannotTake) {
    const std::string cookie = sim.CookieFor("vantrell_demo");
    std::string sixty;
    for (int i = 0; i < 30; ++i) sixty += "书";
    struct Case {
        const char* field;
        std::string value;
        std::string detail;  // empty: published
    } cases[] = {
        {"_fma.pu._0.ti", "", "宝贝标题不能为空"},
        {"_fma.pu._0.ti", "a" + sixty, "宝贝标题最多允许输入30个汉字"},
        {"_fma.pu._0.ti", sixty, ""},
        {"_fma.pu._0.b", "0.00", "一口价必须大于0"},
        {"_fma.pu._0.b", "-3.50", "一口价必须大于0"},
        {"_fma.pu._0.b", "abc", "一口价必须大于0"},
        {"_fma.pu._0.b", "0.01", ""},
        {"_fma.pu._0.q", "", "宝贝数量必须大于0"},
        {"_fma.pu._0.q", "0", "宝贝数量必须大于0"},
        {"_fma.pu._0.ca", "", "类目不存在，请重新选择类目"},
        {"_fma.pu._0.ca", "12345", "类目不存在，请重新选择类目"},
        {"picUrl1", "", "请上传宝贝主图"},
        {"picUrl1", "http://img.example/imgextra/i1/1/TB1abc.jpg",
         "宝贝图片不是通过图片空间上传的，请重新上传"},
    };
    std::size_t published = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + "=" + U8(c.value));
        FormKeys keys = FreshKeys(cookie);
        Headers fields = ItemFields(keys, UploadedUrl(cookie, keys.token));
        Set(fields, c.field, c.value);
        std::string body = Publish(cookie, fields).body;
        if (c.detail.empty()) {
            EXPECT_NE(body.find("publishItemSuccess"), std::string::npos) << U8(body);
            ++published;
        } else {
            EXPECT_EQ(body.find("publishItemSuccess"), std::string::npos);
            EXPECT_EQ(First(body, "\"detail\":\"(.*?)\","), c.detail) << U8(body);
        }
    }
    EXPECT_EQ(sim.Items().size(), published);
}

TEST_F(MarketSimTest, PublishRefusesRequestsNotShapedLikeTheSellPageForm) {
    const std::string cookie = sim.CookieFor("vantrell_demo");
    const std::string referer = sim.origin() + "/auction/publish/publish.htm";
    Headers right = MarketPostHeaders(referer, MultipartContentType(), cookie, false);
    auto without = [&](const std::string& name) {
        Headers h;
        for (const auto& line : right)
            if (line.first != name)
                h.push_back(line);
        return h;
    };
    auto with = [&](const std::string& name, const std::string& value) {
        Headers h = right;
        for (auto& line : h)
            if (line.first == name)
                line.second = value;
        return h;
    };
    Headers swapped = right;
    std::swap(swapped[3], swapped[5]);  // Accept-Charset and DNT trade places

    struct Case {
        const char* label;
        Headers headers;
        bool truncateBody;
        std::string detail;
    } cases[] = {
        {"no cookie", without("Cookie"), false, "您还没有登录，请登录后再发布宝贝"},
        {"no Referer", without("Referer"), false, "请求头不符：Referer"},
        {"another browser", with("User-Agent", "curl/8.0"), false, "请求头不符：User-Agent"},
        {"lines out of order", swapped, false, "请求头不符：Keep-Alive"},
        {"another boundary", with("Content-Type", "\tmultipart/form-data; boundary=----x"), false,
         "请求头不符：Content-Type"},
        {"body cut short", right, true, "表单格式错误"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FormKeys keys = FreshKeys(cookie);
        std::string body = MultipartFields(ItemFields(keys, UploadedUrl(cookie, keys.token)));
        if (c.truncateBody)
            body.resize(body.size() / 2);
        std::string answer =
            Exchange(port, "POST", "/auction/publish/publish.htm", c.headers, body).body;
        EXPECT_EQ(First(answer, "\"detail\":\"(.*?)\","), c.detail) << U8(answer);
    }
    EXPECT_TRUE(sim.Items().empty());
}

TEST_F(MarketSimTest, UploadTakesOnlyPicturesPostedWithALiveForm) {
    const std::string cookie = sim.CookieFor("vantrell_demo");
    const std::string token = FreshKeys(cookie).token;
    const std::string otherBoundary =
        "--xyz\r\nContent-Disposition: form-data; name=\"multimagefile\";filename=\"a.jpg\"\r\n"
        "\r\n" +
        kJpeg + "\r\n--xyz--";
    struct Case {
        const char* label;
        std::string cookie, token, bytes, body;
        std::string outcome;  // the picture's extension, or the refusal
    } cases[] = {
        {"jpeg", cookie, token, kJpeg, "", "jpg"},
        {"png", cookie, token, kPng, "", "png"},
        {"text file", cookie, token, "hello, world", "", "只能上传jpg、png格式的图片"},
        {"empty file", cookie, token, "", "", "请选择要上传的图片"},
        {"no cookie", "", token, kJpeg, "", "请先登录"},
        {"unknown token", cookie, "forged", kJpeg, "", "页面已失效，请刷新页面后重试"},
        {"body with another boundary", cookie, token, kJpeg, otherBoundary, "表单格式错误"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string answer = Upload(c.cookie, c.token, c.bytes, c.body).body;
        std::string url = First(answer, "{\"result\":true,\"url\":\"(.*?)\"}");
        if (url.empty()) {
            EXPECT_EQ(First(answer, "\"message\":\"(.*?)\""), c.outcome) << U8(answer);
        } else {
            EXPECT_EQ(url.substr(url.rfind('.') + 1), c.outcome);
        }
    }
}

TEST_F(MarketSimTest, CategoryServiceAnswersEachKind) {
    const std::string cookie = sim.CookieFor("vantrell_demo");
    auto query = [&](const std::string& isbn, const std::string& who, bool ajax = true) {
        return Exchange(
            port, "POST",
            "/auction/json/get_category.htm?isB2CSeller=false&is3CSeller=false"
            "&isSynergicSeller=false&isAliMall=false&isFinancingSeller=false&isAssets=false"
            "&isTaoDianDian=false&_input_charset=utf-8",
            MarketPostHeaders(sim.origin() +
                                  "/auction/sell.jhtml?spm=a313o.7775905.a1zvx.d48.5Bhm2H"
                                  "&mytmenu=wym&utkn=tok",
                              "application/x-www-form-urlencoded", who, ajax),
            "0=0&keyword=" + isbn);
    };
    struct Case {
        CategoryAnswer answer;
        const char* shape;
    } cases[] = {
        {CategoryAnswer::NewBook, "N,U"},        {CategoryAnswer::ReservedFirst, "R,N"},
        {CategoryAnswer::SecondHandOnly, "U,U"}, {CategoryAnswer::Short, "short"},
        {CategoryAnswer::PriceMissing, "price"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string isbn = "978730212345" + std::to_string(n++);
        sim.SetCategoryAnswer(isbn, c.answer);
        EXPECT_EQ(Describe(query(isbn, cookie).body), c.shape) << isbn;
    }
    EXPECT_EQ(Describe(query("9787302123450", "").body), "short");
    EXPECT_EQ(query("9787302123450", cookie, false).status, 400);

    // Left to itself the service mostly names a new-book category, sometimes one of the
    // awkward answers, and always the same one for the same ISBN.
    std::map<std::string, int> shapes;
    for (int i = 0; i < 400; ++i) {
        const std::string isbn = "97875" + std::to_string(10000000 + i * 7919);
        const std::string body = query(isbn, cookie).body;
        EXPECT_EQ(query(isbn, cookie).body, body);
        ++shapes[Describe(body)];
    }
    EXPECT_EQ(shapes.size(), 5u);
    EXPECT_GT(shapes["N,U"], 200);
}

TEST_F(MarketSimTest, ShopCategoriesAndFreightTemplatesNeedASession) {
    const std::string cookie = sim.CookieFor("vantrell_demo");
    const char* freightPath =
        "/auction/json/listDeliveryTemplates.htm?catId=111006&aucType=%20fixed";
    const char* freightPattern = "selected\":\"\",\"text\":\"(.*?)\",\"value\":(.*?)}";
    const char* shopPattern = "{\"text\":\"(.*?)\",\"value\":\"(.*?)\"}";

    std::string shop = Get(port, "/auction/goods/get_shop_category.htm", cookie).body;
    EXPECT_EQ(All(shop, shopPattern, 1),
              (std::vector<std::string>{"文学小说", "少儿读物", "教材教辅", "经管励志"}));
    EXPECT_EQ(All(shop, shopPattern, 2)[2], "1217810003");

    std::string freight = Get(port, freightPath, cookie).body;
    EXPECT_EQ(All(freight, freightPattern, 1),
              (std::vector<std::string>{"全国包邮", "", "江浙沪包邮"}));
    EXPECT_EQ(All(freight, freightPattern, 2),
              (std::vector<std::string>{"8150721", "8150722", "\"8150723\""}));

    EXPECT_TRUE(All(Get(port, "/auction/goods/get_shop_category.htm").body, shopPattern).empty());
    EXPECT_TRUE(All(Get(port, freightPath).body, freightPattern).empty());
}

TEST_F(MarketSimTest, GoodsQueryListsTheShopsItemsOnSaleByOuterCode) {
    const std::string cookie = sim.CookieFor("vantrell_demo");
    const std::string other = sim.CookieFor("second_shop");
    // The fourth goes to the warehouse, the fifth to another shop.
    struct Listing {
        std::string cookie;
        const char* outerCode;
        const char* auct;
    } listings[] = {{cookie, "111", "0"},
                    {cookie, "222", "0"},
                    {cookie, "111", "0"},
                    {cookie, "111", "-5"},
                    {other, "111", "0"}};
    for (const Listing& l : listings)
        ASSERT_NE(PublishWith(l.cookie, l.outerCode, l.auct).find("publishItemSuccess"),
                  std::string::npos);
    std::vector<ShopItem> items = sim.Items();

    ClientResponse page = Get(port, "/auction/merchandise/auction_list.htm?type=1", cookie);
    EXPECT_EQ(page.Header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(page.body.find(reinterpret_cast<const char*>(u8"出售中的宝贝")), std::string::npos);
    const std::string token =
        First(page.body, "<input name='_tb_token_' type='hidden' value='(.*?)'>");
    ASSERT_FALSE(token.empty());

    auto onSale = [&](const std::string& outId, const std::string& tok) {
        std::string body = "0=0&_tb_token_=" + tok +
                           "&pageName=goodsOnSale&banner=&page=&outId=" + outId +
                           "&searchNumFrom=&searchNumTo=";
        std::string answer =
            Exchange(port, "POST", "/auction/merchandise/auction_list.htm?type=11",
                     MarketPostHeaders(sim.origin() + "/trade/itemlist/list_sold_items.htm?"
                                                      "spm=a1z09.1.a1zvx.d28.LTAJ5R&mytmenu=ymbb",
                                       "application/x-www-form-urlencoded", cookie, true),
                     body)
                .body;
        std::vector<std::string> ids;
        for (const std::string& row : All(answer, "<tr class=\"goods-sid \">(.*?)复制链接</a>"))
            ids.push_back(First(row, "<input id = \"selectedIds:(.*?)\" type=\"checkbox\""));
        return ids;
    };
    EXPECT_EQ(onSale("111", token), (std::vector<std::string>{items[0].itemId, items[2].itemId}));
    EXPECT_EQ(onSale("222", token), (std::vector<std::string>{items[1].itemId}));
    EXPECT_TRUE(onSale("333", token).empty());
    EXPECT_TRUE(onSale("111", "").empty());
    EXPECT_TRUE(onSale("111", token + "x").empty());
}

TEST_F(MarketSimTest, RequestRecordKeepsHeaderLinesInOrder) {
    const std::string cookie = sim.CookieFor("vantrell_demo");
    sim.server().ClearRequests();
    const std::string body = MultipartFields({{"a", "x"}});
    Exchange(port, "POST", "/auction/publish/publish.htm",
             MarketPostHeaders("http://upload.example/auction/publish/publish.htm",
                               MultipartContentType(), cookie, false),
             body);
    std::vector<HttpRequest> requests = sim.server().Requests();
    ASSERT_EQ(requests.size(), 1u);
    std::vector<std::string> names;
    for (const auto& line : requests[0].headers) names.push_back(line.first);
    EXPECT_EQ(names,
              (std::vector<std::string>{"Host", "User-Agent", "Accept", "Accept-Language",
                                        "Accept-Charset", "Keep-Alive", "DNT", "Connection",
                                        "Referer", "Content-Type", "Cookie", "Content-Length"}));
    EXPECT_EQ(requests[0].Header("Referer"), "http://upload.example/auction/publish/publish.htm");
    EXPECT_EQ(requests[0].body, body);
}

}  // namespace
