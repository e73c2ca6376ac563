#include "base/regex_ops.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <locale>

#include "base/gbk_search.h"
#include "base/text.h"

namespace vt {
namespace {

// ASCII letters only: a byte of a GBK character never changes case (as in the classic
// locale the patterns are compiled in).
char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

void AppendHexByte(std::string& out, unsigned char b) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", b);
    out += buf;
}

// A double-byte character of the pattern as a case-sensitive literal. Written as
// hex escapes so a second byte such as '\\' or ']' is not read as syntax, and kept out
// of case folding so a second byte 'A' does not also match 'a' (another character).
void AppendLiteralChar(std::string& out, const std::string& p, std::size_t i) {
    out += "(?-i:";
    AppendHexByte(out, static_cast<unsigned char>(p[i]));
    AppendHexByte(out, static_cast<unsigned char>(p[i + 1]));
    out += ')';
}

// Rewrites the non-ASCII bytes of a pattern into escapes; everything ASCII stays as
// written. Inside a character set every byte stays a member of its own.
std::string PreparePattern(const std::string& p) {
    std::string out;
    out.reserve(p.size() + 16);
    const std::size_t n = p.size();
    std::size_t i = 0;
    bool inClass = false;
    bool inQuote = false;  // between \Q and \E
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c >= 0x80) {
            const std::size_t width = GbkCharWidth(p, i);
            if (inClass) {
                for (std::size_t k = 0; k < width; ++k)
                    AppendHexByte(out, static_cast<unsigned char>(p[i + k]));
            } else {
                if (inQuote)
                    out += "\\E";
                if (width == 2)
                    AppendLiteralChar(out, p, i);
                else
                    AppendHexByte(out, c);
                if (inQuote)
                    out += "\\Q";
            }
            i += width;
            continue;
        }
        if (inQuote) {
            if (c == '\\' && i + 1 < n && p[i + 1] == 'E')
                inQuote = false;
            out += p[i++];
            continue;
        }
        if (c == '\\') {
            if (i + 1 < n && static_cast<unsigned char>(p[i + 1]) >= 0x80) {
                ++i;  // an escaped non-ASCII character is that character
                continue;
            }
            out += p[i++];
            if (i < n) {
                if (!inClass && p[i] == 'Q')
                    inQuote = true;
                out += p[i++];
            }
            continue;
        }
        if (inClass) {
            if (c == '[' && i + 1 < n && (p[i + 1] == ':' || p[i + 1] == '.' || p[i + 1] == '=')) {
                // [:alpha:] and the like, copied whole
                const char close[3] = {p[i + 1], ']', '\0'};
                const std::size_t end = p.find(close, i + 2);
                if (end != std::string::npos) {
                    out.append(p, i, end + 2 - i);
                    i = end + 2;
                    continue;
                }
            }
            if (c == ']')
                inClass = false;
            out += p[i++];
            continue;
        }
        if (c == '[') {
            inClass = true;
            out += p[i++];
            if (i < n && p[i] == '^')
                out += p[i++];
            if (i < n && p[i] == ']')
                out += p[i++];  // a leading ']' is a member
            continue;
        }
        if (c == '(' && p.compare(i, 3, "(?#") == 0) {
            const std::size_t end = p.find(')', i);
            const std::size_t stop = end == std::string::npos ? n : end + 1;
            out.append(p, i, stop - i);
            i = stop;
            continue;
        }
        out += p[i++];
    }
    return out;
}

// Bytes of a pattern that cannot be literal text of their own.
bool IsSyntax(char c) {
    for (const char* s = "\\.[](){}*+?|^$"; *s; ++s)
        if (c == *s)
            return true;
    return false;
}

// Where the groups that open the pattern close, innermost first, after checking that the
// pattern has no alternation outside a set; empty result and false when it has one.
bool LeadingGroupCloses(const std::string& p, int opened, std::vector<std::size_t>& closes) {
    const std::size_t n = p.size();
    bool inClass = false;
    int depth = 0;
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c >= 0x80) {
            i += GbkCharWidth(p, i);
            continue;
        }
        if (c == '\\') {
            i += 1 + (i + 1 < n ? GbkCharWidth(p, i + 1) : 0);
            continue;
        }
        if (inClass) {
            inClass = c != ']';
            ++i;
            continue;
        }
        if (c == '[') {
            inClass = true;
            ++i;
            if (i < n && p[i] == '^')
                ++i;
            if (i < n && p[i] == ']')
                ++i;  // a leading ']' is a member
            continue;
        }
        if (c == '|')
            return false;
        if (c == '(')
            ++depth;
        if (c == ')') {
            --depth;
            if (depth < opened && static_cast<int>(closes.size()) < opened)
                closes.push_back(i);
        }
        ++i;
    }
    return true;
}

