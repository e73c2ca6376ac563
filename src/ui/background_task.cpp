#include "ui/background_task.h"

namespace vt::ui {

bool BackgroundTask::Run(std::function<void()> work, std::function<void()> done) {
    if (busy_.exchange(true))
        return false;
    if (thread_.joinable())
        thread_.join();  // the previous task has ended: it cleared busy_ as its last step
    thread_ = std::thread([this, work = std::move(work), done = std::move(done)] {
        try {
            work();
        } catch (...) {
        }
        busy_ = false;
        if (done)
            done();
    });
    return true;
}

void BackgroundTask::Wait() {
    if (thread_.joinable())
        thread_.join();
}

}  // namespace vt::ui
