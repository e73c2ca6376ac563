#include "support/market_stage.h"

#include <cstdlib>

#include "app/hosts.h"

namespace vt::testing {

namespace {

// Requests to the stand-ins never go through a proxy a developer may have set.
void BypassProxies() {
    setenv("no_proxy", "127.0.0.1", 1);
    setenv("NO_PROXY", "127.0.0.1", 1);
}

}  // namespace

MarketStage::MarketStage(sim::MarketOptions options)
    : dir_(true), ctx_(dir_.path()), market_(std::move(options)) {
    BypassProxies();
    started_ = market_.Start("127.0.0.1", 0);
    for (HostRole role : {HostRole::MarketLogin, HostRole::MarketUpload, HostRole::MarketSell,
                          HostRole::MarketTrade, HostRole::MarketAdvertising, HostRole::MarketMain,
                          HostRole::MarketImageCdn})
        ctx_.hosts().Set(role, market_.origin());
    ctx_.session().SetMessageHandler([this](const std::string& m) { messages_.push_back(m); });
}

std::vector<sim::HttpRequest> MarketStage::RequestsTo(const std::string& path) {
    std::vector<sim::HttpRequest> found;
    for (const sim::HttpRequest& req : market_.server().Requests())
        if (req.path == path)
            found.push_back(req);
    return found;
}

}  // namespace vt::testing
