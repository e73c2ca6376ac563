// The detail stage's worker: one thread per job walks the to-collect list in list order,
// each row once, while the crawlers are still appending, and processes each row with the
// job's variant. It ends when the job is stopped, or when no crawler runs and the list is
// empty; while the marketplace login has lapsed it idles without taking a row.
#pragma once

#include <functional>

#include "core/work_lists.h"

namespace vt {

class AppContext;

// Keyword and category jobs read the book from its row; promotion jobs (and imported
// codes) from the product page alone.
enum class DetailVariant { FromRow, FromPage };

// Processes one to-collect row; true when the book went to the collected list. The row is
// the one the thread took: once the list is cleared, the processor's writes for it drop.
using RowProcessor = std::function<bool(AppContext&, RowRef row)>;

// Launches the thread through ctx.workers(). The job start has reset DetailCursor and
// started the crawlers first.
void StartDetailThread(AppContext& ctx, DetailVariant variant);
void StartDetailThread(AppContext& ctx, RowProcessor process);

// The thread's loop, run on the calling thread.
void RunDetailLoop(AppContext& ctx, const RowProcessor& process);

}  // namespace vt
