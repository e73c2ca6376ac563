// Text encoders for the exchanges: percent-encoding, GBK to UTF-8, \u unescaping and
// the multipart body of the marketplace forms. All take and give GBK text unless said.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vt {

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

// A fresh separator for one multipart body: 27 hyphens, as the seller pages' browser
// writes them, then 16 random hex digits. Drawn anew for every body, so text taken from a
// web page cannot know it in advance and end its part early.
std::string NewMultipartBoundary();

// "multipart/form-data; boundary=" and the boundary: the Content-Type of such a body.
std::string MultipartContentType(const std::string& boundary);

// The first field that cannot be sent as a part with this boundary, or nullptr: a name
// holding a quote, CR, LF or zero byte would end its parameter early; a value holding the
// boundary would end its part early and could add fields; a zero byte would cut the body.
const std::pair<std::string, std::string>* UnsafeMultipartField(
    const std::vector<std::pair<std::string, std::string>>& fields, const std::string& boundary);

// A multipart/form-data body with that boundary: one part per (name, value) in the given
// order, values trimmed, then the closing boundary line without a line break. Empty when
// UnsafeMultipartField finds a field, so such a value is never sent.
std::string BuildMultipartBody(const std::vector<std::pair<std::string, std::string>>& fields,
                               const std::string& boundary);

}  // namespace vt
