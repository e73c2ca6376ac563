// The URL and text encoders on any GBK (or not quite GBK) text.
#include "base/encoders.h"

#include "base/text.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace vt::fuzz {

namespace {

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool IsAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Only the kept bytes, and every '%' followed by two upper-case hex digits.
void RequireEncoded(const std::string& encoded, std::string_view kept, const char* what) {
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '%') {
            Require(i + 2 < encoded.size() && IsHex(encoded[i + 1]) && IsHex(encoded[i + 2]), what);
            i += 2;
        } else {
            Require(IsAlnum(c) || kept.find(c) != std::string_view::npos, what);
        }
    }
}

}  // namespace

int FuzzEncoders(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    RequireEncoded(UrlEncodeAnsi(text), "-_.!~*'()", "UrlEncodeAnsi leaves only safe bytes");
    RequireEncoded(UrlEncodeUtf8(text), "+", "UrlEncodeUtf8 leaves only safe bytes");
    AnsiToUtf8(text);
    Utf8ToGbk(text);
    GbkToUtf16(text);
    const std::string unescaped = UnescapeUnicode(text);
    if (text.find('\\') == std::string::npos)
        Require(unescaped == text, "a text without backslash is not changed by unescaping");

    const auto parts = SplitInput(data, size, 4);
    const std::string body = BuildMultipartBody({{parts[0], parts[1]}, {parts[2], parts[3]}});
    const std::string closing = std::string("--") + kMultipartBoundary + "--";
    Require(body.size() >= closing.size() &&
                body.compare(body.size() - closing.size(), closing.size(), closing) == 0,
            "a multipart body ends with the closing boundary");
    return 0;
}

}  // namespace vt::fuzz
