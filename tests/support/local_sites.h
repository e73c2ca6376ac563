// The two stand-in sites on 127.0.0.1, with a context whose every host role points at
// them: the bookstore roles at the bookstore, the marketplace roles at the marketplace.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/context.h"
#include "sim/bookstore_sim.h"
#include "sim/market_sim.h"
#include "support/temp_app_dir.h"

namespace vt::testing {

// Answers a bookstore request in place of the stand-in; null lets the stand-in answer.
using StoreOverride = std::function<std::optional<sim::HttpResponse>(const sim::HttpRequest&)>;

class LocalSites {
public:
    // The override is in place before the bookstore serves its first request.
    explicit LocalSites(sim::CatalogOptions catalog = {}, StoreOverride override = nullptr);
    ~LocalSites();

    AppContext& ctx() { return *ctx_; }
    sim::BookstoreSim& store() { return store_; }
    sim::MarketSim& market() { return market_; }
    const TempAppDir& dir() const { return dir_; }

    // Requests the bookstore received whose path and query contain the text, in order.
    std::vector<std::string> StoreTargets(const std::string& containing);

private:
    TempAppDir dir_;
    sim::BookstoreSim store_;
    sim::MarketSim market_;
    std::unique_ptr<AppContext> ctx_;
};

// Polls until the condition holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

}  // namespace vt::testing
