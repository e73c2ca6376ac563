// What the collection panel offers for a list: the eight sort orders (each with the
// tokens it adds to a list address) and the six list filters.
#pragma once

#include <array>
#include <string>

namespace vt {

inline constexpr int kSortOrders = 8;

struct SortOrder {
    const char* label;
    const char* queryToken;  // added to a search or category query address
    const char* pathToken;   // added to an absolute category address
};

// The sort orders in the order the drop-down lists them; the first is the default.
const std::array<SortOrder, kSortOrders>& SortOrders();
const std::array<const char*, kSortOrders>& SortLabels();
// Null for a label that is none of the eight.
const SortOrder* FindSortOrder(const std::string& label);

enum class ListFilter : int { VTZY = 0, ZKYouHuo, CuXiao, Moble, WeiPin, YuShou };
inline constexpr int kListFilters = 6;
// Check-box caption of a filter ("Vantrell自营", "只看有货" …).
const char* ListFilterCaption(ListFilter filter);

// Which filter boxes are checked, indexed by ListFilter.
using ListFilterSet = std::array<bool, kListFilters>;

}  // namespace vt
