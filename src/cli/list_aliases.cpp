#include "cli/list_aliases.h"

#include "cli/cli_common.h"

namespace vt::cli {
namespace {

// In the order of the drop-down and of the filter boxes.
constexpr const char* kSortAliases[kSortOrders] = {"sales-desc",  "sales-asc", "date-desc",
                                                   "date-asc",    "price-asc", "price-desc",
                                                   "rating-desc", "rating-asc"};
constexpr const char* kFilterAliases[kListFilters] = {"own",    "in-stock",  "promotion",
                                                      "mobile", "clearance", "presale"};

}  // namespace

std::string SortLabelOf(const std::string& utf8) {
    const auto& labels = SortLabels();
    for (int i = 0; i < kSortOrders; ++i)
        if (utf8 == kSortAliases[i] || Gbk(utf8) == labels[i])
            return labels[i];
    return {};
}

bool FindFilter(const std::string& utf8, ListFilter& filter) {
    for (int i = 0; i < kListFilters; ++i) {
        auto f = static_cast<ListFilter>(i);
        if (utf8 == kFilterAliases[i] || Gbk(utf8) == ListFilterCaption(f)) {
            filter = f;
            return true;
        }
    }
    return false;
}

std::string SortChoices() {
    std::string text;
    for (int i = 0; i < kSortOrders; ++i)
        text += std::string(i ? ", " : "") + kSortAliases[i] + " (" + U8(SortLabels()[i]) + ")";
    return text;
}

std::string FilterChoices() {
    std::string text;
    for (int i = 0; i < kListFilters; ++i)
        text += std::string(i ? ", " : "") + kFilterAliases[i] + " (" +
                U8(ListFilterCaption(static_cast<ListFilter>(i))) + ")";
    return text;
}

}  // namespace vt::cli
