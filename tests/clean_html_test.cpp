#include "base/clean_html.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_app_dir.h"

namespace vt {
namespace {

using testing::U8;

TEST(CleanHtml, TurnsSectionHtmlIntoText) {
    struct Case {
        const char* what;
        std::string html, expected;
    };
    const Case cases[] = {
        {"bold element", "<b>abc</b>", "   abc   "},
        {"tag spanning lines", "<a\r\nhref=\"x\">y</a>", "   y   "},
        {"script removed with its code",
         "a<SCRIPT type=\"text/javascript\">var s = \"<b>\";\r\nrun();</script>b", "ab"},
        {"line breaks kept, spaces not collapsed", "第一行\r\n  第二行", "第一行\r\n  第二行"},
        {"escaped line-break tag", "a&lt;br&gt;b", "a   b"},
        {"escaped line-break tag with slash", "a&lt;br /&gt;b", "a  b"},
        {"escaped closing div", "x&lt;/div&gt;", "x"},
        {"escaped ampersand then lt", "&amp;lt;", "<"},
        {"numeric ampersand and gt", "&#38;&#62;", "&>"},
        {"quote entity", "&quot;x&#34;", "/x/"},
        {"no-break space", "a&nbsp;b&#160;c", "a b c"},
        {"symbol entities", "&iexcl;&cent;&pound;&copy;", "/xa1/xa2/xa3/xa9"},
        {"decimal reference kept", "&#20013;&#25991;", "&#20013;&#25991;"},
        {"slash-d reference removed", "a&#/d;b", "ab"},
        {"r or n followed by s or slash", "persons", "peo"},
        {"double slash of an address", "http://x.cn", "http:x.cn"},
        {"slash-r-slash-n loses its r-slash first", "a/r/nb", "a/nb"},
        {"comment without a closing mark", "text<!-- rest\r\nof page", "text"},
        {"whole comment is a tag", "a<!-- x -->b", "a   b"},
        {"stray comment end", "a-->b", "ab"},
        {"Chinese text untouched", "《红楼梦》曹雪芹 著", "《红楼梦》曹雪芹 著"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CleanHtml(c.html), c.expected) << c.what << ": " << U8(CleanHtml(c.html));
}

// The r/n-then-s/slash removal must not cut a Chinese character whose second byte is
// 'r' or 'n' (the rest of the text would turn into different characters).
TEST(CleanHtml, KeepsChineseCharactersWhoseSecondByteIsRorN) {
    const std::string pi = "\xB0\x72";   // 皉: second byte 'r'
    const std::string xie = "\xC4\x6E";  // 膎: second byte 'n'
    const std::string text = pi + "s " + xie + "/著 " + pi + "S";
    EXPECT_EQ(CleanHtml(text), text) << U8(CleanHtml(text));
    EXPECT_EQ(CleanHtml("<p>" + xie + "//</p>"), "   " + xie + "   ");
}

}  // namespace
}  // namespace vt
