#include "base/regex_ops.h"

#include <cstdio>
#include <locale>

#include "base/text.h"

namespace vt {
namespace {

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

// The leftmost match at or after from that starts on a character. base is where the
// searched text begins (for ^, \b and look-behind). When the matcher gives up on a text
// (too complex, out of memory) this counts as no further match.
bool SearchFrom(const std::string& text, std::size_t from, std::size_t base, const Regex& re,
                CharStarts& starts, boost::smatch& m) {
    std::size_t start = starts.AtOrAfter(from);
    try {
        while (start <= text.size()) {
            if (!boost::regex_search(text.begin() + start, text.end(), m, re, boost::match_default,
                                     text.begin() + base))
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

// Visits the non-empty groups 1..n of every match; visit returns false to stop.
void ForEachGroup(const std::string& text, const Regex* re,
                  const std::function<bool(const std::string&)>& visit) {
    if (!re)
        return;
    ForEachMatch(text, *re, [&](const boost::smatch& m) {
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
    CharStarts starts(text);
    boost::smatch m;
    std::size_t rest = 0;
    while (rest <= text.size() && SearchFrom(text, rest, rest, re, starts, m)) {
        if (!visit(m))
            return;
        const std::size_t end = m[0].second - text.begin();
        if (m[0].length() > 0)
            rest = end;
        else
            rest = end < text.size() ? starts.AtOrAfter(end + 1) : text.size() + 1;
    }
}

std::string RegexFirst(const std::string& text, const Pattern& pattern) {
    std::string first;
    ForEachGroup(text, pattern.get(), [&](const std::string& group) {
        first = group;
        return false;
    });
    return first;
}

std::string RegexAll(const std::string& text, const Pattern& pattern) {
    std::string all;
    ForEachGroup(text, pattern.get(), [&](const std::string& group) {
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
    ForEachGroup(text, pattern.get(), [&](const std::string& group) {
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
    while (from <= text.size() && SearchFrom(text, from, 0, *re, starts, m)) {
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
