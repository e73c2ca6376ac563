// Substring search and replacement on GBK text that only matches at character starts,
// so a word never matches across the second byte of one character and the first byte
// of the next (the second byte of a GBK character may be any ASCII byte from '@' on).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vt {

// Position of the first occurrence of word that starts on a character at or after from
// (itself a character start); npos when there is none or the word is empty.
// Case-sensitive.
std::size_t GbkFind(std::string_view text, std::string_view word, std::size_t from = 0);

inline bool GbkContains(std::string_view text, std::string_view word) {
    return GbkFind(text, word) != std::string_view::npos;
}

// Every non-overlapping occurrence of word (left to right, on character starts) replaced
// by replacement. An empty word changes nothing.
std::string GbkReplaceAll(std::string_view text, std::string_view word,
                          std::string_view replacement);

}  // namespace vt
