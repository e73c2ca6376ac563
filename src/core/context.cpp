#include "core/context.h"

#include <cstdlib>

namespace vt {
namespace {

const char* SiteName(Site site) {
    return site == Site::Store ? "Vantrell网站" : "淘宝网";
}

// The checked settings hold plain numbers; anything else (an override never checked)
// counts as 0, the plain single attempt.
int SettingNumber(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return value > 0 && value < 100000 ? static_cast<int>(value) : 0;
}

}  // namespace

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
    for (Site site : {Site::Store, Site::Market})
        health(site).SetOnDown([this, site](const std::string& error) {
            // Going on would only mark every remaining book failed: stop, and say why.
            const std::string reason = std::string(SiteName(site)) + "连续" +
                                       std::to_string(SettingNumber(config_.SiteDownFailures())) +
                                       "次无法访问（" + error + "），已停止采集";
            network_.SetStopReason(reason);
            log_.WriteLog(reason);
            panel_.PressStop();
            ShowMessage(reason);
        });
}

HttpOptions AppContext::ReadOptions(Site site) {
    HttpOptions options;
    options.retries = SettingNumber(config_.RetryCount());
    options.retryDelayMs = retryDelayMs_;
    options.maxBodyBytes = SizeLimitFromKb(config_.MaxPageKB(), kDefaultMaxPageBytes);
    // Only a read of a running job is given up by its stop; a read outside any job (the
    // category tree, a login) has no stop to wait for.
    if (!panel_.JobStopped())
        options.cancelled = [this] { return panel_.JobStopped(); };
    options.health = &health(site);
    return options;
}

void AppContext::BeginNetworkRecord() {
    const int limit = SettingNumber(config_.SiteDownFailures());
    for (Site site : {Site::Store, Site::Market}) {
        health(site).Reset();
        health(site).SetLimit(limit);
    }
    network_.Reset();
}

std::string AppContext::StopForStorage(const std::string& folder, WriteError cause) {
    const std::string reason = "文件夹" + folder +
                               (cause == WriteError::NoSpace ? "磁盘空间不足" : "无法写入") +
                               "，已停止采集";
    // Said once: the books still in flight fail on the same cause after the stop.
    if (network_.SetStopReason(reason)) {
        log_.WriteLog(reason);
        panel_.PressStop();
        ShowMessage(reason);
    } else {
        panel_.PressStop();
    }
    return reason;
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
