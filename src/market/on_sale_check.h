// Whether a book is already on sale in the seller's shop: the goods manager's search of
// the items on sale, filtered by outer code (the bookstore's product id every published
// item carries).
#pragma once

#include <string>
#include <vector>

namespace vt {

class AppContext;

// The goods list page's form token (its hidden "_tb_token_"); empty on failure. A job
// fetches it once when it starts.
std::string FetchGoodsToken(AppContext& ctx);

// The ids of the items on sale whose outer code is this one; empty when none, and also
// when the marketplace could not be asked (the book then counts as not on sale).
std::vector<std::string> FindOnSaleByOuterCode(AppContext& ctx, const std::string& outerCode,
                                               const std::string& token);

// The goods query's form body for an outer code and token, both put in as they are.
std::string GoodsQueryBody(const std::string& outerCode, const std::string& token);
// The item ids of the goods rows of one answer, in page order.
std::vector<std::string> OnSaleItemIds(const std::string& answer);

}  // namespace vt
