#include "base/clean_html.h"

#include <string_view>
#include <vector>

#include "base/regex_ops.h"

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

// Exact, case-sensitive texts; they only meet tags rebuilt from escaped text above.
constexpr Step kPlainSteps[] = {
    {"/r/n", ""}, {"<div .*?>", ""}, {"</div>", ""}, {"<br>", "   "}, {"<br />", "  "},
};

}  // namespace

std::string CleanHtml(const std::string& html) {
    std::string text = html;
    // Compiled once: every description cleans several sections.
    static const std::vector<Pattern> kCompiled = [] {
        std::vector<Pattern> compiled;
        for (const Step& step : kRegexSteps) compiled.emplace_back(step.pattern);
        return compiled;
    }();
    for (std::size_t i = 0; i < kCompiled.size(); ++i)
        text = RegexReplace(text, kCompiled[i], kRegexSteps[i].replacement);
    for (const Step& step : kPlainSteps) ReplaceAll(text, step.pattern, step.replacement);
    return text;
}

}  // namespace vt
