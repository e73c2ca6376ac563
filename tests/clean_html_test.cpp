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

// The same cleanup, but each entity decoded once and the result escaped: what the page
// wrote as text shows as that text, and no markup of the page survives.
TEST(SectionText, DecodesOnceAndLeavesNoMarkup) {
    struct Case {
        const char* what;
        std::string html, expected;
    };
    const Case cases[] = {
        {"bold element", "<b>abc</b>", "   abc   "},
        // "/s" goes as in every cleanup (the r/n-then-s/slash step); the rest is text.
        {"escaped script shows as text", "&lt;script&gt;alert(1)&lt;/script&gt;",
         "&lt;script&gt;alert(1)&lt;cript&gt;"},
        {"escaped picture with a handler", "&lt;img src=x onerror=alert(1)&gt;",
         "&lt;img src=x onerror=alert(1)&gt;"},
        {"frame tag removed", "a<iframe src=\"http://x\"></iframe>b", "a      b"},
        {"escaped ampersand then lt is the text &lt;", "&amp;lt;b&amp;gt;", "&amp;lt;b&amp;gt;"},
        {"plain ampersand", "A &amp; B", "A &amp; B"},
        {"numeric ampersand and gt", "&#38;&#62;", "&amp;&gt;"},
        {"quote entity as before", "&quot;x&#34;", "/x/"},
        {"quotes escaped", "it's \"so\"", "it&#39;s &quot;so&quot;"},
        {"escaped line-break tag", "a&lt;br&gt;b", "a   b"},
        {"escaped line-break tag with slash", "a&lt;br /&gt;b", "a  b"},
        {"numeric references become their characters", "&#20013;&#x6587;", "中文"},
        {"a numeric bracket is text too", "&#x3c;b&#x3E;", "&lt;b&gt;"},
        {"a zero reference is no character", "&#0;", "&amp;#0;"},
        {"slash-d reference removed", "a&#/d;b", "ab"},
        {"no-break space and symbols", "a&nbsp;b&copy;", "a b/xa9"},
        {"line breaks kept", "第一行\r\n第二行", "第一行\r\n第二行"},
        {"script removed with its code", "a<script>var s = \"<b>\";</script>b", "ab"},
        {"a lone angle bracket", "1 < 2", "1 &lt; 2"},
        {"a lone closing bracket", "3 > 0", "3 &gt; 0"},
        {"angle brackets around text go as a tag", "1 < 2 > 0", "1     0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SectionText(c.html), c.expected) << c.what << ": " << U8(SectionText(c.html));
}

TEST(EscapeHtml, EscapesTheFiveMarkupBytesAndKeepsChinese) {
    EXPECT_EQ(EscapeHtml("<a href=\"x\" title='y'>&</a>"),
              "&lt;a href=&quot;x&quot; title=&#39;y&#39;&gt;&amp;&lt;/a&gt;");
    EXPECT_EQ(EscapeHtml("《红楼梦》曹雪芹"), "《红楼梦》曹雪芹");
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
