#include "market/category_lookup.h"

#include <fstream>
#include <iterator>

#include "base/files.h"
#include "base/hosts.h"
#include "base/http_client.h"
#include "base/regex_ops.h"
#include "base/text.h"
#include "core/context.h"
#include "core/settings_store.h"

namespace vt {

namespace {

constexpr char kMappingFile[] = "Vantrell淘宝分类对应.txt";
constexpr char kSourcePrefix[] = "主目录_";
constexpr char kCategoryQueryPath[] =
    "/auction/json/get_category.htm?isB2CSeller=false&is3CSeller=false&isSynergicSeller=false"
    "&isAliMall=false&isFinancingSeller=false&isAssets=false&isTaoDianDian=false"
    "&_input_charset=utf-8";
// Listed among the book categories, but it takes no new books.
constexpr char kReservedCategory[] = "121956004";

std::string RemoveAll(std::string text, const std::string& piece) {
    for (std::size_t at; (at = text.find(piece)) != std::string::npos;)
        text.erase(at, piece.size());
    return text;
}

}  // namespace

std::string ChooseCategory(const std::string& answer) {
    if (answer.size() < 30 || answer.find("价格为空") != std::string::npos)
        return {};
    std::string last;
    const auto candidates = RegexList(answer, "{(.*?)}");
    if (!candidates)
        return {};
    for (const std::string& candidate : *candidates) {
        const std::string sid = RegexFirst(candidate, "\"sid\":\"(.*?)\"");
        const std::string path = RegexFirst(candidate, "\"path\":\\[(?<sid>.+?)\\]");
        if (!sid.empty() && sid != kReservedCategory &&
            path.find("书籍/杂志/报纸") != std::string::npos &&
            path.find("二手") == std::string::npos)
            return sid;
        last = sid;
    }
    return last;
}

std::string QueryCategory(AppContext& ctx, const std::string& isbn, const std::string& token,
                          const std::string& cookie) {
    std::string answer;
    MarketPostKeyword(ctx.hosts().Url(HostRole::MarketUpload, kCategoryQueryPath), isbn, answer,
                      token, cookie, ctx.hosts(), ctx.ReadOptions(Site::Market));
    return ChooseCategory(answer);
}

ShopCategoryAnswer ParseShopCategories(const std::string& answer) {
    ShopCategoryAnswer read;
    if (auto re = CompileRegex("{\"text\":\"(.*?)\",\"value\":\"(.*?)\"}")) {
        ForEachMatch(answer, *re, [&](const boost::smatch& m) {
            std::string name = m[1].str();
            std::string id = m[2].str();
            if (name.empty())
                return true;
            read.names.push_back(name);
            // A nameless category could only be found by an empty mapping cell.
            if (!id.empty())
                read.categories.push_back({std::move(name), std::move(id)});
            return true;
        });
    }
    return read;
}

int LoadShopCategories(AppContext& ctx) {
    const std::string answer =
        MarketGet(ctx.hosts().Url(HostRole::MarketSell, "/auction/goods/get_shop_category.htm"),
                  ctx.session().SellerCookie(), ctx.ReadOptions(Site::Market));
    ShopCategoryAnswer read = ParseShopCategories(answer);
    for (const ShopCategory& category : read.categories)
        ctx.config().SetShopCategoryId(category.name, category.id);
    ctx.config().SetShopCategoryNames(std::move(read.names));
    return static_cast<int>(read.categories.size());
}

bool ShopCategoriesLoaded(const AppContext& ctx) {
    return ctx.config().ShopCategoryCount() > 0;
}

void LoadCategoryMapping(AppContext& ctx) {
    // Read raw: the file has no terminating zero, and a missing one is not worth a log line.
    std::ifstream in(NativePath(ctx.DataFilePath(kMappingFile)), std::ios::binary);
    std::string text;
    if (in)
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    ctx.config().SetCategoryMappings(ParseCategoryMapping(text));
}

bool SaveCategoryMapping(AppContext& ctx) {
    return WriteBytesFile(ctx.DataFilePath(kMappingFile),
                          FormatCategoryMapping(ctx.config().CategoryMappings()));
}

std::string ShopCategoryFor(const AppContext& ctx, const std::string& sourceCategory) {
    const std::string wanted = Trim(RemoveAll(sourceCategory, kSourcePrefix));
    for (const CategoryMapping& row : ctx.config().CategoryMappings())
        if (Trim(row.source) == wanted)
            return ctx.config().ShopCategoryId(Trim(row.shop));
    return {};
}

}  // namespace vt
