// Whether a book is already on sale in the seller's shop: the goods manager's search of
// the items on sale, filtered by outer code (the bookstore's product id every published
// item carries).
#pragma once

#include <string>
#include <vector>

namespace vt {

class AppContext;

// The goods list page's form token (its hidden "_tb_token_"); empty on failure. A job
// fetches it once when it starts, with the session's seller cookie.
std::string FetchGoodsToken(AppContext& ctx);
// The same with a given account's cookie: the token belongs to that account's session.
std::string FetchGoodsToken(AppContext& ctx, const std::string& cookie);

// The ids of the items on sale whose outer code is this one; empty when none, and also
// when the marketplace could not be asked (the book then counts as not on sale).
std::vector<std::string> FindOnSaleByOuterCode(AppContext& ctx, const std::string& outerCode,
                                               const std::string& token);

// The same question for a caller that must tell "not on sale" from "could not ask".
struct OnSaleLookup {
    enum Outcome { Found, NotFound, CouldNotAsk };
    Outcome outcome = CouldNotAsk;
    std::vector<std::string> ids;  // Found: the matching items' ids
    std::string why;               // CouldNotAsk: what went wrong (GBK)
};
// Asks with the given account's cookie and goods token. No token, a transport failure, an
// empty or failed answer is CouldNotAsk; nothing is sent without a token.
OnSaleLookup LookUpOnSale(AppContext& ctx, const std::string& outerCode, const std::string& token,
                          const std::string& cookie);

// The goods query's form body for an outer code and token, both put in as they are.
std::string GoodsQueryBody(const std::string& outerCode, const std::string& token);
// The item ids of the goods rows of one answer, in page order.
std::vector<std::string> OnSaleItemIds(const std::string& answer);

}  // namespace vt
