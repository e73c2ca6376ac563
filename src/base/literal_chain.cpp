#include "base/literal_chain.h"

#include <cctype>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/text.h"

namespace vt {
namespace {

constexpr std::size_t npos = std::string::npos;
// Enough for every pattern the pages are read with; longer chains go to the engine.
constexpr std::size_t kMaxPieces = 16;
constexpr std::size_t kMaxCount = 64;

bool IsAsciiLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Escaped bytes that stand for themselves. Others are classes (\d), assertions (\b, \<,
// \'), or other syntax of the engine's.
bool IsPlainEscape(unsigned char c) {
    return c != '\0' && std::strchr(".()[]{}*+?|^$\\/-\"=:&#%,;@!~", c) != nullptr;
}

// How often a byte stands in a page's markup, roughly: a piece is looked for by its
// rarest byte, so that the search stops at few places that are not the piece.
int MarkupFrequency(unsigned char c) {
    switch (c) {
        case ' ':
        case '<':
        case '>':
        case '"':
        case '=':
        case '/':
            return 10;
        default:
            break;
    }
    if (c >= 0x80)
        return 7;  // the text of a Chinese page
    if (c >= 'a' && c <= 'z')
        return std::strchr("etaoinsrlcdhp", c) ? 9 : 5;
    return 3;
}

}  // namespace

std::optional<LiteralChain> LiteralChain::Parse(const std::string& p) {
    LiteralChain chain;
    std::vector<Unit> units;  // the units in pattern order; a unit step holds its index
    units.reserve(p.size());
    chain.steps_.reserve(p.size());
    auto addUnit = [&](const Unit& u) {
        chain.steps_.push_back({Step::kUnit, units.size()});
        units.push_back(u);
    };
    const std::size_t n = p.size();
    std::size_t i = 0;
    bool inGroup = false;
    // After an atom of `width` units: {n} repeats a single unit; any other repeat is the
    // engine's.
    auto repeat = [&](std::size_t width) {
        if (i >= n || !std::strchr("*+?{", p[i]))
            return true;
        if (p[i] != '{' || width != 1)
            return false;
        std::size_t count = 0, k = i + 1;
        for (; k < n && p[k] >= '0' && p[k] <= '9' && count <= kMaxCount; ++k)
            count = count * 10 + static_cast<std::size_t>(p[k] - '0');
        if (k == i + 1 || k >= n || p[k] != '}' || count == 0 || count > kMaxCount)
            return false;
        i = k + 1;
        const Unit unit = units.back();
        for (std::size_t c = 1; c < count; ++c) addUnit(unit);
        return i >= n || !std::strchr("*+?{", p[i]);
    };
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c >= 0x80) {
            // A double-byte character matches only itself, without case; a stray byte too.
            const std::size_t width = GbkCharWidth(p, i);
            for (std::size_t k = 0; k < width; ++k) {
                Unit u;
                u.Add(static_cast<unsigned char>(p[i + k]));
                addUnit(u);
            }
            i += width;
            if (!repeat(width))
                return std::nullopt;
            continue;
        }
        if (c == '\\') {
            if (i + 1 >= n)
                return std::nullopt;
            const unsigned char e = static_cast<unsigned char>(p[i + 1]);
            if (e >= 0x80) {
                ++i;  // an escaped non-ASCII character is that character
                continue;
            }
            Unit u;
            if (e == 'n')
                u.Add('\n');
            else if (e == 'r')
                u.Add('\r');
            else if (e == 't')
                u.Add('\t');
            else if (IsPlainEscape(e))
                u.Add(e);
            else
                return std::nullopt;
            addUnit(u);
            i += 2;
            if (!repeat(1))
                return std::nullopt;
            continue;
        }
        if (c == '.') {
            if (p.compare(i, 3, ".*?") == 0 || p.compare(i, 3, ".+?") == 0) {
                chain.steps_.push_back({Step::kGap, p[i + 1] == '+' ? 1u : 0u});
                i += 3;
                if (i < n && std::strchr("*+?{", p[i]))
                    return std::nullopt;
                continue;
            }
            Unit any;
            for (unsigned long long& w : any.bits) w = ~0ULL;
            any.size = 256;
            addUnit(any);
            ++i;
            if (!repeat(1))
                return std::nullopt;
            continue;
        }
        if (c == '[') {
            // A set of ASCII bytes other than letters (whose case would count), without
            // negation, escapes or named classes.
            Unit set;
            ++i;
            if (i < n && p[i] == '^')
                return std::nullopt;
            bool first = true;
            while (i < n && (p[i] != ']' || first)) {
                first = false;
                const unsigned char lo = static_cast<unsigned char>(p[i]);
                if (lo == '\\' || lo == '[' || lo >= 0x80)
                    return std::nullopt;
                unsigned char hi = lo;
                if (i + 2 < n && p[i + 1] == '-' && p[i + 2] != ']') {
                    hi = static_cast<unsigned char>(p[i + 2]);
                    if (hi == '\\' || hi == '[' || hi >= 0x80 || hi < lo)
                        return std::nullopt;
                    i += 3;
                } else {
                    ++i;
                }
                for (unsigned b = lo; b <= hi; ++b) {
                    if (IsAsciiLetter(static_cast<unsigned char>(b)))
                        return std::nullopt;
                    set.Add(static_cast<unsigned char>(b));
                }
            }
            if (i >= n)
                return std::nullopt;
            ++i;  // the closing ']'
            addUnit(set);
            if (!repeat(1))
                return std::nullopt;
            continue;
        }
        if (c == '(') {
            if (inGroup || (i + 1 < n && p[i + 1] == '*'))
                return std::nullopt;
            ++i;
            if (i < n && p[i] == '?') {
                // Only a named group: (?<Name>...).
                if (i + 1 >= n || p[i + 1] != '<')
                    return std::nullopt;
                std::size_t k = i + 2;
                while (k < n && std::isalnum(static_cast<unsigned char>(p[k]))) ++k;
                if (k == i + 2 || k >= n || p[k] != '>')
                    return std::nullopt;
                i = k + 1;
            }
            chain.steps_.push_back({Step::kOpen, ++chain.groups_});
            inGroup = true;
            continue;
        }
        if (c == ')') {
            if (!inGroup)
                return std::nullopt;
            chain.steps_.push_back({Step::kClose, chain.groups_});
            inGroup = false;
            ++i;
            if (i < n && std::strchr("*+?{", p[i]))
                return std::nullopt;
            continue;
        }
        if (std::strchr("*+?{}|^$]", c))
            return std::nullopt;
        Unit u;
        u.Add(c);
        if (IsAsciiLetter(c))
            u.Add(static_cast<unsigned char>(c ^ 0x20));
        addUnit(u);
        ++i;
        if (!repeat(1))
            return std::nullopt;
    }
    if (inGroup)
        return std::nullopt;

