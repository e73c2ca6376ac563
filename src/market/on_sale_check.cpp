#include "market/on_sale_check.h"

#include <string_view>
#include <utility>

#include "base/encoders.h"
#include "base/hosts.h"
#include "base/http_client.h"
#include "base/regex_ops.h"
#include "core/context.h"

namespace vt {

namespace {

constexpr char kQueryTemplate[] =
    "0=0&_tb_token_=[tbToken]&pageName=&banner=&page=&setVal=&orderField=1&orderBy=0&singleId="
    "&singleIdNum=&singleIdMinNum"
    "&distributionIds=&action=goodsmanager/GoodsManageAction&event_submit_do_recommend="
    "&event_submit_do_delete=&event_submit_do_off_shelf=&event_submit_do_unrecommend="
    "&event_submit_do_set_lighting_auction=&isFirstLogin=false&shopCatName=&searchKeyword="
    "&startPrice=&endPrice="
    "&recommend=&outId=[OutId]&searchNumFrom=&searchNumTo=";
const std::string kPageNameOnSale = "pageName=goodsOnSale";

}  // namespace

std::string GoodsQueryBody(const std::string& outerCode, const std::string& token) {
    // The code comes from a list page and the token from a page: percent-encoded, so
    // that neither can add or end a field. One pass over the template, so that a value
    // holding a placeholder is never replaced again.
    const std::string encodedToken = UrlEncodeAnsi(token);
    const std::string encodedCode = UrlEncodeAnsi(outerCode);
    const std::pair<std::string_view, const std::string&> slots[] = {
        {"[tbToken]", encodedToken}, {"[OutId]", encodedCode}, {"pageName=", kPageNameOnSale}};
    const std::string_view text = kQueryTemplate;
    std::string body;
    std::size_t pos = 0;
    while (pos < text.size()) {
        bool replaced = false;
        for (const auto& [slot, value] : slots) {
            if (text.substr(pos, slot.size()) != slot)
                continue;
            body += value;
            pos += slot.size();
            replaced = true;
            break;
        }
        if (!replaced)
            body.push_back(text[pos++]);
    }
    return body;
}

std::vector<std::string> OnSaleItemIds(const std::string& answer) {
    std::vector<std::string> ids;
    const auto rows = RegexList(answer, "<tr class=\"goods-sid \">(.*?)复制链接</a>");
    if (!rows)
        return ids;
    for (const std::string& row : *rows) {
        std::string id = RegexFirst(row, "<input id = \"selectedIds:(.*?)\" type=\"checkbox\"");
        if (!id.empty())
            ids.push_back(std::move(id));
    }
    return ids;
}

std::string FetchGoodsToken(AppContext& ctx) {
    return FetchGoodsToken(ctx, ctx.session().SellerCookie());
}

std::string FetchGoodsToken(AppContext& ctx, const std::string& cookie) {
    const std::string page = MarketGetUtf8(
        ctx.hosts().Url(HostRole::MarketSell, "/auction/merchandise/auction_list.htm?type=1"),
        cookie, ctx.ReadOptions(Site::Market));
    return RegexFirst(page, "<input name='_tb_token_' type='hidden' value='(.*?)'>");
}

std::vector<std::string> FindOnSaleByOuterCode(AppContext& ctx, const std::string& outerCode,
                                               const std::string& token) {
    std::string answer;
    MarketPostGoodsQuery(GoodsQueryBody(outerCode, token), answer, ctx.session().SellerCookie(),
                         ctx.hosts(), ctx.ReadOptions(Site::Market));
    return OnSaleItemIds(answer);
}

OnSaleLookup LookUpOnSale(AppContext& ctx, const std::string& outerCode, const std::string& token,
                          const std::string& cookie) {
    OnSaleLookup result;
    // The goods manager answers a missing or foreign token with an empty list, which
    // would read as "not on sale".
    if (token.empty()) {
        result.why = "未取得商品列表令牌";
        return result;
    }
    std::string answer;
    const int posted =
        MarketPostGoodsQuery(GoodsQueryBody(outerCode, token), answer, cookie, ctx.hosts(),
                             ctx.ReadOptions(Site::Market));  // read-only: safe to repeat
    if (posted != kPostDone) {
        result.why = answer.empty() ? "code " + std::to_string(posted) : answer;
        return result;
    }
    // A status other than 200 comes back as an empty answer, as does a silent one.
    if (answer.empty()) {
        result.why = "淘宝无应答";
        return result;
    }
    result.ids = OnSaleItemIds(answer);
    result.outcome = result.ids.empty() ? OnSaleLookup::NotFound : OnSaleLookup::Found;
    return result;
}

}  // namespace vt
