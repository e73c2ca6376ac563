#include "market/publishing_thread.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <thread>

#include "base/bounded_lock.h"
#include "base/files.h"
#include "base/text.h"
#include "core/context.h"
#include "core/session.h"
#include "detail/image_download.h"
#include "market/on_sale_check.h"
#include "market/preview_item.h"
#include "market/publish_form.h"

namespace vt {
namespace {

constexpr int kJobCursorWaitMs = 50;

// "淘宝状态" of a book an earlier publish put in the shop, found there, whose record could
// not be written: the entry stays and the next attempt asks again. The cause follows.
constexpr char kFoundNotRecorded[] = "上次发布结果未知，店铺中已有，但无法记录";
constexpr int kImportCursorWaitMs = 3000;

// Takes the next collected row under WorkerCursorLock; index -1 when there is none (or
// the wait ran out: the turn is simply lost). Every row below the count is complete, its
// record attached inside the append, so the newest row is taken as soon as it is there.
// The row is taken with the list's generation, under the lock that a clear of the list
// holds while it resets the cursor; a count read before a clear never lets the cursor
// step past a row of the emptied list.
RowRef TakeNextRow(AppContext& ctx, PublishVariant variant, int countBefore) {
    std::timed_mutex& lock = ctx.job().WorkerCursorLock;
    const int waitMs = variant == PublishVariant::Job ? kJobCursorWaitMs : kImportCursorWaitMs;
    if (!LockWithin(lock, waitMs))
        return RowRef();
    std::lock_guard<std::timed_mutex> held(lock, std::adopt_lock);
    const int now = ctx.collected().Count();
    const int count = variant == PublishVariant::Job ? std::min(countBefore, now) : now;
    int& cursor = ctx.job().ProcessingCursor;
    if (cursor >= count)
        return RowRef();
    ++ctx.job().PublishBusy;
    return ctx.collected().Ref(cursor++);
}

// Sleeps out the rest of the pacing period, leaving early when the job is stopped.
void Pace(AppContext& ctx, std::time_t started) {
    const long elapsedMs = static_cast<long>(std::time(nullptr) - started) * 1000;
    const long pacingMs = ctx.publishing().PublishPacingMs();
    if (elapsedMs > pacingMs)
        return;
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(pacingMs - elapsedMs);
    WorkSignal& wake = ctx.job().Wake;
    for (;;) {
        const std::uint64_t seen = wake.Generation();
        if (std::chrono::steady_clock::now() >= until || ctx.panel().JobStopped())
            return;
        wake.WaitAfter(seen, until);
    }
}

// Nothing more can reach the collected list: no crawler runs and the detail stage has
// finished every to-collect row. A short crawl ends long before its books are read, and
// leaving on the still-empty collected list then would strand every book collected later.
bool UpstreamDone(AppContext& ctx) {
    CollectJob& job = ctx.job();
    if (job.RunningListThreads != 0)
        return false;
    if (!LockWithin(job.WorkerCursorLock, kJobCursorWaitMs))
        return false;
    std::lock_guard<std::timed_mutex> held(job.WorkerCursorLock, std::adopt_lock);
    return job.DetailBusy == 0 && job.DetailCursor >= ctx.toCollect().Count();
}

// The cookie of the listed account with that nick; the session's own cookie when the
// posting account named none. Empty when no such account is logged in now.
std::string PostingCookie(AppContext& ctx, const std::string& nick) {
    Session& session = ctx.session();
    if (nick.empty())
        return session.SellerCookie();
    for (const AccountRow& account : session.Accounts())
        if (SellerNickname(account.cookie) == nick)
            return account.cookie;
    const std::string seller = session.SellerCookie();
    return SellerNickname(seller) == nick ? seller : std::string();
}

// The seller's words for a failed write; a full or read-only folder stops the job too.
std::string StorageCause(AppContext& ctx, WriteOutcome failed, const std::string& folder) {
    if (IsStorageFault(failed.error))
        ctx.StopForStorage(folder, failed.error);
    return WriteErrorText(failed.error);
}

// A book left in the publish journal by an earlier attempt is looked up in the shop of the
// account that posted it before anything else is sent. True when the book may be
// published; otherwise the row says why not and its record is let go. The caller holds
// the book's claim.
bool SettleEarlierPublish(AppContext& ctx, O_BookInfo& book, RowRef row) {
    const std::string code = Trim(book.OuterCode);
    if (code.empty())
        return true;
    const std::optional<UnknownPublish> entry = ctx.db().FindUnknownPublish(code);
    if (!entry)
        return true;
    OnSaleLookup lookup;
    // The goods token belongs to the session it was read with, and a foreign one gets an
    // empty list: token and query go with the one cookie.
    const std::string cookie = PostingCookie(ctx, entry->nick);
    if (cookie.empty())
        lookup.why = "发布账号" + entry->nick + "未登录";
    else
        lookup = LookUpOnSale(ctx, code, FetchGoodsToken(ctx, cookie), cookie);

    std::string status;
    switch (lookup.outcome) {
        case OnSaleLookup::Found:
            if (const WriteOutcome recorded = ctx.db().RecordPublished(code, lookup.ids.front());
                !recorded)
                status = std::string(kFoundNotRecorded) + "（" +
                         StorageCause(ctx, recorded, ctx.DataBaseDir()) + "）";
            else
                status = kAlreadyPublished;
            break;
        case OnSaleLookup::NotFound:
            if (entry->forSale) {
                // The entry is written anew before the post; only a folder that cannot be
                // written at all keeps the book back.
                const WriteOutcome cleared = ctx.db().ClearPublishEntry(code);
                if (cleared || !IsStorageFault(cleared.error))
                    return true;
                status = "失败：无法写入发布记录（" +
                         StorageCause(ctx, cleared, ctx.DataBaseDir()) + "）";
                break;
            }
            status = kUnknownInWarehouse;
            break;
        case OnSaleLookup::CouldNotAsk:
            status = std::string(kUnknownNotAsked) + "（" + lookup.why + "）";
            break;
    }
    if (status != kAlreadyPublished)
        ctx.log().WriteLog(status + ":" + code + ",发布于" + entry->since);
    ctx.collected().SetCell(row, kMarketStateCol, status);
    ctx.collected().ReleaseRecord(row, &book);
    return false;
}

// Builds and publishes the item of one book and releases the row's record. False when
// the book has no list price. The caller holds the book's claim and paces.
bool PublishBook(AppContext& ctx, O_BookInfo& book, RowRef row) {
    PublishItem item;
    const std::string error = BuildPublishItem(ctx, book, item);
    if (!error.empty()) {
        ctx.collected().SetCell(row, kMarketStateCol, error);
        return false;
    }
    const bool published = PublishOne(ctx, item, row, NextPublishCookie(ctx));
    // A row is taken once: after a new login the threads go on with the next row, so a
    // book that failed is never tried and counted again. One that found the login lapsed
    // says so instead of staying at "正在获取数据信息".
    if (published)
        ctx.collected().SetCell(row, kMarketStateCol, "上传成功");
    else if (ctx.collected().Cell(row, kMarketStateCol) == "正在获取数据信息")
        ctx.collected().SetCell(row, kMarketStateCol, kLapsedNotPublished);
    ctx.collected().SetItemCategory(row, item.CategoryId);
    ctx.collected().ReleaseRecord(row, &book);
    return true;
}

}  // namespace

void PublishingThread(AppContext& ctx, PublishVariant variant) {
    // Counted while it runs; its leaving wakes a detail stage that waits on the backlog.
    struct Running {
        explicit Running(CollectJob& j) : job(j) { ++job.RunningPublishers; }
        ~Running() {
            --job.RunningPublishers;
            job.Wake.Notify();
        }
        CollectJob& job;
    } running(ctx.job());
    for (;;) {
        try {
            // Read before the tests: whatever changes after them ends the idle wait at once.
            const std::uint64_t seen = ctx.job().Wake.Generation();
            if (ctx.collected().Count() == 0 && UpstreamDone(ctx))
                return;
            if (ctx.panel().JobStopped())
                return;
            if (WaitIfLoginLapsed(ctx))
                continue;
            const int count = ctx.collected().Count();
            const RowRef row = count > 0 ? TakeNextRow(ctx, variant, count) : RowRef();
            if (row.index < 0) {
                ctx.job().Wake.WaitAfter(seen);
                continue;
            }
            BusyRelease release(ctx.job().PublishBusy);
            // One book fewer waiting: a detail stage held back by the backlog may go on.
            ctx.job().Wake.Notify();
            // A row whose book was already handled in an earlier pass holds no record.
            std::shared_ptr<O_BookInfo> book = ctx.collected().Record(row);
            if (!book)
                continue;
            ctx.collected().SetCell(row, kMarketStateCol, "正在获取数据信息");
            ProcessCollectedBook(ctx, *book, row);
        } catch (...) {
            // One book's failure costs that book only.
        }
    }
}

void StartPublishingThreads(AppContext& ctx, int count, bool importVariant) {
    const PublishVariant variant = importVariant ? PublishVariant::Import : PublishVariant::Job;
    for (int i = 0; i < count; ++i)
        ctx.workers().Launch([&ctx, variant] { PublishingThread(ctx, variant); });
}

void ProcessCollectedBook(AppContext& ctx, O_BookInfo& book, RowRef row) {
    std::time_t started = 0;
    bool sent = false;
    {
        PublishClaim claim(ctx.job().Publishing, Trim(book.OuterCode));
        // A book listed twice (a promotion naming it twice, overlapping categories) passes
        // the detail stage twice before its first copy is published: the shop would get it
        // twice.
        if (ctx.db().IsPublished(Trim(book.OuterCode))) {
            // A journal entry the record outlived (its clear failed) has nothing to settle;
            // one that cannot be dropped now is harmless, the record is looked at first.
            if (ctx.db().IsPublishUnknown(Trim(book.OuterCode)))
                if (const WriteOutcome cleared = ctx.db().ClearPublishEntry(Trim(book.OuterCode));
                    !cleared)
                    StorageCause(ctx, cleared, ctx.DataBaseDir());
            ctx.collected().SetCell(row, kMarketStateCol, kAlreadyPublished);
            ctx.collected().ReleaseRecord(row, &book);
            return;
        }
        if (ctx.job().PreviewOnly) {
            PreviewBook(ctx, book, row);
            return;
        }
        // Before the picture: nothing is sent for a book that is already in the shop.
        if (!SettleEarlierPublish(ctx, book, row))
            return;
        const ImageTarget target = ImageFilePath(ctx, book);
        if (!target.refusal.empty()) {
            ctx.collected().SetCell(row, kImageStateCol, target.refusal);
            return;
        }
        RestoreLastWriteError(WriteError::None);
        const int code = DownloadBookImage(ctx, book, target);
        std::string pictureState = DownloadMessage(code);
        // A picture that could not be saved for the disk's sake: every next one would fail
        // the same way.
        if (const WriteError cause = LastWriteError();
            code == kImageFileError && cause != WriteError::None)
            pictureState += "（" + StorageCause(ctx, {cause}, ctx.ImagesDir()) + "）";
        ctx.collected().SetCell(row, kImageStateCol, pictureState);
        ctx.counters().SetNumber(CounterBox::Collected, ctx.collected().Count());
        if (code != kImageSaved)
            return;
        started = std::time(nullptr);
        sent = PublishBook(ctx, book, row);
    }
    // The claim is let go first: a second copy of the book need not wait out the pacing.
    if (sent)
        Pace(ctx, started);
}

bool UploadBook(AppContext& ctx, O_BookInfo& book, RowRef row) {
    const std::time_t started = std::time(nullptr);
    {
        PublishClaim claim(ctx.job().Publishing, Trim(book.OuterCode));
        if (!SettleEarlierPublish(ctx, book, row))
            return true;
        if (!PublishBook(ctx, book, row))
            return false;
    }
    Pace(ctx, started);
    return true;
}

}  // namespace vt
