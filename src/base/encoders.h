// Text encoders for the exchanges: percent-encoding, GBK to UTF-8, \u unescaping and
// the multipart body of the marketplace forms. All take and give GBK text unless said.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vt {

// 27 hyphens and a fixed tail; the publish form and the image upload share it.
inline constexpr char kMultipartBoundary[] = "---------------------------7e0e2e250716";

// Percent-encoding for source-site query strings: ASCII letters, digits and
// "-_.!~*'()" stay, every other byte becomes %XX (upper-case hex). Invalid GBK byte
// sequences are replaced first.
std::string UrlEncodeAnsi(const std::string& text);

// The text in UTF-8.
std::string AnsiToUtf8(const std::string& text);

// Percent-encoding of the UTF-8 form: ASCII letters and digits stay, a space becomes
// "+", other ASCII bytes become %XX; a byte of 0x80 or above starts a group of up to
// three bytes, each written %XX.
std::string UrlEncodeUtf8(const std::string& text);

// Replaces each \uXXXX (or \UXXXX, four hex digits) by that character in GBK; anything
// else, a lone backslash included, is copied as it is.
std::string UnescapeUnicode(const std::string& text);

// A multipart/form-data body: one part per (name, value) in the given order, values
// trimmed, then the closing boundary line without a line break.
std::string BuildMultipartBody(const std::vector<std::pair<std::string, std::string>>& fields);

}  // namespace vt
