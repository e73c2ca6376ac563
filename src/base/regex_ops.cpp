#include "base/regex_ops.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <locale>

#include "base/text.h"

namespace vt {
namespace {

// ASCII letters only: a byte of a GBK character never changes case (as in the classic
// locale the patterns are compiled in).
char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
char UnfoldAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

bool IsGbkTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

// Bytes taken by the character starting at i: 2 for a lead byte with a valid second
// byte, otherwise 1 (a stray byte is a character of its own).
std::size_t CharWidth(const std::string& s, std::size_t i) {
    if (i + 1 < s.size() && IsGbkLeadByte(static_cast<unsigned char>(s[i])) &&
        IsGbkTrailByte(static_cast<unsigned char>(s[i + 1])))
        return 2;
    return 1;
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
            const std::size_t width = CharWidth(p, i);
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

// Where characters start in one text. A byte that cannot lead a double-byte character
// always ends a character, so whether pos starts one depends only on the run of lead
// bytes just before it: an even run pairs up. The run is read back no further than the
// last start found, so a text is never rescanned from its beginning.
class CharStarts {
public:
    explicit CharStarts(const std::string& text) : text_(text) {}
    // The first character start at or after pos (pos itself past the end).
    std::size_t AtOrAfter(std::size_t pos) {
        if (pos >= text_.size())
            return pos;
        if (pos < known_) {
            // Not expected (positions do not decrease), but stay exact.
            known_ = 0;
        }
        std::size_t i = pos;
        while (i > known_ && IsGbkLeadByte(static_cast<unsigned char>(text_[i - 1]))) --i;
        // i is a start: the text's beginning, the last start found, or after a non-lead byte.
        while (i < pos) i += CharWidth(text_, i);
        known_ = i;
        return i;
    }

private:
    const std::string& text_;
    std::size_t known_ = 0;  // a character start at or before every position asked
};

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
            i += CharWidth(p, i);
            continue;
        }
        if (c == '\\') {
            i += 1 + (i + 1 < n ? CharWidth(p, i + 1) : 0);
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

// How often a byte stands in a page's markup, roughly: the search looks for the prefix's
// rarest byte first, so that it stops at few places that are not the prefix.
int MarkupFrequency(char c) {
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
    if (c >= 'a' && c <= 'z')
        return std::strchr("etaoinsrlcdhp", c) ? 9 : 5;
    return 3;
}

// The first position at or after from where the (lower-case ASCII) prefix stands, letters
// in either case; npos when it does not occur.
std::size_t FindFolded(const std::string& text, std::size_t from, const std::string& prefix) {
    const std::size_t m = prefix.size();
    const std::size_t n = text.size();
    if (m == 0)
        return from;
    if (m > n || from > n - m)
        return std::string::npos;
    std::size_t anchor = 0;
    for (std::size_t k = 1; k < m; ++k)
        if (MarkupFrequency(prefix[k]) < MarkupFrequency(prefix[anchor]))
            anchor = k;
    const char lower = prefix[anchor];
    const char upper = UnfoldAscii(lower);
    const char* d = text.data();
    const std::size_t last = n - m + anchor;  // the last place the anchor byte can stand
    // The next anchor byte of each case at or after at; npos when there is none.
    auto next = [&](char c, std::size_t at) {
        if (at > last)
            return std::string::npos;
        const void* hit = std::memchr(d + at, c, last + 1 - at);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - d)
                   : std::string::npos;
    };
    std::size_t nextLower = next(lower, from + anchor);
    std::size_t nextUpper = lower == upper ? std::string::npos : next(upper, from + anchor);
    for (;;) {
        const std::size_t hit = std::min(nextLower, nextUpper);
        if (hit == std::string::npos)
            return hit;
        const std::size_t at = hit - anchor;
        std::size_t k = 0;
        while (k < m && FoldAscii(d[at + k]) == prefix[k]) ++k;
        if (k == m)
            return at;
        if (hit == nextLower)
            nextLower = next(lower, hit + 1);
        else
            nextUpper = next(upper, hit + 1);
    }
}

// The leftmost match at or after from that starts on a character. base is where the
// searched text begins (for ^, \b and look-behind). prefix: what every match begins with
// (may be empty); no match can start before its next occurrence, so the matcher starts
// there. When the matcher gives up on a text (too complex, out of memory) this counts as
// no further match.
bool SearchFrom(const std::string& text, std::size_t from, std::size_t base, const Regex& re,
                const std::string& prefix, CharStarts& starts, boost::smatch& m) {
    std::size_t start = starts.AtOrAfter(from);
    try {
        while (start <= text.size()) {
            const std::size_t candidate = FindFolded(text, start, prefix);
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

void ForEachMatchFrom(const std::string& text, const Regex& re, const std::string& prefix,
                      const std::function<bool(const boost::smatch&)>& visit) {
    CharStarts starts(text);
    boost::smatch m;
    std::size_t rest = 0;
    while (rest <= text.size() && SearchFrom(text, rest, rest, re, prefix, starts, m)) {
        if (!visit(m))
            return;
        const std::size_t end = m[0].second - text.begin();
        if (m[0].length() > 0)
            rest = end;
        else
            rest = end < text.size() ? starts.AtOrAfter(end + 1) : text.size() + 1;
    }
}

// Visits the non-empty groups 1..n of every match; visit returns false to stop.
void ForEachGroup(const std::string& text, const Pattern& pattern,
                  const std::function<bool(const std::string&)>& visit) {
    ForEachMatch(text, pattern, [&](const boost::smatch& m) {
        for (std::size_t g = 1; g < m.size(); ++g) {
            if (m[g].matched && m[g].length() > 0 && !visit(m[g].str()))
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
    ForEachMatchFrom(text, re, std::string(), visit);
}

void ForEachMatch(const std::string& text, const Pattern& pattern,
                  const std::function<bool(const boost::smatch&)>& visit) {
    if (const Regex* re = pattern.get())
        ForEachMatchFrom(text, *re, pattern.prefix(), visit);
}

Pattern::Pattern(const std::string& pattern) : re_(CompileRegex(pattern)) {
    if (re_)
        prefix_ = LiteralPrefix(pattern);
}

std::string RegexFirst(const std::string& text, const Pattern& pattern) {
    std::string first;
    ForEachGroup(text, pattern, [&](const std::string& group) {
        first = group;
        return false;
    });
    return first;
}

std::string RegexAll(const std::string& text, const Pattern& pattern) {
    std::string all;
    ForEachGroup(text, pattern, [&](const std::string& group) {
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
    ForEachGroup(text, pattern, [&](const std::string& group) {
        list.push_back(group);
        return true;
    });
    return list;
}

std::string RegexReplace(const std::string& text, const Pattern& pattern,
                         const std::string& replacement) {
    const Regex* re = pattern.get();
    if (!re)
        return text;
    CharStarts starts(text);
    boost::smatch m;
    std::string out;
    std::size_t copied = 0;  // text before this is in out
    std::size_t from = 0;
    while (from <= text.size() && SearchFrom(text, from, 0, *re, pattern.prefix(), starts, m)) {
        const std::size_t begin = m[0].first - text.begin();
        const std::size_t end = m[0].second - text.begin();
        out.append(text, copied, begin - copied);
        out += m.format(replacement, boost::format_perl);
        copied = end;
        if (end > begin) {
            from = end;
        } else if (end < text.size()) {
            // An empty match: keep the next character and search after it.
            from = starts.AtOrAfter(end + 1);
            out.append(text, end, from - end);
            copied = from;
        } else {
            break;
        }
    }
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
