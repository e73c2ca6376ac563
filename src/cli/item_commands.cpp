// "inspect item BOOK.json" and "publish BOOK.json": one book record, given as JSON with
// the keys "inspect product" prints, turned into the marketplace item. The first shows
// the item and its form without posting; the second publishes it to the configured shop
// as a job's publishing thread would, with the same outcomes and records.
#include <fstream>
#include <iostream>
#include <iterator>

#include "base/text.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/input_checks.h"
#include "cli/job_session.h"
#include "cli/setting_overrides.h"
#include "cli/site_probe.h"
#include "core/publish_state.h"
#include "detail/description.h"
#include "detail/detail_page.h"
#include "market/price_rules.h"
#include "market/publish_form.h"
#include "market/publishing_thread.h"

namespace vt::cli {
namespace {

struct ItemOptions {
    CommonOptions common;
    AccountOptions account;
    std::vector<std::string> sets;
    std::string file;
    std::string picture;  // publish only: this picture instead of the record's address
};

// The record's text fields by their key; "OuterCode" (or "ProductId") names the book.
struct TextKey {
    const char* key;
    std::string O_BookInfo::*field;
};
const TextKey kTextKeys[] = {
    {"BookName", &O_BookInfo::BookName},
    {"ISBN", &O_BookInfo::ISBN},
    {"Author", &O_BookInfo::Author},
    {"PressName", &O_BookInfo::PressName},
    {"PressDate", &O_BookInfo::PressDate},
    {"MarketPrice", &O_BookInfo::MarketPrice},
    {"SellPrice", &O_BookInfo::SellPrice},
    {"HeadTitle", &O_BookInfo::HeadTitle},
    {"BuyingNote", &O_BookInfo::BuyingNote},
    {"RemoteImageUrl", &O_BookInfo::RemoteImageUrl},
    {"EditorRecommend", &O_BookInfo::EditorRecommend},
    {"Abstract", &O_BookInfo::Abstract},
    {"AuthorRemark", &O_BookInfo::AuthorRemark},
    {"BookCatalog", &O_BookInfo::BookCatalog},
    {"Preface", &O_BookInfo::Preface},
    {"MediaReview", &O_BookInfo::MediaReview},
    {"OuterCode", &O_BookInfo::OuterCode},
    {"ProductId", &O_BookInfo::ProductId},
};
const std::pair<const char*, std::string BookParams::*> kParamKeys[] = {
    {"WordCount", &BookParams::WordCount},
    {"PageCount", &BookParams::PageCount},
    {"Edition", &BookParams::Edition},
    {"Binding", &BookParams::Binding},
    {"BookFormat", &BookParams::BookFormat}};

std::string Text(const nlohmann::json& v) {
    if (v.is_string())
        return v.get<std::string>();
    if (v.is_number())
        return v.dump();
    return {};
}

// The record as the detail stage would hand it over, description included. Empty when
// fine, else what is wrong with the file (UTF-8).
std::string ReadBook(AppContext& ctx, const std::string& path, O_BookInfo& book) {
    std::ifstream in(path, std::ios::binary);
    const auto doc = nlohmann::json::parse(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), nullptr,
        false);
    if (!doc.is_object())
        return path + " is no JSON object (write it as \"inspect product\" prints a book)";
    for (const auto& [key, value] : doc.items()) {
        // "source" names the page "inspect product" read the record from.
        bool known = key == "CanBuy" || key == "source";
        for (const TextKey& k : kTextKeys) known |= key == k.key;
        for (const auto& p : kParamKeys) known |= key == p.first;
        if (!known)
            return path + ": unknown key \"" + key + "\"";
        if (key != "CanBuy" && !value.is_string() && !value.is_number() && !value.is_null())
            return path + ": \"" + key + "\" must be a text";
    }
    for (const TextKey& k : kTextKeys)
        if (doc.contains(k.key))
            book.*k.field = Gbk(Text(doc.at(k.key)));
    if (book.OuterCode.empty())
        book.OuterCode = book.ProductId;
    if (book.ProductId.empty())
        book.ProductId = book.OuterCode;
    book.CanBuy =
        !doc.contains("CanBuy") || !doc.at("CanBuy").is_boolean() || doc.at("CanBuy").get<bool>();
    if (Trim(book.OuterCode).empty())
        return path + " names no book: give \"OuterCode\", the bookstore's product code";
    if (Trim(book.BookName).empty())
        return path + " has no \"BookName\"";
    BookParams params;
    for (const auto& [key, field] : kParamKeys)
        if (doc.contains(key))
            params.*field = Gbk(Text(doc.at(key)));
    BuildDescriptions(ctx, book, params);
    return {};
}

int RunInspectItem(const ItemOptions& o) {
    std::string problem = CheckReadableFile("book file", o.file);
    if (problem.empty())
        problem = CheckSettingOverrides(o.sets, false);
    if (!problem.empty())
        return Error(problem, kExitUsage);
    int code = kExitOk;
    auto ctx = MakeContextWithSettings(o.common, o.sets, code);
    if (!ctx)
        return code;
    O_BookInfo book;
    problem = ReadBook(*ctx, o.file, book);
    if (!problem.empty())
        return Error(problem, kExitUsage);
    PublishItem item;
    const std::string refusal = BuildPublishItem(*ctx, book, item);
    if (!refusal.empty())
        return Error("the item cannot be built: " + U8(refusal), kExitFailure);
    // The category is asked of the marketplace only when publishing; until then the
    // form carries the last one published.
    item.CategoryId = ctx->publishing().LastCategoryId();
    nlohmann::json fields = nlohmann::json::array();
    for (const auto& [name, value] : BuildPublishFields(*ctx, item))
        fields.push_back({{"name", U8(name)}, {"value", U8(value)}});
    PrintJson({{"title", U8(item.Title)},
               {"price", U8(item.Price)},
               {"category", item.CategoryId.empty() ? nlohmann::json(nullptr)
                                                    : nlohmann::json(U8(item.CategoryId))},
               {"categoryNote", "asked of the marketplace by ISBN when published"},
               {"fields", std::move(fields)}});
    return kExitOk;
}

int RunPublish(const ItemOptions& o) {
    std::string problem = CheckReadableFile("book file", o.file);
    if (problem.empty())
        problem = CheckAccountOptions(o.account, true);
    if (problem.empty() && !o.picture.empty())
        problem = CheckReadableFile("picture", o.picture);
    if (problem.empty())
        problem = CheckSettingOverrides(o.sets, true);
    if (!problem.empty())
        return Error(problem, kExitUsage);
    int code = kExitOk;
    auto ctx = MakeContextWithSettings(o.common, o.sets, code);
    if (!ctx)
        return code;
    auto book = std::make_unique<O_BookInfo>();
    problem = ReadBook(*ctx, o.file, *book);
    if (!problem.empty())
        return Error(problem, kExitUsage);
    SellerLogin login;
    if (const int code = ReachSitesAndLogIn(
            *ctx, {HostRole::MarketLogin, HostRole::MarketUpload, HostRole::MarketSell}, login,
            o.account, o.sets);
        code != kExitOk)
        return code;

    // As a job's publishing thread: the book's row on the collected list, its picture,
    // then the upload; the row says how it went.
    // The pacing spaces uploads apart; one upload has nothing to wait for.
    ctx->publishing().SetPublishPacingMs(0);
    ctx->job().SetCurrentFenlei("单本发布");
    ctx->panel().SetRunning();
    CollectedRow cells{};
    cells[kOuterCodeCol] = book->OuterCode;
    cells[kBookNameCol] = book->BookName;
    const int row = ctx->collected().AppendWithRecord(cells, std::move(book));
    auto record = ctx->collected().Record(row);
    ctx->collected().SetCell(row, kMarketStateCol, "正在获取数据信息");
    if (o.picture.empty()) {
        ProcessCollectedBook(*ctx, *record, row);
    } else {
        record->LocalImageFileName = Gbk(o.picture);
        ctx->collected().SetCell(row, kImageStateCol, "图片成功下载");
        UploadBook(*ctx, *record, row);
    }
    ctx->panel().PressStop();
    const std::string picture = ctx->collected().Cell(row, kImageStateCol);
    const std::string status = ctx->collected().Cell(row, kMarketStateCol);
    std::cout << "picture: " << U8(picture) << "\nstatus:  " << U8(status) << std::endl;
    if (status == "上传成功" || status == kAlreadyPublished)
        return kExitOk;
    const std::string reason =
        !picture.empty() && picture != "图片成功下载" ? "picture: " + U8(picture) : U8(status);
    return Error("not published: " + reason, kExitFailure);
}

}  // namespace

