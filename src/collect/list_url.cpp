#include "collect/list_url.h"

namespace vt {
namespace {

const char* kFilterKeys[kListFilters] = {"{VTZY}",  "{ZKYouHuo}", "{CuXiao}",
                                         "{Moble}", "{WeiPin}",   "{YuShou}"};

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty())
        return;
    std::size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

}  // namespace

std::string BuildListUrl(const std::string& address, const std::string& sortLabel,
                         const ListFilterSet& filters, const std::string& categoryHost) {
    const SortOrder* sort = FindSortOrder(sortLabel);
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
