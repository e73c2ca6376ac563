#include "base/gbk_search.h"

#include "base/text.h"

namespace vt {
namespace {

// Bytes of the character that starts at i: a lead byte takes the next byte with it.
std::size_t CharBytes(std::string_view text, std::size_t i) {
    return IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

bool IsGbkTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

}  // namespace

std::size_t GbkCharWidth(std::string_view text, std::size_t i) {
    if (i + 1 < text.size() && IsGbkLeadByte(static_cast<unsigned char>(text[i])) &&
        IsGbkTrailByte(static_cast<unsigned char>(text[i + 1])))
        return 2;
    return 1;
}

std::size_t GbkCharStarts::AtOrAfter(std::size_t pos) {
    if (pos >= text_.size())
        return pos;
    if (pos < known_)
        known_ = 0;  // not expected (positions do not decrease), but stay exact
    std::size_t i = pos;
    while (i > known_ && IsGbkLeadByte(static_cast<unsigned char>(text_[i - 1]))) --i;
    // i is a start: the text's beginning, the last start found, or after a non-lead byte.
    while (i < pos) i += GbkCharWidth(text_, i);
    known_ = i;
    return i;
}

std::size_t GbkFind(std::string_view text, std::string_view word, std::size_t from) {
    if (word.empty() || word.size() > text.size())
        return std::string_view::npos;
    std::size_t i = from;
    // Jump from one byte-wise candidate to the next, then walk characters up to it.
    for (std::size_t hit = text.find(word, i); hit != std::string_view::npos;
         hit = text.find(word, i)) {
        while (i < hit) i += CharBytes(text, i);
        if (i == hit)
            return hit;
    }
    return std::string_view::npos;
}

std::string GbkReplaceAll(std::string_view text, std::string_view word,
                          std::string_view replacement) {
    if (word.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    for (std::size_t hit = GbkFind(text, word); hit != std::string_view::npos;
         hit = GbkFind(text, word, copied)) {
        out.append(text, copied, hit - copied);
        out.append(replacement);
        copied = hit + word.size();
    }
    out.append(text, copied, std::string_view::npos);
    return out;
}

}  // namespace vt
