// The settings file format: Windows private-profile text ("[section]" lines, then
// key=value lines). Paths and texts are GBK and pass through byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace vt {

// The value of key in section, or fallback when the file, the section or the key is
// missing. Section and key names match without regard to ASCII case; the first match
// wins. Blanks around the value are dropped and one pair of matching quotes around it
// is removed, as the Windows reader does. The value is returned whole, however long.
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback);

// The value read as a decimal integer (optional sign, then leading digits; 0 when the
// value starts with none), or fallback when the key is missing.
int ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                   int fallback);

// Sets key in section to value. An existing key line is replaced in place (keeping the
// file's spelling of the key and the line's end); a new key goes after the section's
// last non-blank line; a missing section is added at the end of the file; a missing
// file is created. Every other line stays as it was, new lines end in CRLF.
// A value that would not read back the same is written in double quotes (leading or
// trailing blanks, or quotes at both ends); line breaks inside a value are written as
// blanks, since a line break would end the line and let the rest pose as other keys.
// False when the file cannot be written.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace vt
