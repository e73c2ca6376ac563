// The URL and text encoders on any GBK (or not quite GBK) text.
#include "base/encoders.h"

#include <string_view>
#include <utility>
#include <vector>

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

// A boundary as multipart allows it: 1 to 70 of its characters, no line break.
bool IsBoundary(const std::string& text) {
    static constexpr std::string_view kAllowed = "'()+_,-./:=? ";
    if (text.empty() || text.size() > 70)
        return false;
    for (char c : text)
        if (!IsAlnum(c) && kAllowed.find(c) == std::string_view::npos)
            return false;
    return true;
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

    // Fields from the input, with a boundary from the input too (so values can hold it)
    // or a fresh one: the body names exactly the given fields, or is refused.
    const auto parts = SplitInput(data, size, 5);
    const std::vector<std::pair<std::string, std::string>> fields{{parts[0], parts[1]},
                                                                  {parts[2], parts[3]}};
    const std::string boundary = IsBoundary(parts[4]) ? parts[4] : NewMultipartBoundary();
    const std::string body = BuildMultipartBody(fields, boundary);
    const auto* unsafe = UnsafeMultipartField(fields, boundary);
    Require(body.empty() == (unsafe != nullptr),
            "a body is refused exactly when a field is unsafe");
    std::vector<std::string> names;
    if (!body.empty()) {
        Require(ReadMultipartNames(body, boundary, names),
                "a multipart body reads back as parts and the closing line");
        Require(names == std::vector<std::string>{parts[0], parts[2]},
                "a multipart body names exactly the given fields in order");
    }
    return 0;
}

}  // namespace vt::fuzz
