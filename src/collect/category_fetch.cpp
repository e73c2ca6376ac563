#include "collect/category_fetch.h"

#include "base/hosts.h"
#include "base/http_client.h"
#include "base/log.h"
#include "base/regex_ops.h"
#include "core/category_tree.h"
#include "core/context.h"

namespace vt {
namespace {

const char kTopMarker[] = "<h3>图书</h3>";
const char kTopBlock[] = "<h3>图书</h3>(.*?)<div id='openHide1' name=\"Xsqb\"";
const char kTopItem[] =
    "<span class=\"m\" name=\"C2\"></span>.*?<a.+?href=\"(?<URL>[^< ]*)\".*?title=\"(?<Text>.+?)\""
    ".*?</a>";
const char kBuiltInItem[] = "<a.+?href=\"(?<URL>[^< ]*)\".*?>(?<Text>.+?)</a>";

const char kSubMarker[] = "name=\"C1\">";
const char kSubBlock[] = "name=\"C1\">.+?</div>";
const char kSubItem[] = "<a.+?href=\"(?<URL>[^< ]*)\".*?title=\"(?<Text>.+?)\"";
const char kListBlock[] = "<ul id=.category_subcontent_list.>.+?</ul>";
const char kListItem[] = "<a.+?href=\"(?<URL>[^< ]*)\" title=\"(?<Text>.+?)\"";

// The top-level categories the program carries, as the home page once listed them.
const char kBuiltInList[] =
    "<li> <a href=\"/cp01.05.00.00.00.00.html\"> 文学 </a></li>"
    "<li> <a href=\"/cp01.41.00.00.00.00.html\"> 童书 </a></li>"
    "<li><a href=\"/cp01.03.00.00.00.00.html\"> 小说 </a></li>"
    "<li><a href=\"/cp01.43.00.00.00.00.html\"> 中小学教辅 </a></li>"
    "<li><a href=\"/cp01.47.00.00.00.00.html\"> 考试 </a></li>"
    "<li><a href=\"/cp01.01.00.00.00.00.html\"> 青春文学 </a></li>"
    "<li><a href=\"/cp01.36.00.00.00.00.html\"> 历史 </a></li>"
    "<li><a href=\"/cp01.07.00.00.00.00.html\"> 艺术 </a></li>"
    "<li><a href=\"/cp01.45.00.00.00.00.html\"> 外语 </a></li>"
    "<li><a href=\"/cp01.22.00.00.00.00.html\"> 管理 </a></li>"
    "<li><a href=\"/cp01.21.00.00.00.00.html\"> 成功/励志 </a></li>"
    "<li><a href=\"/cp01.28.00.00.00.00.html\"> 哲学/宗教 </a></li>"
    "<li><a href=\"/cp01.49.00.00.00.00.html\"> 教材 </a></li>"
    "<li><a href=\"/cp01.54.00.00.00.00.html\"> 计算机/网络 </a></li>"
    "<li><a href=\"/cp01.56.00.00.00.00.html\"> 医学 </a></li>"
    "<li><a href=\"/cp01.32.00.00.00.00.html\"> 古籍 </a></li>"
    "<li><a href=\"/cp01.15.00.00.00.00.html\"> 亲子/家教 </a></li>"
    "<li><a href=\"/cp01.38.00.00.00.00.html\"> 传记 </a></li>"
    "<li><a href=\"/cp01.25.00.00.00.00.html\"> 经济 </a></li>"
    "<li><a href=\"/cp01.27.00.00.00.00.html\"> 政治/军事 </a></li>"
    "<li><a href=\"/cp01.30.00.00.00.00.html\"> 社会科学 </a></li>"
    "<li><a href=\"/cp01.09.00.00.00.00.html\"> 动漫/幽默 </a></li>"
    "<li><a href=\"/cp01.31.00.00.00.00.html\"> 心理学 </a></li>"
    "<li><a href=\"/cp01.24.00.00.00.00.html\"> 投资理财 </a></li>"
    "<li><a href=\"/cp01.26.00.00.00.00.html\"> 法律 </a></li>"
    "<li><a href=\"/cp01.34.00.00.00.00.html\"> 文化 </a></li>"
    "<li><a href=\"/cp01.63.00.00.00.00.html\"> 工业技术 </a></li>"
    "<li><a href=\"/cp01.55.00.00.00.00.html\"> 建筑 </a></li>"
    "<li><a href=\"/cp01.18.00.00.00.00.html\"> 保健/养生 </a></li>"
    "<li><a href=\"/cp01.52.00.00.00.00.html\"> 科普读物 </a></li>"
    "<li><a href=\"/cp01.17.00.00.00.00.html\"> 育儿/早教 </a></li>"
    "<li><a href=\"/cp01.12.00.00.00.00.html\"> 旅游/地图 </a></li>"
    "<li><a href=\"/cp01.10.00.00.00.00.html\"> 烹饪/美食 </a></li>"
    "<li><a href=\"/cp01.62.00.00.00.00.html\"> 自然科学 </a></li>"
    "<li><a href=\"/cp01.50.00.00.00.00.html\"> 工具书 </a></li>"
    "<li><a href=\"/cp01.06.00.00.00.00.html\"> 孕产/胎教 </a></li>"
    "<li><a href=\"/cp01.11.00.00.00.00.html\"> 时尚/美妆 </a></li>"
    "<li><a href=\"/cp01.58.00.00.00.00.html\"> 英文原版书 </a></li>"
    "<li><a href=\"/cp01.16.00.00.00.00.html\"> 两性关系 </a></li>"
    "<li><a href=\"/cp01.19.00.00.00.00.html\"> 体育/运动 </a></li>"
    "<li><a href=\"/cp01.14.00.00.00.00.html\"> 家庭/家居 </a></li>"
    "<li><a href=\"/cp01.20.00.00.00.00.html\"> 手工/DIY </a></li>"
    "<li><a href=\"/cp01.66.00.00.00.00.html\"> 农业/林业 </a></li>"
    "<li><a href=\"/cp01.59.00.00.00.00.html\"> 港台圖書 </a></li>"
    "<li><a href=\"/cp01.04.00.00.00.00.html\"> 休闲/爱好 </a></li>"
    "<li><a href=\"/cp01.23.00.00.00.00.html\"> 风水/占卜 </a></li>"
    "<li><a href=\"/cp01.68.00.00.00.00.html\"> 阅读器 </a></li>"
    "<li><a href=\"/cp01.72.00.00.00.00.html\"> 文化艺术礼品 </a></li>"
    "<li><a href=\"/cp01.70.00.00.00.00.html\"> 办公/文具 </a></li>"
    "<li><a href=\"/cp01.71.00.00.00.00.html\"> 培训/课程 </a></li>"
    "<li><a href=\"/cp01.69.00.00.00.00.html\"> 日文原版书 </a></li>";

std::string HomeAddress(AppContext& ctx) {
    return ctx.hosts().Url(HostRole::SourceCategory, kCategoryHomePath);
}

}  // namespace

std::vector<VTCateInfo> ExtractCategories(const std::string& text, const std::string& itemPattern) {
    std::vector<VTCateInfo> out;
    const auto re = CompileRegex(itemPattern);
    if (!re)
        return out;
    ForEachMatch(text, *re, [&](const boost::smatch& m) {
        VTCateInfo info;
        if (m["URL"].matched && m["URL"].length() > 0) {
            info.Url = m["URL"].str();
            info.Text = m["Text"].str();
        }
        out.push_back(std::move(info));
        return true;
    });
    return out;
}

std::vector<VTCateInfo> ExtractCategoryBlocks(const std::string& page,
                                              const std::string& blockPattern,
                                              const std::string& itemPattern) {
    std::vector<VTCateInfo> out;
    const auto re = CompileRegex(blockPattern);
    if (!re)
        return out;
    ForEachMatch(page, *re, [&](const boost::smatch& m) {
        for (std::size_t g = 0; g < m.size(); ++g)
            if (m[g].matched && m[g].length() > 0)
                out = ExtractCategories(m[g].str(), itemPattern);
        return true;
    });
    return out;
}

std::vector<VTCateInfo> BuiltInTopCategories() {
    return ExtractCategories(kBuiltInList, kBuiltInItem);
}

std::vector<VTCateInfo> ReadCategoryPage(const std::string& page, bool homePage, Log& log) {
    if (homePage) {
        if (page.find(kTopMarker) == std::string::npos)
            return {};
        // The patterns are fixed, but a home page they cannot be used on must still give
        // the seller categories to choose from.
        if (!CompileRegex(kTopBlock) || !CompileRegex(kTopItem)) {
            log.WriteLog("分类错误");
            return BuiltInTopCategories();
        }
        return ExtractCategoryBlocks(page, kTopBlock, kTopItem);
    }
    if (page.find(kSubMarker) != std::string::npos)
        return ExtractCategoryBlocks(page, kSubBlock, kSubItem);
    return ExtractCategoryBlocks(page, kListBlock, kListItem);
}

std::vector<VTCateInfo> FetchCategories(AppContext& ctx, const std::string& address) {
    std::string url = address.empty() ? HomeAddress(ctx) : address;
    if (url.rfind("/cp", 0) == 0)
        url = ctx.hosts().Url(HostRole::SourceCategory, url);
    const std::string page = HttpHelper::GetPage(url, ctx.ReadOptions(Site::Store));
    return ReadCategoryPage(page, url == HomeAddress(ctx), ctx.log());
}

void LoadTopCategories(AppContext& ctx, CategoryTree& tree) {
    for (auto& info : FetchCategories(ctx, std::string())) tree.AddRoot(std::move(info));
}

void ExpandCategory(AppContext& ctx, CategoryTree& tree, int node) {
    if (node < 0 || node >= tree.Count())
        return;
    tree.SetEnabled(false);
    const VTCateInfo info = tree.Info(node);
    if (!info.ChildrenLoaded) {
        for (auto& child : FetchCategories(ctx, info.Url)) tree.AddChild(node, std::move(child));
        // Also when nothing was found, so the page is not asked for again.
        tree.SetChildrenLoaded(node);
    }
    tree.SetEnabled(true);
}

}  // namespace vt
