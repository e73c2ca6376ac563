#include "detail/collected_append.h"

#include <mutex>
#include <string>
#include <thread>

#include "base/bounded_lock.h"
#include "core/context.h"

namespace vt {

int AddCollected(AppContext& ctx, std::unique_ptr<O_BookInfo> record) {
    CollectJob& job = ctx.job();
    // The wait is bounded, but a finished book is never given up: wait again.
    while (!LockWithin(job.RowInsertLock, kRowInsertWaitMs)) {
    }
    std::unique_lock<std::timed_mutex> lock(job.RowInsertLock, std::adopt_lock);
    const long number = job.CollectedNumber++;
    CollectedRow row{};
    row[kIdCol] = std::to_string(number);
    // The code and title go in with the row, so no reader ever sees the row without them.
    row[kOuterCodeCol] = record->OuterCode;
    row[kBookNameCol] = record->BookName;
    return ctx.collected().AppendWithRecord(std::move(row), std::move(record));
}

}  // namespace vt
