// The list crawlers: worker threads that share the job's page counter, so every page
// number goes to exactly one crawler, fetch their pages and hand them to the parser of
// their layout. Each crawler is counted in RunningListThreads by the job start before it
// runs and takes itself off the count when it ends; it leaves after its current page once
// the job is stopped.
#pragma once

#include <optional>
#include <string>

#include "core/book_types.h"

namespace vt {

class AppContext;
struct CollectJob;

// Keyword jobs: UrlTemplate with "{0}" replaced by the page number; page 0 is skipped; a
// page that reports no products ends this crawler.
void KeywordCrawler(AppContext& ctx);
// Promotion jobs: UrlTemplate with "[pages]" replaced by the page number; a page that
// reports no products ends this crawler.
void PromoCrawler(AppContext& ctx);
// Category jobs: the entries one after the other, the first from the "from" page, every
// later one from page 0, each to the "to" page. A page that reports no products is
// skipped. Posts the finish message when it ends.
void CategoryCrawler(AppContext& ctx);

// The page numbers handed out under WorkerCursorLock. A number past "to" is never handed
// out (the crawler ends instead); a wait that times out hands out nothing and changes
// nothing, and the crawler tries again.
struct PageTurn {
    enum Kind { Page, Exhausted, Busy } kind = Busy;
    int page = 0;
    UrlAndFenlei entry;  // category jobs
};
PageTurn TakeListPage(CollectJob& job, int toPage, int waitMs);
// Category jobs: the entry and its page in one step; taking page "to" of an entry moves
// on to the next entry, whose pages start at 0.
PageTurn TakeCategoryPage(CollectJob& job, int toPage, int waitMs);

// The "from" and "to" settings as page numbers (text that is not a number counts as 0).
int FromPageSetting(AppContext& ctx);
int ToPageSetting(AppContext& ctx);

}  // namespace vt
