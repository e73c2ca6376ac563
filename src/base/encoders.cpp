#include "base/encoders.h"

#include <cstdio>
#include <random>
#include <string_view>

#include "base/text.h"

namespace vt {
namespace {

bool IsAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void AppendPercent(std::string& out, unsigned char b) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%%%02X", b);
    out += buf;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The code unit of "\uXXXX" at i, or -1 when the text there is not such an escape.
long EscapeAt(const std::string& text, std::size_t i) {
    if (i + 6 > text.size() || text[i] != '\\' || (text[i + 1] != 'u' && text[i + 1] != 'U'))
        return -1;
    long value = 0;
    for (std::size_t k = i + 2; k < i + 6; ++k) {
        const int digit = HexValue(text[k]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

}  // namespace

std::string UrlEncodeAnsi(const std::string& text) {
    static constexpr std::string_view kKept = "-_.!~*'()";
    std::string out;
    for (char ch : Utf16ToGbk(GbkToUtf16(text))) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsAsciiAlnum(c) || kKept.find(ch) != std::string_view::npos)
            out += ch;
        else
            AppendPercent(out, c);
    }
    return out;
}

std::string AnsiToUtf8(const std::string& text) {
    return GbkToUtf8(text);
}

std::string UrlEncodeUtf8(const std::string& text) {
    const std::string utf8 = AnsiToUtf8(text);
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x80) {
            // Stored database names were made in groups of three; the last group of a
            // text may be shorter, and nothing past the end is read.
            const std::size_t end = i + 3 < utf8.size() ? i + 3 : utf8.size();
            for (; i < end; ++i) AppendPercent(out, static_cast<unsigned char>(utf8[i]));
            continue;
        }
        if (IsAsciiAlnum(c))
            out += utf8[i];
        else if (c == ' ')
            out += '+';
        else
            AppendPercent(out, c);
        ++i;
    }
    return out;
}

std::string UnescapeUnicode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        // A double-byte character is copied whole: its second byte may be '\\'.
        if (IsGbkLeadByte(c) && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) >= 0x40) {
            out.append(text, i, 2);
            i += 2;
            continue;
        }
        const long unit = EscapeAt(text, i);
        if (unit < 0) {
            out += text[i++];
            continue;
        }
        // U+0000 would put a zero byte into the text, and the publish form is sent
        // only up to its first zero byte; it carries nothing, so it is dropped.
        if (unit != 0)
            out += Utf16ToGbk(std::u16string(1, static_cast<char16_t>(unit)));
        i += 6;
    }
    return out;
}

std::string NewMultipartBoundary() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::random_device source;
    std::uniform_int_distribution<int> digit(0, 15);
    std::string boundary(27, '-');
    for (int i = 0; i < 16; ++i) boundary += kHex[digit(source)];
    return boundary;
}

std::string MultipartContentType(const std::string& boundary) {
    return "multipart/form-data; boundary=" + boundary;
}

const std::pair<std::string, std::string>* UnsafeMultipartField(
    const std::vector<std::pair<std::string, std::string>>& fields, const std::string& boundary) {
    for (const auto& field : fields) {
        const std::string& name = field.first;
        if (name.find_first_of(std::string_view("\"\r\n\0", 4)) != std::string::npos)
            return &field;
        const std::string value = Trim(field.second);
        if (value.find('\0') != std::string::npos ||
            (!boundary.empty() && value.find(boundary) != std::string::npos))
            return &field;
    }
    return nullptr;
}

std::string BuildMultipartBody(const std::vector<std::pair<std::string, std::string>>& fields,
                               const std::string& boundary) {
    if (boundary.empty() || UnsafeMultipartField(fields, boundary))
        return {};
    std::string body;
    for (const auto& [name, value] : fields) {
        body += "--";
        body += boundary;
        body += "\r\n";
        body += "Content-Disposition: form-data; name=\"";
        body += name;
        body += "\"\r\n\r\n";
        body += Trim(value);
        body += "\r\n";
    }
    body += "--";
    body += boundary;
    body += "--";
    return body;
}

}  // namespace vt
