#include "support/market_stage.h"

#include "support/stand_in_hosts.h"

namespace vt::testing {

MarketStage::MarketStage(sim::MarketOptions options)
    : dir_(true), ctx_(dir_.path()), market_(std::move(options)) {
    started_ = market_.Start("127.0.0.1", 0);
    PointMarketAt(ctx_.hosts(), market_.origin());
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
