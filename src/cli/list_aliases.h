// The sort orders and list filters of the collection panel by their labels or by an
// ASCII alias, so that a script need not type Chinese; the help lists both.
#pragma once

#include <string>

#include "core/list_choices.h"

namespace vt::cli {

// The GBK label of a sort order given by label (UTF-8) or alias; empty when unknown.
std::string SortLabelOf(const std::string& utf8);
// The filter given by caption (UTF-8) or alias; false when unknown.
bool FindFilter(const std::string& utf8, ListFilter& filter);

// "sales-desc (销售由高到低), …" for help texts and error messages (UTF-8).
std::string SortChoices();
std::string FilterChoices();

}  // namespace vt::cli
