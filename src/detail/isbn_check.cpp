#include "detail/isbn_check.h"

#include <algorithm>

namespace vt {

bool IsWellFormedIsbn(std::string_view text) {
    std::size_t digits = 0;
    bool endsWithX = false;
    char previous = '-';  // a leading hyphen counts as one after a hyphen
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (endsWithX)
            return false;  // "X" is only the last character
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == 'X' || c == 'x') {
            endsWithX = true;
            ++digits;
        } else if (c != '-' || previous == '-') {
            return false;
        }
        previous = c;
    }
    if (previous == '-')
        return false;
    return endsWithX ? digits == 10 : digits == 10 || digits == 13;
}

std::string CheckedIsbn(const std::string& text) {
    return IsWellFormedIsbn(text) ? text : std::string();
}

std::string FirstIsbnOf(std::string_view text) {
    static constexpr std::string_view kSeparators = " \t\r\n,;/";
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find_first_of(kSeparators, pos), text.size());
        const std::string_view token = text.substr(pos, end - pos);
        if (IsWellFormedIsbn(token))
            return std::string(token);
        pos = end + 1;
    }
    return {};
}

}  // namespace vt
