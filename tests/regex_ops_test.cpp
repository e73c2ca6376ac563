#include "base/regex_ops.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <locale>
#include <random>
#include <string>
#include <vector>

#include "base/text.h"
#include "support/temp_app_dir.h"

namespace vt {
namespace {

// The oracle's own reading of a GBK character: a lead byte with a trail byte after it
// (0x40-0x7E or 0x80-0xFE) is two bytes wide, anything else one.
std::size_t CharWidthAt(std::string_view text, std::size_t at) {
    if (at + 1 >= text.size() || !IsGbkLeadByte(static_cast<unsigned char>(text[at])))
        return 1;
    const auto trail = static_cast<unsigned char>(text[at + 1]);
    return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFE) ? 2 : 1;
}

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

// The matcher as it was before patterns were kept compiled: the standard traits in the
// classic locale, and every character start found by walking the text from its beginning.
// ASCII patterns go to the matcher unchanged, so both sides read the same pattern.
std::string FreshAll(const std::string& text, const std::string& pattern) {
    boost::regex re;
    re.imbue(std::locale::classic());
    re.assign(pattern, boost::regex::perl | boost::regex::icase | boost::regex::mod_s |
                           boost::regex::no_mod_m);
    auto startAtOrAfter = [&](std::size_t pos) {
        std::size_t at = 0;
        while (at < pos && at < text.size()) at += CharWidthAt(text, at);
        return at < pos ? pos : at;
    };
    std::string all;
    std::size_t rest = 0;
    boost::smatch m;
    while (rest <= text.size()) {
        std::size_t start = startAtOrAfter(rest);
        bool found = false;
        while (start <= text.size() &&
               boost::regex_search(text.begin() + start, text.end(), m, re, boost::match_default,
                                   text.begin() + rest)) {
            const std::size_t at = m[0].first - text.begin();
            if (startAtOrAfter(at) == at) {
                found = true;
                break;
            }
            start = startAtOrAfter(at);
        }
        if (!found)
            break;
        for (std::size_t g = 1; g < m.size(); ++g)
            if (m[g].matched && m[g].length() > 0)
                all += m[g].str() + "\r\n";
        const std::size_t end = m[0].second - text.begin();
        rest = m[0].length() > 0 ? end : (end < text.size() ? startAtOrAfter(end + 1) : end + 1);
    }
    return all;
}

// Kept-compiled patterns skip ahead to the literal text a match must begin with, fold case
// from a table and find character starts incrementally: none of it may change a result.
// Random texts over the patterns' own letters in both cases, tag punctuation and GBK bytes
// whose second byte is an ASCII letter.
TEST(RegexOps, PatternsKeptCompiledFindWhatAFreshlyCompiledOneFinds) {
    const std::vector<std::string> patterns = {
        "<span class=\"p\">(.*?)</span>",  // a literal prefix
        "(<b>)(.*?)</b>",                  // the prefix inside a leading group
        "(?<Url>ab)c(.)",                  // a named leading group
        "(?:ab)+(c)",                      // a repeated non-capturing group
        "(ab)?(c.)",                       // a group that may be left out: no prefix
        "ab*(c)",                          // the last letter may be left out
        "ab{0,1}(c)",                      //   (also with braces)
        "a(b|c)(.)",                       // alternation inside a group
        "ab|(c.)",                         // alternation at the top
        "[ab](c)",                         // a leading set
        "\\bab(.)",                        // an assertion first
        "(?<=a)(b.)",                      // look-behind
        "a\\.(b)",                         // an escape after the prefix
        "(a)(?<N>b)(c)",                   // only the first group leads
        "<a.*?href=[\"|'].*?[\"|'].*?>",   // a set holding '|'
        "x+(y)",                           // one or more of the first letter
    };
    const std::vector<std::string> pieces = {
        "a",     "A",   "b",        "B",        "c",        "C",     "x",        "X",
        "y",     "<",   ">",        "/",        "\"",       "'",     "|",        ".",
        " ",     "=",   "span",     "SPAN",     "class",    "\"p\"", "<b>",      "</B>",
        "href=", "<a ", "\xB0\x41", "\xB0\x61", "\xB0\x62", "\x81",  "\xA1\xA1", "\n"};
    std::mt19937 random(20240601);
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) text += pieces[random() % pieces.size()];
        for (const std::string& pattern : patterns) {
            ASSERT_EQ(RegexAll(text, Pattern(pattern)), FreshAll(text, pattern))
                << "pattern " << pattern << " text " << text;
        }
    }
}

// Patterns of literal pieces and lazy gaps skip the engine; the others are its own.
TEST(RegexOps, LiteralChainsAreTheLiteralPiecesAndLazyGapsOnly) {
    const std::string chains[] = {
        "<b>(.*?)</b>", "a.*?b(.+?)c", "(?<Url>ab).x", "[0-9]{4}-(.)", "a[\"|'](.*?)\\)",
        "x.*?(.*?)y",   "ab(c)d",      "a()b",         "\\n(.*?)\\t",  "中(.*?)文",
        "a.+?",         "(ab)",        "\\\\(.*?)\\.", "a.{2}b",       "a-b=c;d",
    };
    for (const std::string& pattern : chains)
        EXPECT_NE(Pattern(pattern).chain(), nullptr) << pattern;
    const std::string engine[] = {
        "a|b",    "^a",      "a$",      "\\d(.*?)", "[a-z]x", "[^x]y",  "ab*",
        "a.*b",   "a.+b",    "a.??b",   "(?:a)b",   "((a))",  "(.*?)a", "a{2,3}",
        "\\bab",  "(?<=a)b", "\\Qa\\E", "(?i)a",    "a(b)?",  "a\\<b",  "[0-9]*?x",
        "a\\x41", "中{2}",   "a\\'",    "(a",       "a)",     "[ab",    "\\",
    };
    for (const std::string& pattern : engine)
        EXPECT_EQ(Pattern(pattern).chain(), nullptr) << pattern;
}

