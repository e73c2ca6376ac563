// The text of delimited data files: quoting of one field, one line, and the byte forms
// the import tools read (GBK as collected, UTF-8 with a BOM, UTF-16LE with a BOM).
#pragma once

#include <string>
#include <vector>

namespace vt {

// True when a spreadsheet would read the cell as a formula: it starts with "=", "+", "-",
// "@", a tab or a CR (a negative number included; a plain number starts with a digit).
bool ReadsAsFormula(const std::string& text);

// The field as it stands, or in double quotes with inner quotes doubled when it holds
// the separator, a quote or a line break, so a reader gets the same text back. A field
// that ReadsAsFormula is quoted behind a single quote, so it is shown as text.
std::string CsvField(const std::string& text, char separator);
// The fields joined by the separator, ended by CR LF.
std::string CsvLine(const std::vector<std::string>& fields, char separator);

// GBK text as UTF-8 behind a byte-order mark.
std::string Utf8WithBom(const std::string& gbk);
// GBK text as UTF-16 little-endian behind a byte-order mark.
std::string Utf16LeWithBom(const std::string& gbk);

}  // namespace vt
