#include "base/encoders.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_app_dir.h"

namespace vt {
namespace {

using testing::U8;

struct EncodeCase {
    const char* what;
    std::string text, expected;
};

TEST(UrlEncodeAnsi, EscapesEveryByteButTheUnreserved) {
    const EncodeCase cases[] = {
        {"blank and slash", "a b-/", "a%20b-%2F"},
        {"tab has two digits", "\t", "%09"},
        {"unreserved marks kept", "-_.!~*'()", "-_.!~*'()"},
        {"reserved marks escaped", "&=?+%#", "%26%3D%3F%2B%25%23"},
        {"a Chinese character is two escapes", "中文", "%D6%D0%CE%C4"},
        {"a stray lead byte is replaced first", "a\x81", "a%3F"},
        {"empty", "", ""},
    };
    for (const EncodeCase& c : cases) EXPECT_EQ(UrlEncodeAnsi(c.text), c.expected) << c.what;
}

TEST(UrlEncodeUtf8, EncodesTheUtf8FormInGroupsOfThree) {
    const EncodeCase cases[] = {
        {"blank becomes plus", "a b", "a+b"},
        {"slash", "/", "%2F"},
        {"letters and digits kept", "Filter09", "Filter09"},
        {"marks escaped", "-_.", "%2D%5F%2E"},
        {"a Chinese character is three escapes", "中x", "%E4%B8%ADx"},
        // Two-byte UTF-8 forms: the group of three takes the next byte along, and a
        // group at the end stops with the text.
        {"Greek letter then ASCII",
         "\xA6\xC1"
         "a",
         "%CE%B1%61"},
        {"two-byte form at the end", "x\xA6\xC1", "x%CE%B1"},
        {"middle dot alone", "\xA1\xA4", "%C2%B7"},
        {"empty", "", ""},
    };
    for (const EncodeCase& c : cases) EXPECT_EQ(UrlEncodeUtf8(c.text), c.expected) << c.what;
}

TEST(AnsiToUtf8, ConvertsGbkToUtf8) {
    EXPECT_EQ(AnsiToUtf8("a中"), "a\xE4\xB8\xAD");
    EXPECT_EQ(AnsiToUtf8(""), "");
}

TEST(UnescapeUnicode, ReplacesFourDigitEscapesOnly) {
    const EncodeCase cases[] = {
        {"lower-case escape", "x\\u4e2dy", "x中y"},
        {"upper-case U and digits", "\\U4E2D\\u6587", "中文"},
        {"ASCII code point", "\\u0041", "A"},
        {"non-hex digit", "\\u12z4", "\\u12z4"},
        {"too short at the end", "a\\u4e2", "a\\u4e2"},
        {"other escapes kept", "a\\nb\\\\", "a\\nb\\\\"},
        {"backslash before an escape", "\\\\u4e2d", "\\中"},
        {"code point GBK lacks", "\\ud83d", "?"},
        {"zero code point dropped", "a\\u0000b", "ab"},
        // 謀 is D6 5C: its second byte is a backslash, not the start of an escape.
        {"second byte is a backslash",
         "\xD6\x5C"
         "u4e2d",
         "\xD6\x5C"
         "u4e2d"},
        {"Chinese text kept", "《红楼梦》", "《红楼梦》"},
    };
    for (const EncodeCase& c : cases)
        EXPECT_EQ(UnescapeUnicode(c.text), c.expected)
            << c.what << ": " << U8(UnescapeUnicode(c.text));
}

TEST(BuildMultipartBody, WritesEachFieldInOrderThenTheClosingLine) {
    const std::string boundary = "---------------------------7e0e2e250716";
    EXPECT_EQ(BuildMultipartBody({{"a", "  x  "}}, boundary),
              "-----------------------------7e0e2e250716\r\n"
              "Content-Disposition: form-data; name=\"a\"\r\n\r\n"
              "x\r\n"
              "-----------------------------7e0e2e250716--");

    EXPECT_EQ(
        BuildMultipartBody({{"title", "书名\r\n"}, {"_tb_token_", ""}, {"a", "1 & 2"}}, boundary),
        "--" + boundary + "\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\n书名\r\n" +
            "--" + boundary +
            "\r\nContent-Disposition: form-data; name=\"_tb_token_\"\r\n\r\n\r\n" + "--" +
            boundary + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1 & 2\r\n" + "--" +
            boundary + "--");

    EXPECT_EQ(BuildMultipartBody({}, boundary), "--" + boundary + "--");
    EXPECT_EQ(MultipartContentType(boundary), "multipart/form-data; boundary=" + boundary);
}

TEST(BuildMultipartBody, EveryBodyGetsAFreshBoundaryOfTheBrowsersShape) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const std::string boundary = NewMultipartBoundary();
        ASSERT_EQ(boundary.size(), 27u + 16u) << boundary;
        EXPECT_EQ(boundary.find_first_not_of('-'), 27u) << boundary;
        EXPECT_EQ(boundary.find_first_not_of("0123456789abcdef", 27), std::string::npos)
            << boundary;
        seen.insert(boundary);
    }
    EXPECT_EQ(seen.size(), 50u);
}

TEST(BuildMultipartBody, RefusesAFieldThatCouldEndItsPartEarly) {
    const std::string b = "---------------------------0123456789abcdef";
    const std::string smuggled = "x\r\n--" + b +
                                 "\r\nContent-Disposition: form-data; name=\"_fma.pu._0.b\""
                                 "\r\n\r\n0.01";
    struct Case {
        const char* what;
        std::string name, value;
        bool refused;
    };
    const std::vector<Case> cases = {
        {"the boundary with a field after it", "d", smuggled, true},
        {"the bare boundary", "d", "a" + b + "a", true},
        {"a zero byte that would cut the body", "d", std::string("a\0b", 3), true},
        {"a quote in the name", "a\"b", "v", true},
        {"a line break in the name", "a\r\nb", "v", true},
        // Only the body's own boundary ends a part: text like another form's is data.
        {"another boundary", "d", "x\r\n-----------------------------7e0e2e250716\r\n", false},
        {"line breaks and quotes in a value", "d", "a\r\n\"b\"\r\n--", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::pair<std::string, std::string>> fields{
            {"a", "1"}, {c.name, c.value}, {"z", "2"}};
        const auto* unsafe = UnsafeMultipartField(fields, b);
        const std::string body = BuildMultipartBody(fields, b);
        if (c.refused) {
            ASSERT_NE(unsafe, nullptr);
            EXPECT_EQ(unsafe->first, c.name);
            EXPECT_EQ(body, "");
        } else {
            EXPECT_EQ(unsafe, nullptr);
            // Exactly three parts: the value did not add one.
            std::size_t parts = 0;
            for (std::size_t at = body.find("--" + b + "\r\n"); at != std::string::npos;
                 at = body.find("--" + b + "\r\n", at + 1))
                ++parts;
            EXPECT_EQ(parts, 3u) << U8(body);
        }
    }
}

}  // namespace
}  // namespace vt
