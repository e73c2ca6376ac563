// The start of a collection job: the request of the chosen mode is checked, the shared
// job state is reset, the list addresses are built and the workers are started (list
// crawlers, one detail thread, the publishing threads). The seller's input errors go to
// the context's message sink. Runs on the front end's thread.
#pragma once

#include <string>

namespace vt {

class AppContext;

// "开始采集". Does nothing while the start button is disabled (a job still runs) or when
// no mode is chosen. Waits for the workers of the stopped job before anything is reset.
// True when workers were started.
bool StartCollection(AppContext& ctx);

// The three job starters; each resets what its job uses and starts its workers. True
// when workers were started (a keyword search whose first page says there are too many
// filters starts none).
bool StartSearchJob(AppContext& ctx, const std::string& keyword, const std::string& sortLabel);
bool StartCategoryJob(AppContext& ctx);
bool StartPromoJob(AppContext& ctx, const std::string& address);

// The number of crawlers each kind of job starts.
inline constexpr int kKeywordCrawlers = 3;
inline constexpr int kCategoryCrawlers = 3;
inline constexpr int kPromoCrawlers = 10;

}  // namespace vt
