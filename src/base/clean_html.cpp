#include "base/clean_html.h"

#include <string_view>
#include <utility>
#include <vector>

#include "base/regex_ops.h"
#include "base/text.h"

namespace vt {
namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t copied = 0;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, copied)) {
        out.append(text, copied, at - copied);
        out += to;
        copied = at + from.size();
    }
    out.append(text, copied, std::string::npos);
    text = std::move(out);
}

struct Step {
    const char* pattern;
    const char* replacement;
};

// The order matters: entities decoded by later steps must not be seen by earlier ones,
// and "&amp;lt;" is meant to end as "<". The odd-looking sets such as [/r/n] and
// &#(/d+); are what the descriptions have always been cleaned with; keep them.
constexpr Step kRegexSteps[] = {
    {"<script[^>]*?>.*?</script>", ""},
    {"<(.[^>]*)>", "   "},
    {"([/r/n])[/s]+", ""},
    {"-->", ""},
    {"<!--.*", ""},
    {"&(quot|#34);", "/"},
    {"&(amp|#38);", "&"},
    {"&(lt|#60);", "<"},
    {"&(gt|#62);", ">"},
    {"&(nbsp|#160);", " "},
    {"&(iexcl|#161);", "/xa1"},
    {"&(cent|#162);", "/xa2"},
    {"&(pound|#163);", "/xa3"},
    {"&(copy|#169);", "/xa9"},
    {"&#(/d+);", ""},
};

// The markup steps of kRegexSteps, before its entity steps.
constexpr std::size_t kMarkupSteps = 5;

// The entities kRegexSteps decodes, with the same replacements.
struct Entity {
    std::string_view name;  // between "&" and ";"
    std::string_view text;
};
constexpr Entity kEntities[] = {
    {"quot", "/"},     {"#34", "/"},     {"amp", "&"},     {"#38", "&"},     {"lt", "<"},
    {"#60", "<"},      {"gt", ">"},      {"#62", ">"},     {"nbsp", " "},    {"#160", " "},
    {"iexcl", "/xa1"}, {"#161", "/xa1"}, {"cent", "/xa2"}, {"#162", "/xa2"}, {"pound", "/xa3"},
    {"#163", "/xa3"},  {"copy", "/xa9"}, {"#169", "/xa9"},
};

bool IsTabled(const std::string& text, std::size_t at) {
    for (const Entity& e : kEntities)
        if (text.compare(at + 1, e.name.size(), e.name) == 0 &&
            text.compare(at + 1 + e.name.size(), 1, ";") == 0)
            return true;
    return false;
}

// The character of "&#NNNNN;" or "&#xHHHH;" at text[at] (a BMP character other than
// U+0000), with the reference's length; 0 when there is none.
char16_t NumericReference(const std::string& text, std::size_t at, std::size_t& length) {
    if (text.compare(at, 2, "&#") != 0)
        return 0;
    std::size_t i = at + 2;
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex)
        ++i;
    const std::size_t start = i;
    unsigned long value = 0;
    for (; i < text.size() && i - start < 8; ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            break;
        value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
    }
    if (i == start || i >= text.size() || text[i] != ';' || value == 0 || value > 0xFFFF ||
        (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    length = i + 1 - at;
    return static_cast<char16_t>(value);
}

// One pass: a decoded "&" never starts another entity.
std::string DecodeEntitiesOnce(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool decoded = false;
        // "&#" then '/' or 'd' characters and ";" is dropped, as the "&#(/d+);" step does.
        if (text.compare(i, 2, "&#") == 0) {
            std::size_t end = text.find_first_not_of("/d", i + 2);
            if (end != std::string::npos && end > i + 2 && text[end] == ';') {
                i = end + 1;
                continue;
            }
        }
        if (text[i] == '&') {
            std::size_t length = 0;
            const char16_t unit = NumericReference(text, i, length);
            if (unit != 0 && !IsTabled(text, i)) {
                out += Utf16ToGbk(std::u16string(1, unit));
                i += length;
                continue;
            }
            for (const Entity& e : kEntities) {
                if (text.compare(i + 1, e.name.size(), e.name) == 0 &&
                    text.compare(i + 1 + e.name.size(), 1, ";") == 0) {
                    out += e.text;
                    i += e.name.size() + 2;
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded)
            out += text[i++];
    }
    return out;
}

// Exact, case-sensitive texts; they only meet tags rebuilt from escaped text above.
constexpr Step kPlainSteps[] = {
    {"/r/n", ""}, {"<div .*?>", ""}, {"</div>", ""}, {"<br>", "   "}, {"<br />", "  "},
};

// Compiled once: every description cleans several sections.
const std::vector<Pattern>& CompiledSteps() {
    static const std::vector<Pattern> kCompiled = [] {
        std::vector<Pattern> compiled;
        for (const Step& step : kRegexSteps) compiled.emplace_back(step.pattern);
        return compiled;
    }();
    return kCompiled;
}

}  // namespace

std::string CleanHtml(const std::string& html) {
    std::string text = html;
    const std::vector<Pattern>& kCompiled = CompiledSteps();
    for (std::size_t i = 0; i < kCompiled.size(); ++i)
        text = RegexReplace(text, kCompiled[i], kRegexSteps[i].replacement);
    for (const Step& step : kPlainSteps) ReplaceAll(text, step.pattern, step.replacement);
    return text;
}

std::string SectionText(const std::string& html) {
    std::string text = html;
    const std::vector<Pattern>& compiled = CompiledSteps();
    for (std::size_t i = 0; i < kMarkupSteps; ++i)
        text = RegexReplace(text, compiled[i], kRegexSteps[i].replacement);
    text = DecodeEntitiesOnce(text);
    // A break written as escaped text reads as the spaces it always became.
    for (const Step& step : kPlainSteps) ReplaceAll(text, step.pattern, step.replacement);
    return EscapeHtml(text);
}

std::string EscapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string UnescapeHtml(const std::string& text) {
    static constexpr std::pair<std::string_view, char> kEscapes[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool decoded = false;
        if (text[i] == '&') {
            for (const auto& [entity, c] : kEscapes) {
                if (text.compare(i, entity.size(), entity) == 0) {
                    out += c;
                    i += entity.size();
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded)
            out += text[i++];
    }
    return out;
}

}  // namespace vt
