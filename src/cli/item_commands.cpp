// "inspect item BOOK.json" and "publish BOOK.json...": book records, given as JSON with
// the keys "inspect product" prints, turned into marketplace items. The first shows the
// item and its form without posting; the second publishes the records in order, in one
// process, to the configured shop as a job's publishing thread would, with the same
// outcomes, records and report.
#include <fstream>
#include <iostream>
#include <iterator>
#include <thread>  // steady_clock (<chrono> itself does not build for GBK text)

#include "base/text.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/input_checks.h"
#include "cli/job_report.h"
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
    std::vector<std::string> files;  // publish: the records, in the order given
    std::string picture;             // publish only: this picture instead of the record's address
    std::string report;              // publish only: the job report (UTF-8 path, "-" stdout)
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

// The whole file as JSON (discarded when it is none).
nlohmann::json ReadJsonFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return nlohmann::json::parse(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), nullptr,
        false);
}

// The record as the detail stage would hand it over, descriptions included: given ones
// are taken as they are, missing ones are built. Empty when fine, else what is wrong with
// it (UTF-8); where names the file (and the record's place in an array).
std::string ReadBook(AppContext& ctx, const nlohmann::json& doc, const std::string& where,
                     O_BookInfo& book) {
    if (!doc.is_object())
        return where + " is no JSON object (write it as \"inspect product\" prints a book)";
    for (const auto& [key, value] : doc.items()) {
        // "source" names the page "inspect product" read the record from.
        bool known = key == "CanBuy" || key == "source" || key == "Description" ||
                     key == "MobileDescription";
        for (const TextKey& k : kTextKeys) known |= key == k.key;
        for (const auto& p : kParamKeys) known |= key == p.first;
        if (!known)
            return where + ": unknown key \"" + key + "\"";
        if (key != "CanBuy" && !value.is_string() && !value.is_number() && !value.is_null())
            return where + ": \"" + key + "\" must be a text";
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
        return where + " names no book: give \"OuterCode\", the bookstore's product code";
    if (Trim(book.BookName).empty())
        return where + " has no \"BookName\"";
    BookParams params;
    for (const auto& [key, field] : kParamKeys)
        if (doc.contains(key))
            params.*field = Gbk(Text(doc.at(key)));
    BuildDescriptions(ctx, book, params);
    if (doc.contains("Description") && !doc.at("Description").is_null())
        book.Description = Gbk(Text(doc.at("Description")));
    if (doc.contains("MobileDescription") && !doc.at("MobileDescription").is_null())
        book.MobileDescription = Gbk(Text(doc.at("MobileDescription")));
    return {};
}

std::string ReadBook(AppContext& ctx, const std::string& path, O_BookInfo& book) {
    return ReadBook(ctx, ReadJsonFile(path), path, book);
}

// Every record of the files, in order: a file holds one record or an array of them.
std::string ReadBooks(AppContext& ctx, const std::vector<std::string>& files,
                      std::vector<std::unique_ptr<O_BookInfo>>& books) {
    for (const std::string& path : files) {
        const nlohmann::json doc = ReadJsonFile(path);
        if (doc.is_array() && doc.empty())
            return path + " holds an empty array: no book to publish";
        const std::size_t count = doc.is_array() ? doc.size() : 1;
        for (std::size_t i = 0; i < count; ++i) {
            auto book = std::make_unique<O_BookInfo>();
            const std::string where =
                doc.is_array() ? path + " record " + std::to_string(i + 1) : path;
            const std::string problem = ReadBook(ctx, doc.is_array() ? doc[i] : doc, where, *book);
            if (!problem.empty())
                return problem;
            books.push_back(std::move(book));
        }
    }
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

// One record through the publishing stage as a job's publishing thread takes it: its row
// on the collected list, its picture, then the upload; the row says how it went.
void PublishOne(AppContext& ctx, std::unique_ptr<O_BookInfo> book, const std::string& picture) {
    // The report follows each book from its to-collect row, as in a job.
    ToCollectRow listed{};
    listed[kMarkCol] = book->OuterCode;
    listed[kTitleCol] = book->BookName;
    listed[kListPriceCol] = book->MarketPrice;
    listed[kSellPriceCol] = book->SellPrice;
    ctx.toCollect().Append(std::move(listed));
    {
        std::lock_guard<std::timed_mutex> lock(ctx.job().WorkerCursorLock);
        ctx.job().DetailCursor = ctx.toCollect().Count();
    }
    CollectedRow cells{};
    cells[kOuterCodeCol] = book->OuterCode;
    cells[kBookNameCol] = book->BookName;
    const int row = ctx.collected().AppendWithRecord(cells, std::move(book));
    auto record = ctx.collected().Record(row);
    ctx.collected().SetCell(row, kMarketStateCol, "正在获取数据信息");
    if (picture.empty()) {
        ProcessCollectedBook(ctx, *record, row);
    } else {
        record->LocalImageFileName = Gbk(picture);
        ctx.collected().SetCell(row, kImageStateCol, "图片成功下载");
        UploadBook(ctx, *record, row);
    }
}

int RunPublish(const ItemOptions& o) {
    std::string problem;
    for (const std::string& file : o.files)
        if (problem.empty())
            problem = CheckReadableFile("book file", file);
    if (problem.empty())
        problem = CheckAccountOptions(o.account, true);
    if (problem.empty() && !o.picture.empty())
        problem = CheckReadableFile("picture", o.picture);
    if (problem.empty() && !o.report.empty())
        problem = CheckReportPath(o.report);
    if (problem.empty())
        problem = CheckSettingOverrides(o.sets, true);
    if (!problem.empty())
        return Error(problem, kExitUsage);
    int code = kExitOk;
    auto ctx = MakeContextWithSettings(o.common, o.sets, code);
    if (!ctx)
        return code;
    std::vector<std::unique_ptr<O_BookInfo>> books;
    problem = ReadBooks(*ctx, o.files, books);
    if (problem.empty() && !o.picture.empty() && books.size() != 1)
        problem = "--picture names the picture of one book; the files hold " +
                  std::to_string(books.size());
    if (!problem.empty())
        return Error(problem, kExitUsage);
    SellerLogin login;
    if (const int code = ReachSitesAndLogIn(
            *ctx, {HostRole::MarketLogin, HostRole::MarketUpload, HostRole::MarketSell}, login,
            o.account, o.sets);
        code != kExitOk)
        return code;

    const auto started = std::chrono::steady_clock::now();
    CollectedNotes notes(*ctx);
    // The pacing spaces uploads apart, per account: one process publishing in order has
    // only itself to wait for.
    ctx->publishing().SetPublishPacingMs(0);
    ctx->job().SetCurrentFenlei("单本发布");
    ctx->panel().SetRunning();
    // In one process, in order, so that what carries from one book to the next (the last
    // ISBN, the last category) carries as in a job.
    const std::size_t count = books.size();
    for (auto& book : books) PublishOne(*ctx, std::move(book), o.picture);
    ctx->panel().PressStop();

    const bool reportToStdout = o.report == "-";
    std::ostream& lines = reportToStdout ? std::cerr : std::cout;
    std::string failure;
    for (int row = 0; row < static_cast<int>(count); ++row) {
        const std::string picture = ctx->collected().Cell(row, kImageStateCol);
        const std::string status = ctx->collected().Cell(row, kMarketStateCol);
        if (count > 1)
            lines << "book:    " << U8(ctx->collected().Cell(row, kOuterCodeCol)) << "\n";
        lines << "picture: " << U8(picture) << "\nstatus:  " << U8(status) << std::endl;
        if (failure.empty() && status != "上传成功" && status != kAlreadyPublished)
            failure = "not published: " + (!picture.empty() && picture != "图片成功下载"
                                               ? "picture: " + U8(picture)
                                               : U8(status));
    }
    if (count > 1 && !failure.empty())
        failure = "not every book was published (first: " + failure + ")";
    const int exitCode = failure.empty() ? kExitOk : kExitFailure;
    if (!o.report.empty()) {
        ReportInfo info;
        info.command = "publish";
        info.exitCode = exitCode;
        info.elapsedSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        info.cause = failure;
        const JobOutcome outcome = ClassifyBooks(*ctx, &notes);
        if (!WriteReport(BuildReport(*ctx, outcome, info), o.report))
            return Error("the report could not be written to " + o.report, kExitFailure);
    }
    if (!failure.empty())
        return Error(failure, kExitFailure);
    return kExitOk;
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
        "publish",
        "Publish book records (JSON) to the shop in order, as a job does: picture, upload, form");
    publish
        ->add_option("books", publishOptions->files,
                     "JSON files, each one record with the keys \"inspect product\" prints and "
                     "OuterCode (Description and MobileDescription optional), or an array of them")
        ->required();
    publish->add_option("--report", publishOptions->report,
                        "Write the JSON report to this file (\"-\": standard output)");
    publish->add_option("--picture", publishOptions->picture,
                        "Use this picture file instead of downloading RemoteImageUrl");
    AddSetOption(*publish, publishOptions->sets);
    AddAccountOptions(*publish, publishOptions->account);
    AddCommonOptions(*publish, publishOptions->common);
    publish->callback(
        [&run, publishOptions] { run = [publishOptions] { return RunPublish(*publishOptions); }; });
}

}  // namespace vt::cli
