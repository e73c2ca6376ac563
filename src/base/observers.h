// A small thread-safe observer list. Callbacks run on the thread that made the change,
// outside the observed object's lock; the desktop layer marshals them onto its own thread.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace vt {

template <typename Event>
class Observers {
public:
    using Callback = std::function<void(const Event&)>;

    int Subscribe(Callback cb) {
        std::lock_guard<std::mutex> lock(mutex_);
        int id = ++lastId_;
        callbacks_.emplace(id, std::move(cb));
        return id;
    }

    void Unsubscribe(int id) {
        std::lock_guard<std::mutex> lock(mutex_);
        callbacks_.erase(id);
    }

    void Notify(const Event& event) const {
        std::vector<Callback> copy;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (callbacks_.empty())
                return;
            copy.reserve(callbacks_.size());
            for (const auto& [id, cb] : callbacks_) copy.push_back(cb);
        }
        for (const auto& cb : copy) cb(event);
    }

private:
    mutable std::mutex mutex_;
    std::map<int, Callback> callbacks_;
    int lastId_ = 0;
};

}  // namespace vt
