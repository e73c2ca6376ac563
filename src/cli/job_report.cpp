#include "cli/job_report.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <unordered_map>

#include "base/text.h"
#include "detail/detail_page.h"
#include "market/preview_item.h"
#include "market/price_rules.h"
#include "market/publishing_thread.h"

namespace vt::cli {
namespace {

constexpr const char* kPictureOk = "图片成功下载";
constexpr const char* kPublishedText = "上传成功";
constexpr const char* kInProgress = "正在获取数据信息";

constexpr const char* kToCollectKeys[kToCollectColumns] = {
    "mark",   "number",    "title", "listPrice", "sitePrice", "stock",
    "author", "publisher", "date",  "category",  "pages",     "status"};
constexpr const char* kCollectedKeys[kCollectedColumns] = {
    "id", "outerCode", "title", "picture", "stock", "state", "shopCategory", "marketState"};
constexpr const char* kCounterKeys[kCounterBoxes] = {
    "toCollect", "pendingFiltered", "collecting",       "collected",
    "published", "publishFailed",   "collectedFiltered"};

// A cell that is wholly a decimal number becomes a JSON number; any other text stays.
nlohmann::json Value(const std::string& gbk) {
    const std::string text = Trim(gbk);
    const char* end = text.data() + text.size();
    long whole = 0;
    auto [wptr, werr] = std::from_chars(text.data(), end, whole);
    if (!text.empty() && werr == std::errc() && wptr == end)
        return whole;
    double number = 0;
    auto [ptr, err] = std::from_chars(text.data(), end, number, std::chars_format::fixed);
    if (!text.empty() && err == std::errc() && ptr == end)
        return number;
    return GbkToUtf8(gbk);
}

template <typename Row>
nlohmann::json KeyedRow(const Row& row, const char* const* keys, const std::vector<int>& numeric) {
    nlohmann::json cells = nlohmann::json::object();
    for (std::size_t c = 0; c < row.size(); ++c) {
        bool isNumber = false;
        for (int n : numeric) isNumber |= static_cast<int>(c) == n;
        cells[keys[c]] = isNumber ? Value(row[c]) : nlohmann::json(GbkToUtf8(row[c]));
    }
    return cells;
}

nlohmann::json CollectedRowJson(const CollectedRow& row) {
    return KeyedRow(row, kCollectedKeys, {kIdCol});
}

nlohmann::json Money(float price) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(price));
    return std::stod(text);
}

// Classifies a book by its collected row.
void ByCollectedRow(const CollectedRow& row, BookOutcome& book) {
    const std::string& picture = row[kImageStateCol];
    const std::string& market = row[kMarketStateCol];
    if (market == kPublishedText) {
        book.status = BookStatus::Published;
    } else if (market == kAlreadyPublished) {
        book.status = BookStatus::Skipped;
        book.reason = market;
    } else if (!picture.empty() && picture != kPictureOk) {
        book.status = BookStatus::Failed;
        book.reason = "图片：" + picture;
    } else if (market == kPreviewBuilt) {
        // A preview builds the item and publishes nothing by design.
        book.status = BookStatus::Skipped;
        book.reason = market;
    } else if (market == kInProgress) {
        book.status = BookStatus::Failed;
        book.reason = picture.empty() ? "图片下载未完成（正在获取数据信息）"
                                      : "上传未完成：登录失效或连接中断（正在获取数据信息）";
    } else if (!market.empty()) {
        book.status = BookStatus::Failed;
        book.reason = market;
    } else if (!picture.empty()) {
        book.status = BookStatus::Failed;
        book.reason = "上传未完成";
    } else {
        book.status = BookStatus::Unprocessed;
        book.reason = "未处理";
    }
}

std::string ItemIdOf(AppContext& ctx, const std::string& code) {
    return code.empty() ? std::string() : ctx.db().PublishedItemId(code);
}