    // The pieces: runs of units between gaps (group marks do not break a run).
    std::size_t gap = 0;
    bool inGap = true;
    for (const Step& step : chain.steps_) {
        if (step.kind == Step::kGap) {
            if (chain.pieces_.empty())
                return std::nullopt;  // a pattern that opens with a gap
            gap += step.value;
            inGap = true;
        } else if (step.kind == Step::kUnit) {
            if (inGap) {
                if (chain.pieces_.size() == kMaxPieces)
                    return std::nullopt;
                chain.pieces_.emplace_back();
                chain.pieces_.back().gapBefore = gap;
                gap = 0;
                inGap = false;
            }
            chain.pieces_.back().units.push_back(units[step.value]);
        }
    }
    if (chain.pieces_.empty())
        return std::nullopt;
    chain.trailingGap_ = inGap ? gap : 0;

    // In each run of gaps the last one takes what the others leave, up to the piece after
    // the run (none at the pattern's end).
    Step* lastGap = nullptr;
    int piece = 0;
    bool pieceOpen = false;
    for (Step& step : chain.steps_) {
        if (step.kind == Step::kGap) {
            lastGap = &step;
            pieceOpen = false;
        } else if (step.kind == Step::kUnit && !pieceOpen) {
            if (lastGap) {
                lastGap->lastGap = true;
                lastGap->nextPiece = piece;
                lastGap = nullptr;
            }
            ++piece;
            pieceOpen = true;
        }
    }
    if (lastGap)
        lastGap->lastGap = true;

    for (Piece& pc : chain.pieces_) {
        int best[2] = {1 << 30, 1 << 30};
        for (std::size_t k = 0; k < pc.units.size(); ++k) {
            const Unit& u = pc.units[k];
            Probe probe;
            probe.offset = k;
            if (u.size == 1) {
                probe.value = u.low;
            } else if (u.size == 2 && IsAsciiLetter(u.low) &&
                       u.Has(static_cast<unsigned char>(u.low ^ 0x20))) {
                probe.value = static_cast<unsigned char>(u.low | 0x20);
                probe.fold = 0x20;
            } else {
                continue;
            }
            const int rarity = MarkupFrequency(probe.value);
            if (rarity < best[0]) {
                best[1] = best[0];
                pc.probes[1] = pc.probes[0];
                best[0] = rarity;
                pc.probes[0] = probe;
            } else if (rarity < best[1]) {
                best[1] = rarity;
                pc.probes[1] = probe;
            }
        }
        pc.probed = best[0] < (1 << 30);
        if (best[1] == (1 << 30))
            pc.probes[1] = pc.probes[0];
    }
    return chain;
}

