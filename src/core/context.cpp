#include "core/context.h"

namespace vt {

AppContext::AppContext(std::string appDir)
    : appDir_(std::move(appDir)), log_(appDir_ + "/Log"), db_(DataBaseDir()) {
    // A missing or incomplete file leaves roles without a host; front ends show the
    // loader's problem.
    hosts_.Load(DataDir() + "/Hosts.ini");
    // What the idle workers wait for. The lists and the panel outlive every worker (the
    // destructor joins them first), so these subscriptions need no undoing.
    auto rowsChanged = [this](const ListChange& change) {
        if (change.kind == ListChange::RowAppended || change.kind == ListChange::Cleared)
            job_.Wake.Notify();
    };
    toCollect_.Subscribe(rowsChanged);
    collected_.Subscribe(rowsChanged);
    panel_.Subscribe([this](const PanelChange& change) {
        if (change.kind == PanelChange::ButtonsChanged)
            job_.Wake.Notify();
    });
    session_.loginObservers().Subscribe([this](bool) { job_.Wake.Notify(); });
}

AppContext::~AppContext() {
    panel_.PressStop();
    workers_.JoinAll();
}

void AppContext::SetMessageSink(std::function<void(const std::string&)> sink) {
    std::lock_guard<std::mutex> lock(messageMutex_);
    messageSink_ = std::move(sink);
}

void AppContext::ShowMessage(const std::string& text) {
    std::function<void(const std::string&)> sink;
    {
        std::lock_guard<std::mutex> lock(messageMutex_);
        sink = messageSink_;
    }
    if (sink)
        sink(text);
}

void AppContext::PostFinishMessage() {
    if (finishCount_.fetch_add(1) == 2)
        counters_.SetCollectingLabel("类目分析完成");
}

}  // namespace vt
