// The seller pages' markup (GBK). Each page carries exactly the markers and inputs the
// system reads; the rest is plain decoration.
#pragma once

#include <string>
#include <vector>

#include "sim/html_escape.h"
#include "sim/market_sim.h"

namespace vt::sim {

struct SellFormKeys {
    std::string pageId;  // _fma.pu._0.i
    std::string token;   // _tb_token_
    std::string beginTime;
    std::string itemNumber;  // _fma.pu._0.auc
};

// The login form; message (already GBK) shown above it when not empty.
std::string LoginPageHtml(const std::string& message);
std::string SellPageHtml(const std::string& nick, const SellFormKeys& keys);
std::string AccessLimitedHtml();
// The goods list of the items on sale (GBK; the marketplace serves it as UTF-8).
std::string GoodsListPageHtml(const std::string& nick, const std::string& token);
// The goods manager's answer to a search: one row per item.
std::string GoodsRowsHtml(const std::vector<ShopItem>& items);

}  // namespace vt::sim
