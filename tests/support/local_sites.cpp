#include "support/local_sites.h"

#include <thread>

#include "support/stand_in_hosts.h"

namespace vt::testing {

LocalSites::LocalSites(sim::CatalogOptions catalog, StoreOverride override) : store_(catalog) {
    if (override)
        store_.server().SetHandler([this, override](const sim::HttpRequest& r) {
            if (auto answer = override(r))
                return *answer;
            return store_.Handle(r);
        });
    store_.Start("127.0.0.1", 0);
    market_.Start("127.0.0.1", 0);
    ctx_ = std::make_unique<AppContext>(dir_.path());
    PointBookstoreAt(ctx_->hosts(), store_.origin());
    PointMarketAt(ctx_->hosts(), market_.origin());
}

LocalSites::~LocalSites() {
    // Workers first: they may still be talking to the sites.
    ctx_.reset();
    store_.Stop();
    market_.Stop();
}

std::vector<std::string> LocalSites::StoreTargets(const std::string& containing) {
    std::vector<std::string> out;
    for (const auto& r : store_.server().Requests())
        if (r.target.find(containing) != std::string::npos)
            out.push_back(r.target);
    return out;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 2) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

}  // namespace vt::testing
