// Cutting the comma lists the seller types (forbidden words, marks, publishers).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vt {

// Separators at both ends are dropped and empty pieces between adjacent separators are
// skipped; pieces keep their spaces and line breaks. An empty text (or one made only of
// separators) gives one empty piece. The text is GBK: a separator byte that is the
// second byte of a double-byte character does not cut.
std::vector<std::string> SplitList(std::string_view text, char sep);

}  // namespace vt
