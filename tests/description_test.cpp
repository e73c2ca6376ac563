// The item descriptions: placeholder filling in its fixed order, masking, "原价", the
// outer code, the mobile JSON document and the template file.
#include "detail/description.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "base/text.h"
#include "core/book_types.h"
#include "core/context.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::U8;

namespace {

O_BookInfo SampleBook() {
    O_BookInfo b;
    b.BookName = "算法导论";
    b.MarketPrice = "128.00";
    b.SellPrice = "98.30";
    b.Author = "科尔曼";
    b.PressName = "机械工业出版社";
    b.PressDate = "2013-01-01";
    b.ISBN = "9787111407010";
    b.OuterCode = "23376727";
    return b;
}

BookParams SampleParams() {
    return BookParams{"1200000", "780", "3", "平装", "16开"};
}

std::string Html(O_BookInfo book, const std::string& templ, const WordList& words = {},
                 const std::string& prefix = "", const std::string& suffix = "") {
    BuildDescriptions(book, SampleParams(), templ, prefix, suffix, words);
    return book.Description;
}

TEST(DescriptionTest, PlaceholdersAreFilledInOrderAndReplacedAgainWhenAValueHoldsOne) {
    O_BookInfo book = SampleBook();
    struct Case {
        const char* name;
        std::string templ;
        std::string html;
    };
    book.Abstract = "<p>本书ISBN为[isbn]</p>";
    book.AuthorRemark = "[shuming]的作者";
    book.MediaReview = "[mulu]";  // an earlier placeholder is not filled again
    const std::vector<Case> cases = {
        {"repeated placeholder", "[shuming]-[shuming]", "算法导论-算法导论"},
        {"every book value",
         "[dingjia]|[zuozhe]|[chubanshe]|[chubanriqi]|[isbn]|[zishu]|[yeshu]|[banci]|[baozhuang]|"
         "[kaiben]|[bianma]",
         "128.00|科尔曼|机械工业出版社|2013-01-01|9787111407010|1200000|780|3|平装|16开|23376727"},
        {"a later placeholder inside a section", "[neirongjianjie]", "本书ISBN为9787111407010"},
        {"a title inside a section", "[zuozhejianjie]", "算法导论的作者"},
        {"an earlier placeholder inside a section", "[meitituijian]", "[mulu]"},
        {"empty sections give nothing", "<div>[mulu][chatu][bianjituijian]</div>", "<div></div>"},
        {"empty prefix and suffix", "[QianZhui]正文[HouZhui]", "正文"},
        {"placeholders are case-sensitive", "[ShuMing][ISBN]", "[ShuMing][ISBN]"},
        {"原价 becomes 定价", "原价：[dingjia]元", "定价：128.00元"},
        // "癧" is 0xB0 '[': its second byte must not open a placeholder.
        {"no placeholder across a character", "\xB0[shuming]", "\xB0[shuming]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(U8(Trim(Html(book, c.templ))), U8(c.html));
    }
    EXPECT_EQ(Html(book, "[QianZhui]|[HouZhui]", {}, "前言文字", "结尾文字"), "前言文字|结尾文字");
}

TEST(DescriptionTest, SectionsAreCleanedBeforeTheyGoIn) {
    O_BookInfo book = SampleBook();
    book.EditorRecommend = "<p>好书<b>推荐</b></p><script>alert(1)</script>";
    const std::string html = Html(book, "<div>[bianjituijian]</div>");
    EXPECT_EQ(html.find("<p>"), std::string::npos) << U8(html);
    EXPECT_EQ(html.find("alert"), std::string::npos) << U8(html);
    EXPECT_NE(html.find("好书"), std::string::npos) << U8(html);
    EXPECT_NE(html.find("推荐"), std::string::npos) << U8(html);
}

// Whatever the page puts into a field or a section, both descriptions carry it as text;
// only the seller's template, prefix and suffix are markup.
TEST(DescriptionTest, NoMarkupFromThePageReachesEitherDescription) {
    O_BookInfo book = SampleBook();
    book.BookName = "<script>alert(1)</script>";
    book.Author = "\"><img src=x onerror=alert(1)>";
    book.PressName = "&lt;iframe src=//x&gt;";
    book.ISBN = "978'><b>";
    book.OuterCode = "<i>23376727";
    book.Abstract = "&lt;script&gt;alert(1)&lt;/script&gt;";
    book.EditorRecommend = "<iframe src=\"http://x\"></iframe>&amp;lt;b&amp;gt;";
    book.MediaReview = "<p onclick=\"x()\">好评</p>";
    BookParams params = SampleParams();
    params.Binding = "<svg onload=alert(1)>";
    const std::string templ =
        "[QianZhui]|[shuming]|[zuozhe]|[chubanshe]|[isbn]|[baozhuang]|[bianma]|"
        "[neirongjianjie]|[bianjituijian]|[meitituijian]|[HouZhui]";
    BuildDescriptions(book, params, templ, "<b>正版</b>", "<hr/>", {});

    // The seller's markup is there as written, and no other "<" at all.
    const std::string& html = book.Description;
    const std::string head = "<b>正版</b>|", tail = "|<hr/>";
    ASSERT_EQ(html.rfind(head, 0), 0u) << U8(html);
    ASSERT_GE(html.size(), head.size() + tail.size());
    EXPECT_EQ(html.substr(html.size() - tail.size()), tail) << U8(html);
    const std::string between = html.substr(head.size(), html.size() - head.size() - tail.size());
    EXPECT_EQ(between.find_first_of("<>\"'"), std::string::npos) << U8(html);
    EXPECT_NE(between.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(between.find("&amp;lt;b&amp;gt;"), std::string::npos) << U8(html);
    EXPECT_NE(between.find("好评"), std::string::npos);

    // The mobile text: valid JSON whose values hold no "<" but the skeleton's own.
    const auto doc = nlohmann::json::parse(GbkToUtf8(book.MobileDescription));
    int brackets = 0;
    for (const auto& entry : doc["data"])
        for (char c : entry["value"].get<std::string>()) brackets += c == '<';
    EXPECT_EQ(brackets, 1) << U8(book.MobileDescription);  // the "</A>" after the author
    EXPECT_NE(book.MobileDescription.find("&lt;script&gt;"), std::string::npos);
}

TEST(DescriptionTest, MaskingGoesWordByWordOnTheMaskedText) {
    struct Case {
        WordList words;
        std::string text;
        std::string masked;
    };
    const std::vector<Case> cases = {
        {{"AB", "ABC"}, "ABCD", "***CD"},
        {{"ABC", "AB"}, "ABCD AB", "***D ***"},
        {{"", "盗版"}, "盗版书盗版", "***书***"},
        {{"AB", "*"}, "AB", "*********"},  // a later word is looked for in the masks too
        {{"ABC"},
         "\xB0"
         "ABC",
         "\xB0"
         "ABC"},  // 0xB0 'A' is one character
        {{}, "原文", "原文"},
    };
    for (const auto& c : cases) EXPECT_EQ(MaskFilterWords(c.words, c.text), c.masked) << c.text;
}

TEST(DescriptionTest, FilterWordsAreMaskedInBothTextsBeforeOriginalPriceIsRenamed) {
    O_BookInfo book = SampleBook();
    BuildDescriptions(book, SampleParams(), "原价[shuming]", "", "", {"算法", "原"});
    EXPECT_EQ(book.Description, "***价***导论");
    EXPECT_NE(book.MobileDescription.find("书名:***导论"), std::string::npos);
}

TEST(DescriptionTest, MobileDescriptionIsTheFilledSkeleton) {
    O_BookInfo book = SampleBook();
    book.OuterCode = "  23376727 ";
    BuildDescriptions(book, SampleParams(), "[bianma]", "", "", {});
    EXPECT_EQ(book.Description, "  23376727 ");
    EXPECT_EQ(book.OuterCode, "23376727");
    EXPECT_EQ(book.MobileDescription, R"~({"data":[{"type":"text","value":"基本信息"},)~"
                                      R"~({"type":"text","value":"书名:算法导论"},)~"
                                      R"~({"type":"text","value":"定价：128.00元"},)~"
                                      R"~({"type":"text","value":"作者:科尔曼</A>"},)~"
                                      R"~({"type":"text","value":"出版社：机械工业出版社"},)~"
                                      R"~({"type":"text","value":"出版日期：2013-01-01"},)~"
                                      R"~({"type":"text","value":"ISBN：9787111407010"},)~"
                                      R"~({"type":"text","value":"字数：1200000"},)~"
                                      R"~({"type":"text","value":"页码：780"},)~"
                                      R"~({"type":"text","value":"版次：3"},)~"
                                      R"~({"type":"text","value":"装帧：平装"},)~"
                                      R"~({"type":"text","value":"开本：16开"},)~"
                                      R"~({"type":"text","value":"商品标识：23376727"},)~"
                                      R"~({"type":"text","value":""}]})~");
}

TEST(DescriptionTest, MobileDescriptionStaysValidJsonWhateverTheValues) {
    O_BookInfo book = SampleBook();
    book.BookName = "说\"真话\"的书";
    book.ISBN = "9787111407010\r\n9787111407027";  // two entries
    book.Author = "C:\\作者\t";
    book.PressName = "\xB0\x5C出版";  // "癨": its second byte is a backslash
    BuildDescriptions(book, SampleParams(), "x", "", "", {});
    const auto doc = nlohmann::json::parse(U8(book.MobileDescription), nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << U8(book.MobileDescription);
    const auto& items = doc.at("data");
    ASSERT_EQ(items.size(), 14u);
    // Values are the book's text, escaped as in the HTML text.
    EXPECT_EQ(items[1]["value"], U8("书名:说&quot;真话&quot;的书"));
    EXPECT_EQ(items[3]["value"], U8("作者:C:\\作者\t</A>"));
    EXPECT_EQ(items[4]["value"], U8("出版社：\xB0\x5C出版"));
    EXPECT_EQ(items[6]["value"], U8("ISBN：9787111407010\r\n9787111407027"));
    EXPECT_EQ(Html(book, "[shuming]"), "说&quot;真话&quot;的书");
}

TEST(DescriptionTest, EmptyTemplateGivesAnEmptyDescriptionWhateverTheBook) {
    O_BookInfo book = SampleBook();
    book.Abstract = "<p>内容</p>";
    BuildDescriptions(book, SampleParams(), "", "前缀", "后缀", {"x"});
    EXPECT_EQ(book.Description, "");
    EXPECT_FALSE(book.MobileDescription.empty());
}

TEST(DescriptionTest, TemplateIsLoadedFromTheDataFilesOnce) {
    vt::testing::TempAppDir dir;
    AppContext ctx(dir.path());
    const std::string shipped = LoadDescriptionTemplate(ctx);
    ASSERT_NE(shipped.find("[shuming]"), std::string::npos);
    EXPECT_EQ(*ctx.descriptionTemplate().Text(), shipped);

    // Editing the file counts from the next start, not for the running context.
    vt::testing::WriteAll(dir.native() + "/Data/File/" + U8("模板.html"), "[isbn]");
    O_BookInfo book = SampleBook();
    ctx.config().SetPrefixText("店铺前缀");
    BuildDescriptions(ctx, book, SampleParams());
    EXPECT_NE(book.Description.find("店铺前缀"), std::string::npos);
    EXPECT_NE(book.Description.find("算法导论"), std::string::npos);

    vt::testing::TempAppDir empty(false);
    AppContext bare(empty.path());
    EXPECT_EQ(LoadDescriptionTemplate(bare), "");
    O_BookInfo other = SampleBook();
    BuildDescriptions(bare, other, SampleParams());
    EXPECT_EQ(other.Description, "");
}

}  // namespace
