#include "collect/list_crawlers.h"

#include <algorithm>
#include <climits>
#include <thread>

#include "base/bounded_lock.h"
#include "base/hosts.h"
#include "base/http_client.h"
#include "collect/list_parsers.h"
#include "collect/list_url.h"
#include "core/context.h"
#include "core/setting_checks.h"
#include "detail/book_filters.h"

namespace vt {
namespace {

std::string ReplaceAll(std::string text, const std::string& token, const std::string& by) {
    for (std::size_t at = text.find(token); at != std::string::npos;
         at = text.find(token, at + by.size()))
        text.replace(at, token.size(), by);
    return text;
}

// Takes the crawler off the running count however it leaves.
class RunningCrawler {
public:
    explicit RunningCrawler(CollectJob& job) : job_(job) {}
    ~RunningCrawler() {
        --job_.RunningListThreads;
        job_.Wake.Notify();  // the detail thread may end, the publishers may drain
    }
    RunningCrawler(const RunningCrawler&) = delete;
    RunningCrawler& operator=(const RunningCrawler&) = delete;

private:
    CollectJob& job_;
};

// Reads one list page; a page the network lost (after its retries) is noted for the
// seller and the job's outcome, and its books are simply not seen: false then.
bool ReadListPage(AppContext& ctx, const std::string& address, std::string& page) {
    PageResult read = HttpHelper::ReadPage(address, ctx.ReadOptions(Site::Store));
    if (read.Failed()) {
        ctx.network().NoteLostListPage(address);
        ctx.log().WriteLog("列表页读取失败：" + address + "，" + read.error);
        // The window's collecting box shows it until the next page is read.
        ctx.counters().SetText(CounterBox::Collecting, "列表页读取失败：" + address);
        return false;
    }
    page = std::move(read.text);
    return true;
}

// The keyword and promotion crawlers differ only in the page token, the parser and the
// page 0 rule.
void PagedCrawler(AppContext& ctx, const char* token,
                  void (*parse)(AppContext&, const std::string&), bool skipPageZero) {
    CollectJob& job = ctx.job();
    RunningCrawler running(job);
    const int to = ToPageSetting(ctx);
    while (!ctx.panel().JobStopped()) {
        const PageTurn turn = TakeListPage(job, to, kCrawlerCursorWaitMs);
        if (turn.kind == PageTurn::Exhausted)
            break;
        if (turn.kind == PageTurn::Busy)
            continue;
        try {
            const std::string address =
                ReplaceAll(job.UrlTemplate, token, std::to_string(turn.page));
            if (skipPageZero && address.find("page_index=0") != std::string::npos)
                continue;
            ctx.counters().SetText(CounterBox::Collecting, address);
            std::string page;
            if (!ReadListPage(ctx, address, page))
                continue;
            if (ReportsNoProducts(page))
                break;
            parse(ctx, page);
        } catch (...) {
            // Costs this page only.
        }
    }
}

}  // namespace

namespace {

// A page number typed into a settings box while a job runs is not checked: clamp it so a
// long row of digits cannot wrap round to a negative page.
int PageNumber(const std::string& text) {
    return static_cast<int>(std::clamp<long>(SettingInteger(text), INT_MIN / 2, INT_MAX / 2));
}

}  // namespace

int FromPageSetting(AppContext& ctx) {
    return PageNumber(ctx.config().StartPageFrom());
}

int ToPageSetting(AppContext& ctx) {
    return PageNumber(ctx.config().CaiJiYeShu());
}

PageTurn TakeListPage(CollectJob& job, int toPage, int waitMs) {
    PageTurn turn;
    if (!LockWithin(job.WorkerCursorLock, waitMs))
        return turn;
    std::unique_lock<std::timed_mutex> lock(job.WorkerCursorLock, std::adopt_lock);
    if (job.NextPage > toPage) {
        turn.kind = PageTurn::Exhausted;
        return turn;
    }
    turn.kind = PageTurn::Page;
    turn.page = job.NextPage++;
    return turn;
}

PageTurn TakeCategoryPage(CollectJob& job, int toPage, int waitMs) {
    PageTurn turn;
    if (!LockWithin(job.WorkerCursorLock, waitMs))
        return turn;
    std::unique_lock<std::timed_mutex> lock(job.WorkerCursorLock, std::adopt_lock);
    // Past the last entry, or a "from" page already past "to": nothing is left to take.
    if (job.EntryIndex < 0 || job.EntryIndex >= static_cast<int>(job.Entries.size()) ||
        job.NextPage > toPage) {
        turn.kind = PageTurn::Exhausted;
        return turn;
    }
    turn.kind = PageTurn::Page;
    turn.entry = job.Entries[job.EntryIndex];
    turn.page = job.NextPage++;
    if (turn.page == toPage) {
        ++job.EntryIndex;
        job.NextPage = 0;
    }
    return turn;
}

void KeywordCrawler(AppContext& ctx) {
    PagedCrawler(ctx, "{0}", &ParseSearchPage, true);
}

void PromoCrawler(AppContext& ctx) {
    PagedCrawler(ctx, "[pages]", &ParsePromoPage, false);
}

void CategoryCrawler(AppContext& ctx) {
    CollectJob& job = ctx.job();
    {
        RunningCrawler running(job);
        bool more = true;
        while (more && !ctx.panel().JobStopped()) {
            // Read again at every pass: the seller may change them while the job runs.
            const std::string sortLabel = ctx.panel().SortLabel();
            const int to = ToPageSetting(ctx);
            while (!ctx.panel().JobStopped()) {
                const PageTurn turn = TakeCategoryPage(job, to, kCrawlerCursorWaitMs);
                if (turn.kind == PageTurn::Exhausted) {
                    more = false;
                    break;
                }
                if (turn.kind == PageTurn::Busy)
                    continue;
                try {
                    job.SetCurrentFenlei(turn.entry.Fenlei);
                    std::string address =
                        BuildListUrl(turn.entry.Url, sortLabel, ctx.panel().Filters(),
                                     ctx.hosts().Host(HostRole::SourceCategory));
                    address = InsertPageMarker(address, turn.page);
                    if (!address.empty() && address[0] == '/')
                        address = ctx.hosts().Url(HostRole::SourceCategory, address);
                    ctx.counters().SetText(CounterBox::Collecting, address);
                    std::string page;
                    if (!ReadListPage(ctx, address, page))
                        continue;
                    if (ReportsNoProducts(page))
                        break;
                    ParseCategoryPage(ctx, page);
                } catch (...) {
                    // Costs this page only.
                }
            }
        }
    }
    ctx.PostFinishMessage();
}

}  // namespace vt
