#include "base/regex_ops.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_app_dir.h"

namespace vt {
namespace {

using testing::U8;

struct FirstCase {
    const char* what;
    std::string text;
    std::string pattern;
    std::string expected;
};

TEST(RegexFirst, TakesTheFirstNonEmptyGroupMatchAfterMatch) {
    const FirstCase cases[] = {
        {"empty first price, second holds one",
         "<span class=\"price_m\">&yen;</span> <span class=\"price_m\">&yen;12.50</span>",
         "<span class=\"price_m\">&yen;(.*?)</span>", "12.50"},
        {"empty group 1, group 2 of the same match", "k=;v=7;", "k=(.*?);v=(.*?);", "7"},
        {"no match", "nothing here", "<b>(.*?)</b>", ""},
        {"pattern without groups", "abc abc", "abc", ""},
        {"letters of either case", "<SPAN Class=\"X\">ok</Span>", "<span class=\"x\">(.*?)</span>",
         "ok"},
        {"named group counts as a group", "<a href=\"/p/1.html\">", "href=\"(?<Url>.+?)\"",
         "/p/1.html"},
        {"group spans lines", "<div id=\"c\">line 1\r\nline 2\n</div>", "<div id=\"c\">(.*?)</div>",
         "line 1\r\nline 2\n"},
        {"GBK text around the match", "定价：￥35.00元", "定价：￥(.*?)元", "35.00"},
    };
    for (const FirstCase& c : cases) EXPECT_EQ(RegexFirst(c.text, c.pattern), c.expected) << c.what;
}

TEST(RegexAll, EveryNonEmptyGroupEndedByCrLf) {
    const std::string page =
        "<ul><li class=\"Buying\">1</li>\r\n<li class='Buying'>2</li><li "
        "class=\"Buying\"></li></ul>";
    EXPECT_EQ(RegexAll(page, "<li class=.Buying.>(?<1>.*?)</li>"), "1\r\n2\r\n");

    // Named groups, a group called "1" among them, are numbered with the plain ones.
    EXPECT_EQ(RegexAll("abc", "(a)(?<1>b)(?<Text>c)"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(RegexFirst("abc", "(?:a)(?<1>b)(c)"), "b");

    EXPECT_EQ(RegexAll("no items", "<li>(.*?)</li>"), "");
    // Dots unescaped on purpose in some callers: any byte, line breaks included.
    EXPECT_EQ(RegexAll("x/btn\nbuy.gif", "(?<ExistBuyPic>btn.buy.gif)"), "btn\nbuy.gif\r\n");
}

TEST(RegexAll, EachSearchStartsOnTheRemainderAsATextOfItsOwn) {
    // After a match the rest is searched afresh, so ^ holds at its start again.
    EXPECT_EQ(RegexAll("x1x2y3", "^x(\\d)"), "1\r\n2\r\n");
    EXPECT_EQ(RegexReplace("x1x2", "^x", "-"), "-1x2");
}

TEST(RegexList, NoListForEmptyTextEmptyListForNoMatch) {
    EXPECT_FALSE(RegexList("", "(a)").has_value());

    const auto none = RegexList("text without matches", "<b>(.*?)</b>");
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());

    const auto found = RegexList("<b>1</b><b></b><b>two\r\n</b>", "<b>(.*?)</b>");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, (std::vector<std::string>{"1", "two\r\n"}));
}

TEST(RegexReplace, ReplacesEveryMatchAndCopiesTheRest) {
    struct Case {
        const char* what;
        std::string text, pattern, replacement, expected;
    };
    const Case cases[] = {
        {"image tags removed", "a<img src=\"1.jpg\" alt=\"\" />b<IMG SRC=\"2.jpg\" ALT=\"\" />c",
         "<img src=\".*?\" alt=\"\" />", "", "abc"},
        {"opening links only", "<a href='x' target=_blank>t</a>", "<a.*?href=[\"|'].*?[\"|'].*?>",
         "", "t</a>"},
        {"no match leaves the text", "中文 text", "<b>", "-", "中文 text"},
        {"Perl-style format", "k=v", "(\\w)=(\\w)", "$2=$1", "v=k"},
        {"GBK around the matches", "书名：<b>红楼梦</b>", "</?b>", "", "书名：红楼梦"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RegexReplace(c.text, c.pattern, c.replacement), c.expected) << c.what;
}

TEST(RegexOps, PatternThatDoesNotCompileFindsNothing) {
    const std::string bad[] = {"(unclosed", "a[b", "x{2,1}", "\\"};
    for (const std::string& pattern : bad) {
        EXPECT_FALSE(CompileRegex(pattern).has_value()) << pattern;
        EXPECT_EQ(RegexFirst("(unclosed a[b", pattern), "") << pattern;
        EXPECT_EQ(RegexAll("(unclosed a[b", pattern), "") << pattern;
        const auto list = RegexList("(unclosed a[b", pattern);
        ASSERT_TRUE(list.has_value());
        EXPECT_TRUE(list->empty()) << pattern;
        EXPECT_EQ(RegexReplace("(unclosed a[b", pattern, "-"), "(unclosed a[b") << pattern;
    }
}

TEST(RegexOps, EmptyMatchesMoveOnInsteadOfLooping) {
    EXPECT_EQ(RegexAll("abc", "(x*)"), "");
    EXPECT_EQ(RegexAll("axxb", "(x*)"), "xx\r\n");
    EXPECT_EQ(RegexReplace("ab", "x*", "-"), "-a-b-");
    // Moving on by one character never splits a Chinese one.
    EXPECT_EQ(RegexReplace("中", "x*", "-"), "-中-");
}

// A Chinese character is two bytes, and its second byte may be an ASCII letter or
// punctuation. Case folding and matching on bytes must not confuse characters.
TEST(RegexOps, ChineseCharactersAreNotFoldedOrSplit) {
    const std::string lao = "\xB0\x41";  // 癆: second byte 'A'
    const std::string yin = "\xB0\x61";  // 癮: second byte 'a'
    const std::string mou = "\xD6\x5C";  // 謀: second byte '\'
    const std::string ye = "\xD6\x5D";   // 謁: second byte ']'
    const std::string pi = "\xB0\x72";   // 皉: second byte 'r'

    // The pattern's character matches only itself, letters around it still fold.
    EXPECT_EQ(RegexFirst("<B>" + yin + "1</B>", "<b>" + lao + "(\\d)</b>"), "");
    EXPECT_EQ(RegexFirst("<B>" + lao + "1</B>", "<b>" + lao + "(\\d)</b>"), "1");
    EXPECT_EQ(RegexFirst("<B>" + yin + "2</B>", "<b>" + yin + "(\\d)</b>"), "2");

    // Second bytes that are regex syntax are read as part of the character.
    EXPECT_EQ(RegexFirst("x" + mou + "(ok)<", mou + "\\((.*?)\\)<"), "ok");
    EXPECT_EQ(RegexFirst(ye + "v1", ye + "(v\\d)"), "v1");
    // In a set each byte is a member of its own; the ']' byte does not end the set.
    EXPECT_EQ(RegexFirst("a]b", "a[" + ye + "](b)"), "b");

    // No match starts on a second byte: 伆 (81 B0) followed by the ideographic space
    // (A1 A1) holds the bytes of 啊 (B0 A1) across the two characters.
    const std::string across = "\x81\xB0\xA1\xA1";
    EXPECT_EQ(RegexFirst(across + "x", "(啊)x"), "");
    EXPECT_EQ(RegexFirst(across + "啊x", "(啊)x"), "啊");
    EXPECT_EQ(RegexReplace(across, "啊", "-"), across);
    EXPECT_EQ(RegexReplace(pi + "s", "r(s)", ""), pi + "s");
    EXPECT_EQ(RegexReplace(pi + "rs", "r(s)", ""), pi);

    // A match that starts on a second byte gives way to a later one that does not.
    EXPECT_EQ(RegexAll(pi + "x rx", "r(x)"), "x\r\n");
}

}  // namespace
}  // namespace vt