using Spans = std::vector<std::pair<long, long>>;

// Every match as the engine finds it (a freshly compiled pattern, character starts found
// from the text's beginning), each with every group's place; -1 for a group left out.
std::vector<Spans> EngineMatches(const std::string& text, const std::string& pattern) {
    boost::regex re;
    re.imbue(std::locale::classic());
    std::string prepared;
    // Chinese characters as the system writes them for the engine: case-sensitive bytes.
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(pattern[i]);
        if (c >= 0x81 && i + 1 < pattern.size()) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "(?-i:\\x%02X\\x%02X)", c,
                          static_cast<unsigned char>(pattern[i + 1]));
            prepared += buf;
            ++i;
        } else {
            prepared += pattern[i];
        }
    }
    re.assign(prepared, boost::regex::perl | boost::regex::icase | boost::regex::mod_s |
                            boost::regex::no_mod_m);
    auto isStart = [&](std::size_t pos) {
        std::size_t at = 0;
        while (at < pos) at += CharWidthAt(text, at);
        return at == pos;
    };
    std::vector<Spans> matches;
    std::size_t rest = 0;
    boost::smatch m;
    while (rest <= text.size()) {
        std::size_t start = rest;
        bool found = false;
        while (start <= text.size() &&
               boost::regex_search(text.begin() + start, text.end(), m, re, boost::match_default,
                                   text.begin() + rest)) {
            const std::size_t at = m[0].first - text.begin();
            if (isStart(at)) {
                found = true;
                break;
            }
            start = at + 1;
        }
        if (!found)
            break;
        Spans spans;
        for (std::size_t g = 0; g < m.size(); ++g)
            spans.emplace_back(m[g].matched ? m[g].first - text.begin() : -1,
                               m[g].matched ? m[g].second - text.begin() : -1);
        matches.push_back(spans);
        rest = m[0].second - text.begin();  // chains never match empty
    }
    return matches;
}

std::vector<Spans> PatternMatches(const std::string& text, const Pattern& pattern) {
    std::vector<Spans> matches;
    ForEachMatch(text, pattern, [&](const MatchGroups& m) {
        Spans spans;
        for (std::size_t g = 0; g < m.size(); ++g)
            spans.emplace_back(m.matched(g) ? m.view(g).data() - text.data() : -1,
                               m.matched(g) ? m.view(g).data() - text.data() + m.length(g) : -1);
        matches.push_back(spans);
        return true;
    });
    return matches;
}

// Chains give the engine's matches, group places and replacements. Random texts over the
// pieces' letters in both cases, line breaks and zero bytes (which "." matches), and GBK
// characters whose second byte is an ASCII letter, so that pieces also occur across
// characters.
TEST(RegexOps, LiteralChainsFindWhatTheEngineFinds) {
    const std::vector<std::string> patterns = {
        "<b>(.*?)</b>",
        "a.*?b(.*?)c",
        "a(.+?)b.+?c",
        "c=\"p\".*?h=\"(?<Url>.+?)\".+?<i",
        "(?<E>b.x)",
        "<l c=.b.>(?<1>.*?)</l>",
        "([0-9]{2}-[0-9])",
        "a[\"|'].*?[\"|']",
        "x.*?(.*?)y",
        "(a)(.+?)(.*?)b",
        "ab(c)",
        "a.*?",
        "a.+?",
        "a(.+?)(.+?)",
        "中(.*?)文",
        "\xB0\x41(.*?)x",
        "a\\.b(.*?)\\)",
        "a.{2}(b)",
        "a()b",
        "\\n(.*?)\\t",
    };
    const std::vector<std::string> pieces = {
        "a",  "A",    "b",       "B",         "c",    "C",        "x",        "X",
        "y",  "<b>",  "</B>",    "中",        "文",   "1",        "2",        "-",
        "\"", "'",    "|",       ".",         ")",    "\n",       "\t",       std::string(1, '\0'),
        "<i", "h=\"", "c=\"p\"", "<l c='b'>", "</l>", "\xB0\x41", "\xB0\x61", "\x81"};
    for (const std::string& pattern : patterns)
        ASSERT_NE(Pattern(pattern).chain(), nullptr) << pattern;
    std::mt19937 random(20240602);
    for (int round = 0; round < 600; ++round) {
        // Short texts and some long enough to be searched sixteen places at a time.
        std::string text;
        const int length = static_cast<int>(random() % (round % 4 == 0 ? 160 : 48));
        for (int i = 0; i < length; ++i) text += pieces[random() % pieces.size()];
        for (const std::string& pattern : patterns) {
            const Pattern compiled(pattern);
            const std::vector<Spans> expected = EngineMatches(text, pattern);
            ASSERT_EQ(PatternMatches(text, compiled), expected)
                << "pattern " << pattern << " text " << text;
            std::string replaced;
            std::size_t copied = 0;
            for (const Spans& match : expected) {
                replaced += text.substr(copied, match[0].first - copied) + "-";
                copied = match[0].second;
            }
            replaced += text.substr(copied);
            ASSERT_EQ(RegexReplace(text, compiled, "-"), replaced)
                << "pattern " << pattern << " text " << text;
        }
    }
}

}  // namespace
}  // namespace vt
