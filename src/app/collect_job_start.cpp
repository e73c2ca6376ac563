#include "app/collect_job_start.h"

#include "base/encoders.h"
#include "base/hosts.h"
#include "base/http_client.h"
#include "collect/list_crawlers.h"
#include "collect/list_url.h"
#include "core/context.h"
#include "core/session.h"
#include "detail/book_filters.h"
#include "detail/detail_thread.h"
#include "market/category_lookup.h"
#include "market/on_sale_check.h"

namespace vt {
namespace {

const char kNotLoggedIn[] = "未登录，请先在多开页面登录，然后再点开始采集。";
const char kTooManyFilters[] = "筛选条件太多了，没有找到相关商品";
const char kNoShopCategories[] = "要获取淘宝店铺分类，需要先登录,不需要按分类发布，请忽略提示";

int ListedAccounts(AppContext& ctx) {
    return ctx.session().AccountCount();
}

bool CheckAccountListed(AppContext& ctx) {
    if (ListedAccounts(ctx) > 0)
        return true;
    ctx.ShowMessage(kNotLoggedIn);
    return false;
}

void StartPublishers(AppContext& ctx, int count) {
    if (ctx.stages().startPublishers)
        ctx.stages().startPublishers(count, false);
}

template <typename Crawler>
void StartCrawlers(AppContext& ctx, int count, Crawler crawler) {
    for (int i = 0; i < count; ++i) {
        // Counted from its creation, so the detail thread never sees an ended crawl
        // before the crawl has begun.
        ++ctx.job().RunningListThreads;
        ctx.workers().Launch([&ctx, crawler] { crawler(ctx); });
    }
}

// The cursors and counters every job starts from. The previous job's workers
// have ended, so nothing else touches them; the locks only keep the front end's
// own resets in order.
void ResetCrawl(AppContext& ctx) {
    CollectJob& job = ctx.job();
    {
        std::lock_guard<std::timed_mutex> lock(job.WorkerCursorLock);
        job.NextPage = FromPageSetting(ctx);
        job.EntryIndex = 0;
        job.DetailCursor = 0;
    }
    {
        std::lock_guard<std::timed_mutex> lock(job.RowInsertLock);
        job.RowCounter = 0;
    }
    job.RunningListThreads = 0;
    job.PreviewOnly = ctx.panel().PreviewOnly();
    ctx.BeginNetworkRecord();
    ctx.toCollect().Clear();
    ctx.db().OpenFilterDb();
}

bool StartKeywordMode(AppContext& ctx, CollectInput input, const char* emptyMessage) {
    const std::string text = ctx.panel().Input(input);
    if (text.empty()) {
        ctx.ShowMessage(emptyMessage);
        return false;
    }
    ctx.workers().JoinAll();
    if (input == CollectInput::Title) {
        // Only a title search starts from empty results.
        ctx.toCollect().Clear();
        ctx.collected().Clear();
        ctx.counters().Clear(CounterBox::ToCollect);
        ctx.counters().Clear(CounterBox::Collected);
        // The publishing cursor indexes the collected list: rows appended to the
        // emptied list start again at 0 and would otherwise be passed over.
        std::lock_guard<std::timed_mutex> lock(ctx.job().WorkerCursorLock);
        ctx.job().ProcessingCursor = 0;
    }
    RebuildFilterWords(ctx);
    if (!CheckAccountListed(ctx))
        return false;
    ctx.panel().SetRunning();
    return StartSearchJob(ctx, text, ctx.panel().SortLabel());
}

}  // namespace

bool StartCollection(AppContext& ctx) {
    CollectionPanel& panel = ctx.panel();
    std::lock_guard<std::mutex> starting(ctx.job().StartLock);
    if (!panel.StartEnabled())
        return false;
    switch (panel.Mode()) {
        case CollectMode::Title:
            return StartKeywordMode(ctx, CollectInput::Title, "图书名不能为空！");
        case CollectMode::Author:
            return StartKeywordMode(ctx, CollectInput::Author, "作者不能为空！");
        case CollectMode::Publisher:
            return StartKeywordMode(ctx, CollectInput::Publisher, "出版社不能为空！");
        case CollectMode::Category:
            ctx.workers().JoinAll();
            RebuildFilterWords(ctx);
            ctx.job().Entries = CollectCheckedCategories(panel.tree());
            if (!CheckAccountListed(ctx))
                return false;
            panel.SetRunning();
            return StartCategoryJob(ctx);
        case CollectMode::Promo: {
            const std::string address = panel.Input(CollectInput::PromoAddress);
            if (address.empty()) {
                ctx.ShowMessage("活动地址不能为空哦！");
                return false;
            }
            ctx.workers().JoinAll();
            RebuildFilterWords(ctx);
            if (!CheckAccountListed(ctx))
                return false;
            panel.SetRunning();
            return StartPromoJob(ctx, address);
        }
        case CollectMode::None:
            break;
    }
    return false;
}

bool StartSearchJob(AppContext& ctx, const std::string& keyword, const std::string& sortLabel) {
    CollectJob& job = ctx.job();
    job.GoodsToken = FetchGoodsToken(ctx);
    ResetCrawl(ctx);
    std::string address =
        ctx.hosts().Url(HostRole::SourceSearch,
                        "/?key=" + UrlEncodeAnsi(keyword) + "&category_path=01.00.00.00.00.00");
    address = BuildListUrl(address, sortLabel, ctx.panel().Filters(),
                           ctx.hosts().Host(HostRole::SourceCategory));
    if (HttpHelper::GetPage(address, ctx.ReadOptions(Site::Store)).find(kTooManyFilters) !=
        std::string::npos) {
        // The buttons stay as they are: the seller presses stop to start again.
        ctx.ShowMessage(kTooManyFilters);
        return false;
    }
    job.UrlTemplate = address + "&page_index={0}";
    job.SetCurrentFenlei(keyword);

    StartCrawlers(ctx, kKeywordCrawlers, &KeywordCrawler);
    StartDetailThread(ctx, DetailVariant::FromRow);
    StartPublishers(ctx, ListedAccounts(ctx));
    return true;
}

bool StartCategoryJob(AppContext& ctx) {
    ResetCrawl(ctx);
    if (!ShopCategoriesLoaded(ctx))
        ctx.ShowMessage(kNoShopCategories);
    StartCrawlers(ctx, kCategoryCrawlers, &CategoryCrawler);
    StartDetailThread(ctx, DetailVariant::FromRow);
    StartPublishers(ctx, ListedAccounts(ctx));
    return true;
}

bool StartPromoJob(AppContext& ctx, const std::string& address) {
    CollectJob& job = ctx.job();
    job.GoodsToken = FetchGoodsToken(ctx);
    job.UrlTemplate = address;
    if (address.find("page_index") == std::string::npos)
        job.UrlTemplate += "?page_index=[pages]";
    ResetCrawl(ctx);
    {
        std::lock_guard<std::timed_mutex> lock(job.WorkerCursorLock);
        job.ProcessingCursor = 0;
    }
    StartCrawlers(ctx, kPromoCrawlers, &PromoCrawler);
    StartDetailThread(ctx, DetailVariant::FromPage);
    StartPublishers(ctx, 1);
    return true;
}

}  // namespace vt
