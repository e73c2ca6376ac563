// GBK is the system's text. These are the only places where bytes change code page:
// the databases and the CLI's JSON speak UTF-8, the desktop layer UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace vt {

// GBK -> UTF-8. Invalid GBK sequences become '?'.
std::string GbkToUtf8(std::string_view gbk);
// UTF-8 -> GBK. Characters GBK lacks (and invalid UTF-8) become '?', the code page's
// default character.
std::string Utf8ToGbk(std::string_view utf8);
// GBK <-> UTF-16 (host byte order), for the desktop layer.
std::u16string GbkToUtf16(std::string_view gbk);
std::string Utf16ToGbk(std::u16string_view utf16);

// The white space the system trims: blank, tab, CR, LF (and vertical tab, form feed).
bool IsTrimSpace(char c);
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// The text without its zero bytes. A page may carry them; in a field they would cut the
// text short wherever it is later taken as a C string (titles, the databases, the log).
std::string WithoutZeroBytes(std::string_view text);

// True when byte i of a GBK text starts a character (walking from the front).
// Used wherever a text is cut by bytes, so no cut lands inside a character.
bool IsGbkLeadByte(unsigned char b);
// The longest prefix of at most maxBytes bytes that does not end inside a double-byte character.
std::string GbkPrefix(std::string_view gbk, std::size_t maxBytes);

}  // namespace vt