// The ASCII text every match of the pattern begins with, in lower case; empty when the
// pattern does not promise one (alternation, look-behind, a leading set or escape).
// Leading plain groups are looked into as long as they cannot be skipped.
std::string LiteralPrefix(const std::string& p) {
    if (p.find("(?<=") != std::string::npos || p.find("(?<!") != std::string::npos ||
        p.find("\\G") != std::string::npos)
        return {};
    const std::size_t n = p.size();
    std::size_t i = 0;
    int opened = 0;
    while (i < n && p[i] == '(') {
        if (p.compare(i, 3, "(?:") == 0) {
            i += 3;
        } else if (p.compare(i, 3, "(?<") == 0 && i + 3 < n &&
                   std::isalnum(static_cast<unsigned char>(p[i + 3]))) {
            const std::size_t close = p.find('>', i);
            if (close == std::string::npos)
                return {};
            i = close + 1;  // a named group
        } else if (i + 1 < n && p[i + 1] != '?') {
            ++i;
        } else {
            return {};
        }
        ++opened;
    }
    std::string prefix;
    for (; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c >= 0x80 || IsSyntax(static_cast<char>(c)))
            break;
        prefix += static_cast<char>(FoldAscii(static_cast<char>(c)));
    }
    // A quantifier that may leave out the last letter: that letter is not promised.
    if (i < n && (p[i] == '*' || p[i] == '?' || p[i] == '{') && !prefix.empty())
        prefix.pop_back();
    std::vector<std::size_t> closes;
    if (prefix.empty() || !LeadingGroupCloses(p, opened, closes) ||
        static_cast<int>(closes.size()) < opened)
        return {};
    for (std::size_t close : closes)
        if (close + 1 < n && (p[close + 1] == '*' || p[close + 1] == '?' || p[close + 1] == '{'))
            return {};  // the group itself may be left out
    return prefix;
}

using Span = LiteralChain::Span;

// The leftmost match of an engine pattern at or after from that starts on a character.
// base is where the searched text begins (for ^, \b and look-behind). prefix: what every
// match begins with (may be null); no match can start before its next occurrence, so the
// matcher starts there. When the matcher gives up on a text (too complex, out of memory)
// this counts as no further match.
bool EngineSearch(const std::string& text, std::size_t from, std::size_t base, const Regex& re,
                  const LiteralChain* prefix, GbkCharStarts& starts, boost::smatch& m) {
    std::size_t start = starts.AtOrAfter(from);
    try {
        while (start <= text.size()) {
            const std::size_t candidate = prefix ? prefix->FindStart(text, start, starts) : start;
            if (candidate == std::string::npos)
                return false;
            if (!boost::regex_search(text.begin() + candidate, text.end(), m, re,
                                     boost::match_default, text.begin() + base))
                return false;
            const std::size_t at = m[0].first - text.begin();
            const std::size_t charStart = starts.AtOrAfter(at);
            if (charStart == at)
                return true;
            start = charStart;  // the match began on a second byte: look again past it
        }
    } catch (const std::exception&) {
    }
    return false;
}

void SpansOf(const std::string& text, const boost::smatch& m, std::vector<Span>& spans) {
    spans.resize(m.size());
    for (std::size_t g = 0; g < m.size(); ++g)
        spans[g] = m[g].matched ? Span{static_cast<std::size_t>(m[g].first - text.begin()),
                                       static_cast<std::size_t>(m[g].second - text.begin())}
                                : Span{std::string::npos, std::string::npos};
}

// One pattern's searches over one text, whichever way the pattern is matched.
class Searcher {
public:
    // withEngine: every match also as the engine's, for formatting a replacement (a chain
    // is then compiled for the engine on the spot).
    Searcher(const std::string& text, const Pattern& pattern, bool withEngine = false)
        : text_(text), starts_(text) {
        if (withEngine && pattern.chain()) {
            own_ = CompileRegex(pattern.source());
            re_ = own_ ? &*own_ : nullptr;
        } else {
            chain_ = pattern.chain();
            re_ = pattern.regex();
            prefix_ = pattern.prefix();
        }
    }

    // The leftmost match at or after from on a character start, into groups(); base as
    // for EngineSearch.
    bool Next(std::size_t from, std::size_t base) {
        if (chain_)
            return chain_->Search(text_, from, starts_, spans_);
        if (!re_ || !EngineSearch(text_, from, base, *re_, prefix_, starts_, m_))
            return false;
        SpansOf(text_, m_, spans_);
        return true;
    }
    MatchGroups groups() const { return MatchGroups(text_, spans_); }
    const Span& whole() const { return spans_[0]; }
    // The last match as the engine's (only with withEngine).
    const boost::smatch& engineMatch() const { return m_; }
    GbkCharStarts& starts() { return starts_; }

private:
    const std::string& text_;
    const LiteralChain* chain_ = nullptr;
    const Regex* re_ = nullptr;
    const LiteralChain* prefix_ = nullptr;
    std::optional<Regex> own_;
    GbkCharStarts starts_;
    std::vector<Span> spans_;
    boost::smatch m_;
};

