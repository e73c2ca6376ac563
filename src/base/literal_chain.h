// The patterns pages are mostly read with: literal pieces joined by lazy "any bytes" gaps,
// such as <b>(.*?)</b> or class="pic".*?href="(.+?)". They are matched here by searching
// for each piece in turn, without the regex engine, with the engine's own results: a lazy
// gap takes the shortest run that lets the rest match, and since every later piece is
// again preceded by a gap (or ends the pattern), that is the next occurrence of the next
// piece. A piece that is not found after one start is not found after any later one, so
// the search stops there. Texts and patterns are GBK bytes, read as boost::regex reads
// them in the flags the system uses (letters without regard to case, "." any byte).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/gbk_search.h"

namespace vt {

class LiteralChain {
public:
    // Where one group matched: [begin, end) in the text; begin is npos when it did not.
    struct Span {
        std::size_t begin;
        std::size_t end;
    };

    // The chain, or nothing when the pattern is anything else: alternation, anchors,
    // classes such as \d, sets with letters, greedy or counted repeats other than {n} of
    // one byte, nested or non-capturing groups, a pattern that opens with a gap. Those
    // are left to the regex engine. Accepted patterns are valid regular expressions.
    static std::optional<LiteralChain> Parse(const std::string& pattern);

    // Groups of a match, the whole match (0) included.
    std::size_t GroupCount() const { return groups_ + 1; }

    // The leftmost match that starts at or after from on a character start (starts reads
    // the same text). groups receives GroupCount() spans. False when there is none.
    bool Search(std::string_view text, std::size_t from, GbkCharStarts& starts,
                std::vector<Span>& groups) const;
    // Where the first piece next stands on a character start at or after from: no match
    // can start before. npos when it does not occur.
    std::size_t FindStart(std::string_view text, std::size_t from, GbkCharStarts& starts) const;

private:
    // One byte of a piece: the bytes it stands for, as a 256-bit set.
    struct Unit {
        unsigned long long bits[4] = {0, 0, 0, 0};
        int size = 0;           // how many bytes
        unsigned char low = 0;  // the smallest of them
        bool Has(unsigned char b) const { return (bits[b >> 6] >> (b & 63)) & 1; }
        void Add(unsigned char b) {
            if (Has(b))
                return;
            if (size++ == 0 || b < low)
                low = b;
            bits[b >> 6] |= 1ULL << (b & 63);
        }
    };
    // One byte of a piece tested before the others: a byte b is there when
    // (b | fold) == value (fold 0x20 lets a letter's two cases through).
    struct Probe {
        std::size_t offset = 0;
        unsigned char value = 0;
        unsigned char fold = 0;
    };
    // A run of bytes matched at one place.
    struct Piece {
        std::vector<Unit> units;
        // The two units rarest in markup that stand for one byte or a letter's two cases
        // (the same one twice when there is only one); none when every unit is a set or
        // any byte. Places where both hold are few, and only they are compared whole.
        bool probed = false;
        Probe probes[2];
        std::size_t gapBefore = 0;  // bytes the gaps before it take at least
    };
    // The pattern in order, to place the groups once the pieces are found.
    struct Step {
        enum Kind { kUnit, kGap, kOpen, kClose } kind;
        std::size_t value = 0;  // a gap's least bytes, or a group's number
        bool lastGap = false;   // the gap that takes the rest of the run of gaps
        int nextPiece = -1;     // the piece after a run of gaps; -1 at the end
    };

    std::size_t Find(const Piece& piece, std::string_view text, std::size_t from) const;
    bool Matches(const Piece& piece, std::string_view text, std::size_t at) const;

    std::vector<Piece> pieces_;
    std::vector<Step> steps_;
    std::size_t trailingGap_ = 0;  // bytes the gaps after the last piece take
    std::size_t groups_ = 0;
};

}  // namespace vt
