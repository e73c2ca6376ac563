// An installed tree whose context talks to an in-process marketplace stand-in on
// 127.0.0.1: every marketplace host role points at it.
#pragma once

#include <string>
#include <vector>

#include "core/context.h"
#include "sim/market_sim.h"
#include "support/temp_app_dir.h"

namespace vt::testing {

class MarketStage {
public:
    explicit MarketStage(sim::MarketOptions options = {});

    bool started() const { return started_; }
    AppContext& ctx() { return ctx_; }
    sim::MarketSim& market() { return market_; }
    const TempAppDir& dir() const { return dir_; }

    // A logged-in cookie of the stand-in's demo account.
    std::string DemoCookie() { return market_.CookieFor(kDemoNick); }
    // The requests the stand-in received to this path, in order.
    std::vector<sim::HttpRequest> RequestsTo(const std::string& path);
    // Messages the session showed, in order.
    const std::vector<std::string>& messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }

    static constexpr const char* kDemoNick = "vantrell_demo";
    static constexpr const char* kDemoPassword = "demo123";

private:
    TempAppDir dir_;
    AppContext ctx_;
    std::vector<std::string> messages_;
    sim::MarketSim market_;  // last: stopped before anything its answers read goes away
    bool started_ = false;
};

}  // namespace vt::testing
