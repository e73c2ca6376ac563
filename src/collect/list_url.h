// List-page addresses of the bookstore with the chosen sort order and list filters, in
// the query form (search addresses, category paths) and the path form (absolute
// category addresses).
#pragma once

#include <string>

#include "core/list_choices.h"

namespace vt {

// Adds sort order and filters to a list address. The path form is chosen when the
// address contains categoryHost followed by "/cp"; an unknown sort label adds no token.
std::string BuildListUrl(const std::string& address, const std::string& sortLabel,
                         const ListFilterSet& filters, const std::string& categoryHost);

// Inserts "pg<n>-" in front of the first "cp" of a category address (in front of the
// whole address when it has none).
std::string InsertPageMarker(const std::string& address, int page);

}  // namespace vt