std::string Clock(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

CollectedNotes::CollectedNotes(AppContext& ctx) : ctx_(ctx) {
    subscription_ = ctx.collected().Subscribe([this](const ListChange& change) {
        if (change.kind != ListChange::RowAppended)
            return;
        auto record = ctx_.collected().Record(change.row);
        if (!record)
            return;
        Note note{Trim(record->ISBN), Trim(record->MarketPrice), Trim(record->SellPrice)};
        if (!note.listPrice.empty()) {
            note.price = ComputePrice(ctx_.config(), *record);
            note.priced = true;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        notes_[change.row] = std::move(note);
    });
}

CollectedNotes::~CollectedNotes() {
    ctx_.collected().Unsubscribe(subscription_);
}

CollectedNotes::Note CollectedNotes::Of(int row) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = notes_.find(row);
    return it == notes_.end() ? Note{} : it->second;
}

const char* StatusKey(BookStatus status) {
    switch (status) {
        case BookStatus::Published:
            return "published";
        case BookStatus::Skipped:
            return "skipped";
        case BookStatus::Failed:
            return "failed";
        case BookStatus::Unprocessed:
            return "unprocessed";
    }
    return "unprocessed";
}

JobOutcome ClassifyBooks(AppContext& ctx, const CollectedNotes* notes) {
    JobOutcome out;
    // Collected rows by outer code, in order: a book listed twice has two of each.
    std::unordered_map<std::string, std::vector<int>> collectedByCode;
    const int collectedCount = ctx.collected().Count();
    std::vector<CollectedRow> collected(static_cast<std::size_t>(collectedCount));
    for (int i = 0; i < collectedCount; ++i) {
        collected[i] = ctx.collected().RowAt(i);
        collectedByCode[Trim(collected[i][kOuterCodeCol])].push_back(i);
    }
    int detailCursor = 0;
    {
        std::lock_guard<std::timed_mutex> lock(ctx.job().WorkerCursorLock);
        detailCursor = ctx.job().DetailCursor;
    }
    long countedAtDetail = 0;
    const int rows = ctx.toCollect().Count();
    for (int i = 0; i < rows; ++i) {
        const ToCollectRow row = ctx.toCollect().RowAt(i);
        BookOutcome book;
        book.code = Trim(row[kMarkCol]);
        book.title = row[kTitleCol];
        book.listPrice = Trim(row[kListPriceCol]);
        book.sitePrice = Trim(row[kSellPriceCol]);
        auto match = collectedByCode.find(book.code);
        if (match != collectedByCode.end() && !match->second.empty()) {
            const int c = match->second.front();
            match->second.erase(match->second.begin());
            ByCollectedRow(collected[c], book);
            if (book.title.empty())
                book.title = collected[c][kBookNameCol];
            if (notes) {
                CollectedNotes::Note note = notes->Of(c);
                book.isbn = note.isbn;
                if (!note.listPrice.empty())
                    book.listPrice = note.listPrice;
                if (!note.sitePrice.empty())
                    book.sitePrice = note.sitePrice;
                book.price = note.price;
                book.priced = note.priced;
            }
        } else if (i >= detailCursor) {
            book.status = BookStatus::Unprocessed;
            book.reason = "未读取详情页";
        } else if (row[kStatusCol].rfind(kPageReadFailed, 0) == 0) {
            // The network lost the page: nothing was decided about the book.
            book.status = BookStatus::Failed;
            book.reason = row[kStatusCol];
        } else if (!Trim(row[kStatusCol]).empty()) {
            book.status = BookStatus::Skipped;
            book.reason = row[kStatusCol];
            ++countedAtDetail;
        } else if (ctx.db().IsPublished(book.code)) {
            book.status = BookStatus::Skipped;
            book.reason = kAlreadyPublished;
            ++countedAtDetail;
        } else {
            book.status = BookStatus::Failed;
            book.reason = "详情页无法读取";
        }
        if (!book.priced && !book.listPrice.empty() && book.status != BookStatus::Unprocessed) {
            O_BookInfo record;
            record.MarketPrice = book.listPrice;
            record.SellPrice = book.sitePrice;
            book.price = ComputePrice(ctx.config(), record);
            book.priced = true;
        }
        if (book.status == BookStatus::Published)
            book.itemId = ItemIdOf(ctx, book.code);
        out.books.push_back(std::move(book));
    }
    // Every drop is counted in one of the two boxes; those without a row happened while
    // the list pages were read.
    const long boxes = ctx.counters().Number(CounterBox::PendingFiltered) +
                       ctx.counters().Number(CounterBox::CollectedFiltered);
    out.listStageDropped = std::max(0L, boxes - countedAtDetail);
    out.skipped = out.listStageDropped;
    for (const BookOutcome& b : out.books) {
        switch (b.status) {
            case BookStatus::Published:
                ++out.published;
                break;
            case BookStatus::Skipped:
                ++out.skipped;
                break;
            case BookStatus::Failed:
                ++out.failed;
                break;
            case BookStatus::Unprocessed:
                ++out.unprocessed;
                break;
        }
    }
    out.found = static_cast<long>(out.books.size()) + out.listStageDropped;
    return out;
}

std::string ProgressLine(AppContext& ctx, double elapsedSeconds) {
    const long published = ctx.counters().Number(CounterBox::Published);
    const long failed = ctx.counters().Number(CounterBox::PublishFailed);
    const long skipped = ctx.counters().Number(CounterBox::PendingFiltered) +
                         ctx.counters().Number(CounterBox::CollectedFiltered);
    const long done = published + failed + skipped;
    // Books dropped at the list stage have no row; the total counts them once they are done.
    const long total = std::max<long>(ctx.toCollect().Count(), done);
    std::string line = "processed " + std::to_string(done) + "/" + std::to_string(total) +
                       "  published " + std::to_string(published) + "  skipped " +
                       std::to_string(skipped) + "  failed " + std::to_string(failed) +
                       "  elapsed " + Clock(elapsedSeconds);
    if (done > 0 && total > done)
        line += "  left ~" + Clock(elapsedSeconds / static_cast<double>(done) *
                                   static_cast<double>(total - done));
    return line;
}

std::string Summary(AppContext& ctx, const JobOutcome& o, double elapsedSeconds, bool interrupted) {
    std::string out = "Summary after " + Clock(elapsedSeconds) + ": found " +
                      std::to_string(o.found) + " = published " + std::to_string(o.published) +
                      " + skipped " + std::to_string(o.skipped) + " + failed " +
                      std::to_string(o.failed) + " + left " + std::to_string(o.unprocessed) + "\n";
    auto section = [&](BookStatus status, const char* title, long extra, const char* extraText) {
        std::map<std::string, int> reasons;
        for (const BookOutcome& b : o.books)
            if (b.status == status)
                ++reasons[b.reason];
        if (reasons.empty() && extra == 0)
            return;
        out += std::string("  ") + title + ":\n";
        if (extra > 0)
            out += "    " + std::to_string(extra) + "  " + extraText + "\n";
        for (const auto& [reason, n] : reasons)
            out += "    " + std::to_string(n) + "  " + GbkToUtf8(reason) + "\n";
    };
    section(BookStatus::Skipped, "skipped", o.listStageDropped,
            "dropped while the list pages were read (filters, already collected)");
    section(BookStatus::Failed, "failed", 0, "");
    section(BookStatus::Unprocessed, "left unprocessed", 0, "");
    const int lostPages = ctx.network().LostListPages();
    if (lostPages > 0)
        out += "  " + std::to_string(lostPages) +
               " list pages could not be read: their books were not seen (see the log)\n";
    const std::string stopReason = ctx.network().StopReason();
    if (!stopReason.empty())
        out += "  stopped: " + GbkToUtf8(stopReason) + "\n";
    if (o.found == 0 && lostPages == 0)
        out += "  no books found for this request\n";
    if (interrupted && o.unprocessed > 0)
        out += "  interrupted with " + std::to_string(o.unprocessed) +
               " books left: run the same command again to continue (published books are "
               "skipped)\n";
    const std::string dir = GbkToUtf8(ctx.appDir());
    out += "log:       " + dir + "/Log\n";
    out += "databases: " + dir + "/DataBase\n";
    out += "pictures:  " + dir + "/images\n";
    return out;
}

nlohmann::json ToCollectRowJson(const ToCollectRow& row) {
    return KeyedRow(row, kToCollectKeys, {kNumberCol, kListPriceCol, kSellPriceCol, kPageCountCol});
}

// What the network did to the job: lost list pages, repeated reads, a site that went away.
nlohmann::json NetworkJson(AppContext& ctx) {
    nlohmann::json lost = nlohmann::json::array();
    for (const std::string& address : ctx.network().LostPageAddresses())
        lost.push_back(GbkToUtf8(address));
    const std::string stopReason = ctx.network().StopReason();
    return {
        {"lostListPages", ctx.network().LostListPages()},
        {"lostListPageAddresses", std::move(lost)},
        {"retries",
         {{"store", ctx.health(Site::Store).Retries()},
          {"market", ctx.health(Site::Market).Retries()}}},
        {"stoppedBecause",
         stopReason.empty() ? nlohmann::json(nullptr) : nlohmann::json(GbkToUtf8(stopReason))},
    };
}

nlohmann::json BuildReport(AppContext& ctx, const JobOutcome& o, const ReportInfo& info) {
    nlohmann::json counters = nlohmann::json::object();
    for (int i = 0; i < kCounterBoxes; ++i) {
        auto box = static_cast<CounterBox>(i);
        counters[kCounterKeys[i]] = box == CounterBox::Collecting
                                        ? nlohmann::json(GbkToUtf8(ctx.counters().Text(box)))
                                        : nlohmann::json(ctx.counters().Number(box));
    }
    nlohmann::json books = nlohmann::json::array();
    for (const BookOutcome& b : o.books) {
        books.push_back({
            {"code", GbkToUtf8(b.code)},
            {"title", GbkToUtf8(b.title)},
            {"isbn", b.isbn.empty() ? nlohmann::json(nullptr) : nlohmann::json(b.isbn)},
            {"listPrice", b.listPrice.empty() ? nlohmann::json(nullptr) : Value(b.listPrice)},
            {"sitePrice", b.sitePrice.empty() ? nlohmann::json(nullptr) : Value(b.sitePrice)},
            {"price", b.priced ? Money(b.price) : nlohmann::json(nullptr)},
            {"itemId", b.itemId.empty() ? nlohmann::json(nullptr) : nlohmann::json(b.itemId)},
            {"status", StatusKey(b.status)},
            {"reason", GbkToUtf8(b.reason)},
        });
    }
    nlohmann::json toCollect = nlohmann::json::array();
    for (int i = 0, n = ctx.toCollect().Count(); i < n; ++i) {
        nlohmann::json row = ToCollectRowJson(ctx.toCollect().RowAt(i));
        row["checked"] = ctx.toCollect().Checked(i);
        toCollect.push_back(std::move(row));
    }
    nlohmann::json collected = nlohmann::json::array();
    for (int i = 0, n = ctx.collected().Count(); i < n; ++i) {
        nlohmann::json row = CollectedRowJson(ctx.collected().RowAt(i));
        row["checked"] = ctx.collected().Checked(i);
        collected.push_back(std::move(row));
    }
    const std::string dir = GbkToUtf8(ctx.appDir());
    return {
        {"schemaVersion", kReportSchemaVersion},
        {"command", info.command},
        {"exitCode", info.exitCode},
        {"interrupted", info.interrupted},
        {"cause", info.cause.empty() ? nlohmann::json(nullptr) : nlohmann::json(info.cause)},
        {"elapsedSeconds", static_cast<long>(info.elapsedSeconds * 1000) / 1000.0},
        {"accountState", GbkToUtf8(ctx.session().Title())},
        {"figures",
         {{"found", o.found},
          {"published", o.published},
          {"skipped", o.skipped},
          {"failed", o.failed},
          {"unprocessed", o.unprocessed},
          {"listStageDropped", o.listStageDropped}}},
        {"network", NetworkJson(ctx)},
        {"counters", std::move(counters)},
        {"collectingLabel", GbkToUtf8(ctx.counters().CollectingLabel())},
        {"books", std::move(books)},
        {"toCollect", std::move(toCollect)},
        {"collected", std::move(collected)},
        {"paths",
         {{"log", dir + "/Log"}, {"databases", dir + "/DataBase"}, {"pictures", dir + "/images"}}},
    };
}

bool WriteReport(const nlohmann::json& report, const std::string& utf8Path) {
    const std::string text =
        report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    if (utf8Path == "-") {
        std::cout << text << std::flush;
        return true;
    }
    std::ofstream out(utf8Path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

}  // namespace vt::cli
