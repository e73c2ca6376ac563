// The pattern operations every page goes through, with any pattern and any text: a
// pattern that does not compile, or one that explodes while matching, must give an empty
// result (or the unchanged text) and never throw.
#include "base/regex_ops.h"

#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace vt::fuzz {

int FuzzRegexOps(const std::uint8_t* data, std::size_t size) {
    const auto parts = SplitInput(data, size, 3);
    const std::string& pattern = parts[0];
    const std::string& text = parts[1];
    const std::string& replacement = parts[2];

    RegexFirst(text, pattern);
    RegexAll(text, pattern);
    if (const auto list = RegexList(text, pattern)) {
        for (const std::string& entry : *list)
            Require(!entry.empty(), "RegexList gives only non-empty groups");
    } else {
        Require(text.empty(), "RegexList gives no list only for an empty text");
    }
    const std::string replaced = RegexReplace(text, pattern, replacement);
    if (!CompileRegex(pattern))
        Require(replaced == text, "an invalid pattern leaves the text unchanged");
    return 0;
}

}  // namespace vt::fuzz
