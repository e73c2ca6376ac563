// "inspect": shows what the system reads from one page, so a seller sees at once
// whether the bookstore's markup still reads.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/http_client.h"
#include "base/text.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/job_report.h"
#include "cli/job_session.h"
#include "cli/setting_overrides.h"
#include "cli/site_probe.h"
#include "collect/category_fetch.h"
#include "collect/list_parsers.h"
#include "detail/book_filters.h"
#include "detail/detail_page.h"
#include "market/on_sale_check.h"

namespace vt::cli {
namespace {

struct ProductOptions {
    CommonOptions common;
    std::vector<std::string> sources;  // saved pages (UTF-8 file names) or http(s) addresses
};

bool IsAddress(const std::string& text) {
    return text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0;
}

// The page's bytes as saved; false when the file cannot be read.
bool ReadSavedPage(const std::string& utf8Path, std::string& text) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(utf8Path, ec))
        return false;
    std::ifstream in(utf8Path, std::ios::binary);
    if (!in)
        return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

nlohmann::json DescribeProduct(const DetailPage& page) {
    const BookParams params = ExtractBookParams(page);
    nlohmann::json doc = nlohmann::json::object();
    const std::pair<const char*, std::string> texts[] = {
        {"BookName", ExtractProductName(page)},
        {"ISBN", ExtractIsbn(page)},
        {"Author", ExtractAuthor(page)},
        {"PressName", ExtractPressName(page)},
        {"PressDate", ExtractPressDate(page)},
        {"MarketPrice", ExtractMarketPrice(page)},
        {"SellPrice", ExtractSellPrice(page)},
        {"HeadTitle", ExtractHeadTitle(page)},
        {"BuyingNote", ExtractBuyingNote(page)},
        {"RemoteImageUrl", ExtractMainImageUrl(page)},
        {"EditorRecommend", ExtractSection(page, BookSection::EditorRecommend)},
        {"Abstract", ExtractSection(page, BookSection::Abstract)},
        {"AuthorRemark", ExtractSection(page, BookSection::AuthorRemark)},
        {"BookCatalog", ExtractSection(page, BookSection::BookCatalog)},
        {"Preface", ExtractSection(page, BookSection::Preface)},
        {"MediaReview", ExtractSection(page, BookSection::MediaReview)},
        {"WordCount", params.WordCount},
        {"PageCount", params.PageCount},
        {"Edition", params.Edition},
        {"Binding", params.Binding},
        {"BookFormat", params.BookFormat},
    };
    for (const auto& [key, value] : texts) doc[key] = U8(value);
    doc["CanBuy"] = HasBuyButton(page);
    return doc;
}

// One JSON object per line for each page, in the order given; a page that cannot be read
// is named on stderr, the others are still read, and the run then fails.
int RunProduct(const ProductOptions& options) {
    // The context is made so that --app-dir is honoured like everywhere else; reading a
    // page needs no settings.
    const auto ctx = MakeContext(options.common);
    if (!ctx)
        return kExitUsage;
    int result = 0;
    for (const std::string& source : options.sources) {
        DetailPage page;
        if (IsAddress(source)) {
            page.text = HttpHelper::GetPage(source);
            if (page.text.empty()) {
                result = Fail("页面读取失败：" + Gbk(source));
                continue;
            }
        } else if (!ReadSavedPage(source, page.text)) {
            result = Fail("文件不存在：" + Gbk(source));
            continue;
        }
        // A page without a title or an ISBN is no product page: a script must not take
        // its empty fields for a book.
        if (ExtractProductName(page).empty() && ExtractIsbn(page).empty()) {
            result =
                Error(source + " is not a product page: no title and no ISBN found", kExitFailure);
            continue;
        }
        nlohmann::json doc = DescribeProduct(page);
        doc["source"] = source;
        std::cout << doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    }
    std::cout.flush();
    return result;
}

struct ListOptions {
    CommonOptions common;
    AccountOptions account;
    std::vector<std::string> sets;
    std::string layout = "search";
    std::string source;  // a saved page (UTF-8 file name) or an http(s) address
};

int RunList(const ListOptions& options) {
    std::string problem = CheckAccountOptions(options.account, false);
    if (problem.empty())
        problem = CheckSettingOverrides(options.sets, options.account.Given());
    if (!problem.empty())
        return Error(problem, kExitUsage);
    int code = kExitOk;
    auto ctx = MakeContextWithSettings(options.common, options.sets, code);
    if (!ctx)
        return code;
    // With an account its records and its shop take part: the "already published" and
    // on-sale filters run as in a job.
    SellerLogin login;
    if (!login.List(*ctx, options.account))
        return kExitFailure;
    std::string page;
    if (IsAddress(options.source))
        page = HttpHelper::GetPage(options.source);
    else if (!ReadSavedPage(options.source, page))
        return Fail("文件不存在：" + Gbk(options.source));
    // The word lists as a job starts with them.
    RebuildFilterWords(*ctx);
    // The on-sale check asks the shop with the goods token a keyword or promotion job
    // fetches at its start; a category job has none of its own.
    if (ctx->config().CheckByOuterCode() && options.layout != "category")
        ctx->job().GoodsToken = FetchGoodsToken(*ctx);
    if (options.layout == "category")
        ParseCategoryPage(*ctx, page);
    else if (options.layout == "promo")
        ParsePromoPage(*ctx, page);
    else
        ParseSearchPage(*ctx, page);

    nlohmann::json rows = nlohmann::json::array();
    for (int i = 0; i < ctx->toCollect().Count(); ++i)
        rows.push_back(ToCollectRowJson(ctx->toCollect().RowAt(i)));
    PrintJson({{"layout", options.layout},
               {"noProducts", ReportsNoProducts(page)},
               {"rows", std::move(rows)},
               {"counters",
                {{"toCollect", ctx->counters().Number(CounterBox::ToCollect)},
                 {"pendingFiltered", ctx->counters().Number(CounterBox::PendingFiltered)}}}});
    return 0;
}

struct CategoryOptions {
    CommonOptions common;
    std::string address;  // empty: the category home page
};

int RunCategories(const CategoryOptions& options) {
    int code = kExitOk;
    auto ctx = MakeContext(options.common, code);
    if (!ctx)
        return code;
    std::string address = Gbk(options.address);
    std::vector<VTCateInfo> found;
    // A top-level category may be named instead of addressed.
    if (!address.empty() && address.find('/') == std::string::npos) {
        for (const VTCateInfo& top : FetchCategories(*ctx, ""))
            if (Trim(top.Text) == Trim(address))
                found = FetchCategories(*ctx, top.Url);
        if (found.empty())
            return Error("no top-level category is named \"" + options.address +
                             "\" (inspect categories lists them)",
                         kExitUsage);
    } else {
        found = FetchCategories(*ctx, address);
    }
    if (found.empty()) {
        const std::string unreachable = FirstUnreachable(ctx->hosts(), {HostRole::SourceCategory});
        if (!unreachable.empty())
            return Error(unreachable, kExitFailure);
    }
    nlohmann::json list = nlohmann::json::array();
    for (const VTCateInfo& info : found)
        list.push_back({{"url", U8(info.Url)}, {"text", U8(info.Text)}});
    PrintJson({{"address", options.address}, {"categories", std::move(list)}});
    return 0;
}

}  // namespace

