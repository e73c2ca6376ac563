#include "market/data_files/csv_text.h"

#include "base/text.h"

namespace vt {

std::string CsvField(const std::string& text, char separator) {
    // The separator, quote and line-break bytes never occur inside a GBK character.
    if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields, char separator) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            line += separator;
        line += CsvField(fields[i], separator);
    }
    return line + "\r\n";
}

std::string Utf8WithBom(const std::string& gbk) {
    return "\xEF\xBB\xBF" + GbkToUtf8(gbk);
}

std::string Utf16LeWithBom(const std::string& gbk) {
    const std::u16string wide = GbkToUtf16(gbk);
    std::string out = "\xFF\xFE";
    out.reserve(2 + wide.size() * 2);
    for (char16_t c : wide) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>((c >> 8) & 0xFF);
    }
    return out;
}

}  // namespace vt
