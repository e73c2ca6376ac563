#include "base/split_list.h"

#include "base/text.h"

namespace vt {

std::vector<std::string> SplitList(std::string_view text, char sep) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    std::size_t i = 0;
    auto cut = [&](std::size_t end) {
        if (end > start)
            pieces.emplace_back(text.substr(start, end - start));
    };
    while (i < text.size()) {
        if (IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            i += 2;
            continue;
        }
        if (text[i] == sep) {
            cut(i);
            start = i + 1;
        }
        ++i;
    }
    cut(text.size());
    if (pieces.empty())
        pieces.emplace_back();
    return pieces;
}

}  // namespace vt
