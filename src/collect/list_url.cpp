#include "collect/list_url.h"

namespace vt {
namespace {

struct SortOrder {
    const char* label;
    const char* queryToken;
    const char* pathToken;
};

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

const char* kFilterKeys[kListFilters] = {"{VTZY}",  "{ZKYouHuo}", "{CuXiao}",
                                         "{Moble}", "{WeiPin}",   "{YuShou}"};
const char* kFilterCaptions[kListFilters] = {"Vantrell自营", "只看有货", "促销",
                                             "手机专享价",   "尾品汇",   "预售"};

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty())
        return;
    std::size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

const SortOrder* FindSort(const std::string& label) {
    for (const auto& s : kSorts)
        if (label == s.label)
            return &s;
    return nullptr;
}

}  // namespace

const std::array<const char*, kSortOrders>& SortLabels() {
    static const std::array<const char*, kSortOrders> labels = [] {
        std::array<const char*, kSortOrders> out{};
        for (int i = 0; i < kSortOrders; ++i) out[i] = kSorts[i].label;
        return out;
    }();
    return labels;
}

const char* ListFilterCaption(ListFilter filter) {
    return kFilterCaptions[static_cast<int>(filter)];
}

std::string BuildListUrl(const std::string& address, const std::string& sortLabel,
                         const ListFilterSet& filters, const std::string& categoryHost) {
    const SortOrder* sort = FindSort(sortLabel);
    std::string url = address;
    bool pathForm =
        !categoryHost.empty() && address.find(categoryHost + "/cp") != std::string::npos;
    if (pathForm) {
        ReplaceAll(url, ".html", "");
        if (sort)
            url += sort->pathToken;
        url += "-f0%7C{CuXiao}%7C{ZKYouHuo}%7C0%7C{YuShou}%7C{VTZY}%7C0%7C0%7C0.html";
    } else {
        if (sort)
            url += sort->queryToken;
        url +=
            "&filter=0%7C{CuXiao}%7C{ZKYouHuo}%7C{WeiPin}%7C{YuShou}%7C{VTZY}%7C{Moble}%7C0%7C0%"
            "7C0%7C0%7C";
    }
    for (int i = 0; i < kListFilters; ++i) ReplaceAll(url, kFilterKeys[i], filters[i] ? "1" : "0");
    return url;
}

std::string InsertPageMarker(const std::string& address, int page) {
    std::string marker = "pg" + std::to_string(page) + "-";
    std::size_t cp = address.find("cp");
    if (cp == std::string::npos)
        return marker + address;
    return address.substr(0, cp) + marker + address.substr(cp);
}

}  // namespace vt
