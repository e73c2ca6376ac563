// HTML-to-text cleanup of a book's text section before it goes into the description.
#pragma once

#include <string>

namespace vt {

// Removes scripts, turns tags into three spaces, decodes a few entities and drops the
// leftovers. Line breaks are kept and spaces are not collapsed.
std::string CleanHtml(const std::string& html);

}  // namespace vt
