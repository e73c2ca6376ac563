#include "market/data_files/csv_text.h"

#include <string_view>

#include "base/text.h"

namespace vt {

bool ReadsAsFormula(const std::string& text) {
    return !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos;
}

std::string CsvField(const std::string& text, char separator) {
    // The separator, quote and line-break bytes never occur inside a GBK character.
    const bool formula = ReadsAsFormula(text);
    if (!formula &&
        text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos)
        return text;
    // A leading quote makes a spreadsheet show the cell as the text it is.
    std::string out = formula ? "\"'" : "\"";
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
