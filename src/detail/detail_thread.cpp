#include "detail/detail_thread.h"

#include <thread>

#include "base/bounded_lock.h"
#include "core/context.h"
#include "core/session.h"
#include "detail/process_book.h"

namespace vt {

void StartDetailThread(AppContext& ctx, DetailVariant variant) {
    if (variant == DetailVariant::FromPage)
        StartDetailThread(ctx,
                          [](AppContext& c, RowRef row) { return ProcessBookFromPage(c, row); });
    else
        StartDetailThread(ctx,
                          [](AppContext& c, RowRef row) { return ProcessBookFromRow(c, row); });
}

void StartDetailThread(AppContext& ctx, RowProcessor process) {
    ctx.workers().Launch([&ctx, process = std::move(process)] { RunDetailLoop(ctx, process); });
}

void RunDetailLoop(AppContext& ctx, const RowProcessor& process) {
    CollectJob& job = ctx.job();
    ToCollectList& rows = ctx.toCollect();
    bool heldBack = false;  // waiting for the publishers to work off the backlog
    for (;;) {
        // Read before the tests: whatever changes after them ends the idle wait at once.
        const std::uint64_t seen = job.Wake.Generation();
        if (job.RunningListThreads == 0 && rows.Count() == 0)
            return;
        if (ctx.panel().JobStopped())
            return;
        if (WaitIfLoginLapsed(ctx))
            continue;
        RowRef row;
        {
            // A wait that times out takes no row and moves nothing: the next turn
            // tries again. The row is taken together with the list's generation, under
            // the lock that a clear of the list holds while it resets the cursor: the
            // cursor and the row it names always belong to the same list.
            if (!LockWithin(job.WorkerCursorLock, kDetailCursorWaitMs))
                continue;
            std::lock_guard<std::timed_mutex> lock(job.WorkerCursorLock, std::adopt_lock);
            // Once held back, the stage goes on only when half the backlog is worked off:
            // it then reads pages in runs instead of one per published book.
            const int backlog = ctx.collected().Count() - job.ProcessingCursor;
            heldBack = job.RunningPublishers > 0 &&
                       backlog > (heldBack ? kCollectedBacklog / 2 : kCollectedBacklog);
            if (!heldBack && job.DetailCursor < rows.Count()) {
                row = rows.Ref(job.DetailCursor++);
                ++job.DetailBusy;
            }
        }
        if (row.index < 0) {
            job.Wake.WaitAfter(seen);
            continue;
        }
        {
            BusyRelease release(job.DetailBusy);
            if (rows.Holds(row)) {
                try {
                    process(ctx, row);
                } catch (...) {
                    // The row keeps whatever status it has; the stage goes on.
                }
            }
        }
        // A dropped book adds no collected row, yet the publishers may now see the end.
        job.Wake.Notify();
    }
}

}  // namespace vt