void AddItemCommands(CLI::App& app, Runner& run) {
    auto inspectOptions = std::make_shared<ItemOptions>();
    CLI::App* inspect = app.get_subcommand("inspect");
    auto* item = inspect->add_subcommand(
        "item",
        "The marketplace item a book record (JSON) gives, with every form field; "
        "nothing is posted");
    item->add_option("book", inspectOptions->file,
                     "JSON file with the keys \"inspect product\" prints, and OuterCode")
        ->required();
    AddSetOption(*item, inspectOptions->sets);
    AddCommonOptions(*item, inspectOptions->common);
    item->callback([&run, inspectOptions] {
        run = [inspectOptions] { return RunInspectItem(*inspectOptions); };
    });

    auto publishOptions = std::make_shared<ItemOptions>();
    auto* publish = app.add_subcommand(
        "publish", "Publish one book record (JSON) to the shop: picture, upload, form");
    publish
        ->add_option("book", publishOptions->file,
                     "JSON file with the keys \"inspect product\" prints, and OuterCode")
        ->required();
    publish->add_option("--picture", publishOptions->picture,
                        "Use this picture file instead of downloading RemoteImageUrl");
    AddSetOption(*publish, publishOptions->sets);
    AddAccountOptions(*publish, publishOptions->account);
    AddCommonOptions(*publish, publishOptions->common);
    publish->callback(
        [&run, publishOptions] { run = [publishOptions] { return RunPublish(*publishOptions); }; });
}

}  // namespace vt::cli