bool LiteralChain::Matches(const Piece& piece, std::string_view text, std::size_t at) const {
    const std::size_t m = piece.units.size();
    for (std::size_t k = 0; k < m; ++k)
        if (!piece.units[k].Has(static_cast<unsigned char>(text[at + k])))
            return false;
    return true;
}

std::size_t LiteralChain::Find(const Piece& piece, std::string_view text, std::size_t from) const {
    const std::size_t m = piece.units.size();
    const std::size_t n = text.size();
    if (from > n || n - from < m)
        return npos;
    const std::size_t lastStart = n - m;
    const unsigned char* d = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t at = from;
    if (!piece.probed) {
        for (; at <= lastStart; ++at)
            if (Matches(piece, text, at))
                return at;
        return npos;
    }
    const Probe& p0 = piece.probes[0];
    const Probe& p1 = piece.probes[1];
#if defined(__SSE2__)
    // Sixteen places at a time: where both probes hold, the piece is compared whole.
    const __m128i fold0 = _mm_set1_epi8(static_cast<char>(p0.fold));
    const __m128i value0 = _mm_set1_epi8(static_cast<char>(p0.value));
    const __m128i fold1 = _mm_set1_epi8(static_cast<char>(p1.fold));
    const __m128i value1 = _mm_set1_epi8(static_cast<char>(p1.value));
    for (; at <= lastStart && lastStart - at >= 15; at += 16) {
        // Both loads end before the text does: at + 15 + offset <= lastStart + offset < n.
        const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at + p0.offset));
        const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at + p1.offset));
        const __m128i both = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(b0, fold0), value0),
                                           _mm_cmpeq_epi8(_mm_or_si128(b1, fold1), value1));
        for (unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(both)); bits != 0;
             bits &= bits - 1) {
            const std::size_t candidate = at + static_cast<std::size_t>(__builtin_ctz(bits));
            if (Matches(piece, text, candidate))
                return candidate;
        }
    }
#endif
    for (; at <= lastStart; ++at)
        if ((d[at + p0.offset] | p0.fold) == p0.value &&
            (d[at + p1.offset] | p1.fold) == p1.value && Matches(piece, text, at))
            return at;
    return npos;
}

std::size_t LiteralChain::FindStart(std::string_view text, std::size_t from,
                                    GbkCharStarts& starts) const {
    std::size_t start = starts.AtOrAfter(from);
    for (;;) {
        const std::size_t at = Find(pieces_[0], text, start);
        if (at == npos)
            return npos;
        const std::size_t charStart = starts.AtOrAfter(at);
        if (charStart == at)
            return at;
        start = charStart;  // it began on a second byte: look again past it
    }
}

bool LiteralChain::Search(std::string_view text, std::size_t from, GbkCharStarts& starts,
                          std::vector<Span>& groups) const {
    std::size_t at[kMaxPieces];
    // Later pieces may stand anywhere, as in the engine, which knows nothing of characters.
    at[0] = FindStart(text, from, starts);
    if (at[0] == npos)
        return false;
    std::size_t end = at[0] + pieces_[0].units.size();
    for (std::size_t k = 1; k < pieces_.size(); ++k) {
        at[k] = Find(pieces_[k], text, end + pieces_[k].gapBefore);
        if (at[k] == npos)
            return false;
        end = at[k] + pieces_[k].units.size();
    }
    if (text.size() - end < trailingGap_)
        return false;

    // Place the groups by walking the pattern over the places found.
    groups.assign(GroupCount(), Span{npos, npos});
    std::size_t pos = at[0];
    for (const Step& step : steps_) {
        switch (step.kind) {
            case Step::kUnit:
                ++pos;
                break;
            case Step::kGap:
                if (!step.lastGap)
                    pos += step.value;
                else
                    pos = step.nextPiece >= 0 ? at[step.nextPiece] : pos + step.value;
                break;
            case Step::kOpen:
                groups[step.value].begin = pos;
                break;
            case Step::kClose:
                groups[step.value].end = pos;
                break;
        }
    }
    groups[0] = Span{at[0], pos};
    return true;
}

}  // namespace vt
