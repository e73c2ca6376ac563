#include "app/job_progress.h"

#include <mutex>

#include "base/bounded_lock.h"
#include "core/context.h"

namespace vt {

bool PipelineDrained(AppContext& ctx, bool ignoreCrawl) {
    CollectJob& job = ctx.job();
    if (!ignoreCrawl && job.RunningListThreads.load() != 0)
        return false;
    // The cursors and busy counts move together under this lock; a wait that runs out
    // just answers "not yet".
    if (!LockWithin(job.WorkerCursorLock, 50))
        return false;
    std::lock_guard<std::timed_mutex> held(job.WorkerCursorLock, std::adopt_lock);
    return job.DetailBusy == 0 && job.DetailCursor >= ctx.toCollect().Count() &&
           job.PublishBusy == 0 && job.ProcessingCursor >= ctx.collected().Count();
}

}  // namespace vt
