// Whether a text read from a product page has the form of an ISBN. The page is untrusted:
// only a text that passes goes into the publish form, the picture upload's file name or a
// marketplace query, where a quote, "&" or line break could change what is sent.
#pragma once

#include <string>
#include <string_view>

namespace vt {

// True for 13 digits, or 10 digits of which the last may be "X" or "x"; single hyphens
// may stand between digits ("978-7-111-21382-6"). No check digit is verified: the pages
// carry what the publisher printed.
bool IsWellFormedIsbn(std::string_view text);

// The text when it is a well-formed ISBN, otherwise empty (treated as a book without one).
std::string CheckedIsbn(const std::string& text);

// The first well-formed ISBN of a text that may list several, separated by white space,
// ",", ";" or "/" (a page that lists the ISBNs of a set); empty when none is.
std::string FirstIsbnOf(std::string_view text);

}  // namespace vt
