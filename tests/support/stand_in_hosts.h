// Points a context's host roles at the stand-ins: every bookstore role at one origin,
// every marketplace role at another, as the stand-ins serve all their roles on one port.
#pragma once

#include <string>

#include "base/hosts.h"

namespace vt::testing {

inline void PointBookstoreAt(Hosts& hosts, const std::string& origin) {
    for (HostRole role : {HostRole::SourceSearch, HostRole::SourceCategory, HostRole::SourceProduct,
                          HostRole::SourcePromo})
        hosts.Set(role, origin);
}

inline void PointMarketAt(Hosts& hosts, const std::string& origin) {
    for (HostRole role : {HostRole::MarketLogin, HostRole::MarketUpload, HostRole::MarketSell,
                          HostRole::MarketTrade, HostRole::MarketAdvertising, HostRole::MarketMain,
                          HostRole::MarketImageCdn})
        hosts.Set(role, origin);
}

}  // namespace vt::testing