void AddInspectCommands(CLI::App& app, Runner& run) {
    auto* inspect = app.add_subcommand("inspect", "Show what the system reads from a page");
    inspect->require_subcommand(1);

    auto product = std::make_shared<ProductOptions>();
    auto* cmd = inspect->add_subcommand(
        "product", "Every field read from product pages (saved GBK files or addresses)");
    cmd->add_option("source", product->sources,
                    "Saved product pages, or their http(s) addresses; one JSON line each")
        ->required();
    AddCommonOptions(*cmd, product->common);
    cmd->callback([&run, product] { run = [product] { return RunProduct(*product); }; });

    auto listOptions = std::make_shared<ListOptions>();
    auto* list = inspect->add_subcommand(
        "list", "The to-collect rows a list page yields with the current settings");
    list->add_option("--layout", listOptions->layout, "search (default), category or promo")
        ->check(CLI::IsMember({"search", "category", "promo"}));
    list->add_option("source", listOptions->source, "Saved list page (GBK), or its address")
        ->required();
    AddSetOption(*list, listOptions->sets);
    AddAccountOptions(*list, listOptions->account);
    AddCommonOptions(*list, listOptions->common);
    list->callback([&run, listOptions] { run = [listOptions] { return RunList(*listOptions); }; });

    auto categoryOptions = std::make_shared<CategoryOptions>();
    auto* categories = inspect->add_subcommand(
        "categories", "The categories a category page yields (default: the category home page)");
    categories->add_option("address", categoryOptions->address,
                           "Address of a category page, or the name of a top-level category");
    AddCommonOptions(*categories, categoryOptions->common);
    categories->callback([&run, categoryOptions] {
        run = [categoryOptions] { return RunCategories(*categoryOptions); };
    });
}

}  // namespace vt::cli
