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

// Bytes taken by the character starting at i as the pattern matcher reads a text: 2 for a
// lead byte followed by a valid second byte, otherwise 1 (a stray byte stands alone).
std::size_t GbkCharWidth(std::string_view text, std::size_t i);

// Where the characters of one text start, for the pattern matcher (characters as
// GbkCharWidth reads them). A byte that cannot lead a double-byte character always ends a
// character, so whether a position starts one depends only on the run of lead bytes just
// before it: an even run pairs up. The run is read back no further than the last start
// found, so positions asked in increasing order never rescan the text from its beginning.
class GbkCharStarts {
public:
    // The text must outlive this object.
    explicit GbkCharStarts(std::string_view text) : text_(text) {}
    // The first character start at or after pos (pos itself when past the end).
    std::size_t AtOrAfter(std::size_t pos);

private:
    std::string_view text_;
    std::size_t known_ = 0;  // a character start at or before every position asked
};

}  // namespace vt
