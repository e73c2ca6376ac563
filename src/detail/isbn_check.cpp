#include "detail/isbn_check.h"

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

}  // namespace vt
