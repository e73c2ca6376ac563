// List-page addresses of the bookstore: the eight sort orders and the six list filters,
// in the query form (search addresses, category paths) and the path form (absolute
// category addresses).
#pragma once

#include <array>
#include <string>

namespace vt {

inline constexpr int kSortOrders = 8;
// The sort labels in the order the drop-down lists them; the first is the default.
const std::array<const char*, kSortOrders>& SortLabels();

enum class ListFilter : int { VTZY = 0, ZKYouHuo, CuXiao, Moble, WeiPin, YuShou };
inline constexpr int kListFilters = 6;
// Check-box caption of a filter ("Vantrell自营", "只看有货" …).
const char* ListFilterCaption(ListFilter filter);

// Which filter boxes are checked, indexed by ListFilter.
using ListFilterSet = std::array<bool, kListFilters>;

// Adds sort order and filters to a list address. The path form is chosen when the
// address contains categoryHost followed by "/cp"; an unknown sort label adds no token.
std::string BuildListUrl(const std::string& address, const std::string& sortLabel,
                         const ListFilterSet& filters, const std::string& categoryHost);

// Inserts "pg<n>-" in front of the first "cp" of a category address (in front of the
// whole address when it has none).
std::string InsertPageMarker(const std::string& address, int page);

}  // namespace vt
