// Network work started by a control runs here, off the window's thread, so a slow site
// never freezes the window. One task at a time per owner; the owner's destructor waits.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace vt::ui {

class BackgroundTask {
public:
    BackgroundTask() = default;
    ~BackgroundTask() { Wait(); }
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    // False while a task still runs (the control stays disabled until it is done).
    // `done` runs on the worker thread after `work`; it should only post to the window.
    bool Run(std::function<void()> work, std::function<void()> done);
    bool Busy() const { return busy_.load(); }
    void Wait();

private:
    std::thread thread_;
    std::atomic<bool> busy_{false};
};

}  // namespace vt::ui
