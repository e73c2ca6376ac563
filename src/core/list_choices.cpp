#include "core/list_choices.h"

namespace vt {
namespace {

const std::array<SortOrder, kSortOrders> kSorts = {{
    {"销售由高到低", "&sort_type=sort_sale_amt_desc", "-srsort_sale_amt_desc"},
    {"销售由低到高", "&sort_type=sort_sale_amt_asc", "-srsort_sale_amt_asc"},
    {"出版时间由近到远", "&sort_type=sort_pubdate_desc", "-srsort_pubdate_desc"},
    {"出版时间由远到近", "&sort_type=sort_pubdate_asc", "-srsort_pubdate_asc"},
    {"价格由低到高", "&sort_type=sort_xlowprice_asc", "-srsort_xlowprice_asc"},
    {"价格由高到低", "&sort_type=sort_xlowprice_desc", "-srsort_xlowprice_desc"},
    {"好评由高到低", "&sort_type=sort_score_desc", "-srsort_score_desc"},
    {"好评由低到高", "&sort_type=sort_score_asc", "-srsort_score_asc"},
}};

const char* kFilterCaptions[kListFilters] = {"Vantrell自营", "只看有货", "促销",
                                             "手机专享价",   "尾品汇",   "预售"};

}  // namespace

const std::array<SortOrder, kSortOrders>& SortOrders() {
    return kSorts;
}

const std::array<const char*, kSortOrders>& SortLabels() {
    static const std::array<const char*, kSortOrders> labels = [] {
        std::array<const char*, kSortOrders> out{};
        for (int i = 0; i < kSortOrders; ++i) out[i] = kSorts[i].label;
        return out;
    }();
    return labels;
}

const SortOrder* FindSortOrder(const std::string& label) {
    for (const auto& s : kSorts)
        if (label == s.label)
            return &s;
    return nullptr;
}

const char* ListFilterCaption(ListFilter filter) {
    return kFilterCaptions[static_cast<int>(filter)];
}

}  // namespace vt
