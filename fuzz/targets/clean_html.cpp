// The HTML cleanup of a book's text sections, on any markup the bookstore might send.
#include "base/clean_html.h"

#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace vt::fuzz {

int FuzzCleanHtml(const std::uint8_t* data, std::size_t size) {
    const std::string html(reinterpret_cast<const char*>(data), size);
    const std::string text = CleanHtml(html);
    Require(CleanHtml(std::string()).empty(), "nothing cleans to nothing");
    (void)text;
    const std::string sectionText = SectionText(html);
    Require(sectionText.find_first_of("<>\"'") == std::string::npos,
            "a section's text carries no markup");
    return 0;
}

}  // namespace vt::fuzz
