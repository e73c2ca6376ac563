// The bridge from worker threads to the window. An observer callback may run on any
// thread, and may still run briefly after it was unsubscribed; so it never touches a
// widget: it posts a queued call to a receiver on the window's thread through a relay
// that the receiver detaches (under the relay's lock) before it dies. Posted calls to a
// receiver that is gone are dropped by Qt.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace vt::ui {

class UiRelay {
public:
    explicit UiRelay(QObject* receiver) : receiver_(receiver) {}

    // Any thread: runs f later on the receiver's thread, unless the receiver is gone.
    void Post(std::function<void()> f) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (receiver_)
            QMetaObject::invokeMethod(receiver_, std::move(f), Qt::QueuedConnection);
    }
    void Detach() {
        std::lock_guard<std::mutex> lock(mutex_);
        receiver_ = nullptr;
    }

private:
    std::mutex mutex_;
    QObject* receiver_;
};

// Observer subscriptions of one widget, undone (then the relay detached) when it dies.
class Subscriptions {
public:
    explicit Subscriptions(QObject* receiver) : relay_(std::make_shared<UiRelay>(receiver)) {}
    ~Subscriptions() { Release(); }
    Subscriptions(const Subscriptions&) = delete;
    Subscriptions& operator=(const Subscriptions&) = delete;

    const std::shared_ptr<UiRelay>& relay() const { return relay_; }
    void Add(std::function<void()> unsubscribe) { undo_.push_back(std::move(unsubscribe)); }
    void Release() {
        for (auto& u : undo_) u();
        undo_.clear();
        relay_->Detach();
    }

private:
    std::shared_ptr<UiRelay> relay_;
    std::vector<std::function<void()>> undo_;
};

}  // namespace vt::ui