// Visits the non-empty groups 1..n of every match; visit returns false to stop.
template <typename Visit>
void ForEachGroup(const std::string& text, const Pattern& pattern, Visit visit) {
    ForEachMatch(text, pattern, [&](const MatchGroups& m) {
        for (std::size_t g = 1; g < m.size(); ++g) {
            if (m.length(g) > 0 && !visit(m.view(g)))
                return false;
        }
        return true;
    });
}

}  // namespace

std::optional<Regex> CompileRegex(const std::string& pattern) {
    try {
        Regex re;
        // The classic locale folds only ASCII letters; a byte of a GBK character never
        // changes case.
        re.imbue(std::locale::classic());
        re.assign(PreparePattern(pattern), boost::regex::perl | boost::regex::icase |
                                               boost::regex::mod_s | boost::regex::no_mod_m);
        return re;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void ForEachMatch(const std::string& text, const Regex& re,
                  const std::function<bool(const boost::smatch&)>& visit) {
    GbkCharStarts starts(text);
    boost::smatch m;
    std::size_t rest = 0;
    while (rest <= text.size() && EngineSearch(text, rest, rest, re, nullptr, starts, m)) {
        if (!visit(m))
            return;
        const std::size_t end = m[0].second - text.begin();
        if (m[0].length() > 0)
            rest = end;
        else
            rest = end < text.size() ? starts.AtOrAfter(end + 1) : text.size() + 1;
    }
}

void ForEachMatch(const std::string& text, const Pattern& pattern,
                  const std::function<bool(const MatchGroups&)>& visit) {
    if (!pattern.valid())
        return;
    Searcher search(text, pattern);
    std::size_t rest = 0;
    while (rest <= text.size() && search.Next(rest, rest)) {
        if (!visit(search.groups()))
            return;
        const Span whole = search.whole();
        if (whole.end > whole.begin)
            rest = whole.end;
        else
            rest = whole.end < text.size() ? search.starts().AtOrAfter(whole.end + 1)
                                           : text.size() + 1;
    }
}

Pattern::Pattern(const std::string& pattern)
    : source_(pattern), chain_(LiteralChain::Parse(pattern)) {
    if (chain_)
        return;
    re_ = CompileRegex(pattern);
    if (!re_)
        return;
    const std::string prefix = LiteralPrefix(pattern);
    if (!prefix.empty())
        prefix_ = LiteralChain::Parse(prefix);
}

std::string_view RegexFirstView(const std::string& text, const Pattern& pattern) {
    std::string_view first;
    ForEachGroup(text, pattern, [&](std::string_view group) {
        first = group;
        return false;
    });
    return first;
}

std::string RegexFirst(const std::string& text, const Pattern& pattern) {
    return std::string(RegexFirstView(text, pattern));
}

std::string RegexAll(const std::string& text, const Pattern& pattern) {
    std::string all;
    ForEachGroup(text, pattern, [&](std::string_view group) {
        all += group;
        all += "\r\n";
        return true;
    });
    return all;
}

std::optional<std::vector<std::string>> RegexList(const std::string& text, const Pattern& pattern) {
    if (text.empty())
        return std::nullopt;
    std::vector<std::string> list;
    ForEachGroup(text, pattern, [&](std::string_view group) {
        list.emplace_back(group);
        return true;
    });
    return list;
}

std::string RegexReplace(const std::string& text, const Pattern& pattern,
                         const std::string& replacement) {
    if (!pattern.valid())
        return text;
    // Without '$' or '\\' a Perl-style replacement is its own text.
    const bool formatted = replacement.find_first_of("$\\") != std::string::npos;
    Searcher search(text, pattern, formatted);
    std::string out;
    std::size_t copied = 0;  // text before this is in out
    std::size_t from = 0;
    bool replaced = false;
    while (from <= text.size() && search.Next(from, 0)) {
        const std::size_t begin = search.whole().begin;
        const std::size_t end = search.whole().end;
        if (!replaced)
            out.reserve(text.size());
        replaced = true;
        out.append(text, copied, begin - copied);
        if (formatted)
            out += search.engineMatch().format(replacement, boost::format_perl);
        else
            out += replacement;
        copied = end;
        if (end > begin) {
            from = end;
        } else if (end < text.size()) {
            // An empty match: keep the next character and search after it.
            from = search.starts().AtOrAfter(end + 1);
            out.append(text, end, from - end);
            copied = from;
        } else {
            break;
        }
    }
    if (!replaced)
        return text;
    out.append(text, copied, std::string::npos);
    return out;
}

std::string RegexFirst(const std::string& text, const std::string& pattern) {
    return RegexFirst(text, Pattern(pattern));
}

std::string RegexAll(const std::string& text, const std::string& pattern) {
    return RegexAll(text, Pattern(pattern));
}

std::optional<std::vector<std::string>> RegexList(const std::string& text,
                                                  const std::string& pattern) {
    return RegexList(text, Pattern(pattern));
}

std::string RegexReplace(const std::string& text, const std::string& pattern,
                         const std::string& replacement) {
    return RegexReplace(text, Pattern(pattern), replacement);
}

}  // namespace vt
