#include "sim/market_pages.h"

namespace vt::sim {

// No braces anywhere on these pages: the category reader takes any brace pair for a
// candidate, and a logged-out answer must not look like one.
std::string LoginPageHtml(const std::string& message) {
    std::string page =
        "<!DOCTYPE html>\r\n<html><head><meta charset=\"gbk\"><title>淘宝网 - 会员登录</title>"
        "</head>\r\n<body>\r\n<div class=\"login-box\">\r\n<h2>密码登录</h2>\r\n";
    if (!message.empty())
        page += "<div class=\"login-error\">" + EscapeHtml(message) + "</div>\r\n";
    page +=
        "<form id=\"J_Form\" method=\"post\" action=\"/login\">\r\n"
        "<label for=\"TPL_username\">会员名</label>"
        "<input type=\"text\" id=\"TPL_username\" name=\"TPL_username\" value=\"\">\r\n"
        "<label for=\"TPL_password\">登录密码</label>"
        "<input type=\"password\" id=\"TPL_password\" name=\"TPL_password\" value=\"\">\r\n"
        "<button type=\"submit\">登录</button>\r\n</form>\r\n</div>\r\n</body></html>\r\n";
    return page;
}

std::string SellPageHtml(const std::string& nick, const SellFormKeys& keys) {
    return "<!DOCTYPE html>\r\n<html><head><meta charset=\"gbk\"><title>淘宝网 - 发布宝贝</title>"
           "</head>\r\n<body>\r\n<div class=\"site-nav\">您好，" +
           EscapeHtml(nick) +
           " <a href=\"/auction/sell.jhtml\">卖家中心</a> <a href=\"/\">退出</a></div>\r\n"
           "<form id=\"J_MainForm\" method=\"post\" action=\"/auction/publish/publish.htm\" "
           "enctype=\"multipart/form-data\">\r\n"
           "<input type=\"hidden\" name=\"_fma.pu._0.i\" value=\"" +
           keys.pageId +
           "\" />\r\n"
           "<input name='_tb_token_' type='hidden' value='" +
           keys.token +
           "'>\r\n"
           "<input type=\"hidden\" name=\"sellerActionBeginTime\" id = \"sellerActionBeginTime\" "
           "value=\"" +
           keys.beginTime +
           "\" />\r\n"
           "<input type=\"hidden\" name=\"_fma.pu._0.auc\" value=\"" +
           keys.itemNumber +
           "\" />\r\n"
           "<h3>一口价宝贝发布</h3>\r\n</form>\r\n</body></html>\r\n";
}

std::string AccessLimitedHtml() {
    return "<!DOCTYPE html>\r\n<html><head><meta charset=\"gbk\"><title>访问受限</title></head>\r\n"
           "<body>\r\n<div class=\"warn\">亲，访问受限了</div>\r\n"
           "<p>您的访问过于频繁，请稍后再试。</p>\r\n</body></html>\r\n";
}

std::string GoodsListPageHtml(const std::string& nick, const std::string& token) {
    return "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\"><title>出售中的宝贝</title>"
           "</head>\r\n<body>\r\n<div class=\"site-nav\">您好，" +
           EscapeHtml(nick) +
           " <a href=\"/auction/sell.jhtml\">卖家中心</a></div>\r\n"
           "<form id=\"J_GoodsForm\" method=\"post\" "
           "action=\"/auction/merchandise/auction_list.htm?type=11\">\r\n"
           "<input name='_tb_token_' type='hidden' value='" +
           token +
           "'>\r\n"
           "<input type=\"text\" name=\"outId\" value=\"\">\r\n"
           "</form>\r\n</body></html>\r\n";
}

std::string GoodsRowsHtml(const std::vector<ShopItem>& items) {
    std::string page = "<table class=\"goods-list\">\r\n<tbody>\r\n";
    for (const ShopItem& item : items) {
        page += "<tr class=\"goods-sid \">\r\n<td><input id = \"selectedIds:" + item.itemId +
                "\" type=\"checkbox\" name=\"selectedIds\" value=\"" + item.itemId +
                "\"></td>\r\n<td class=\"title\"><a href=\"/item.htm?id=" + item.itemId + "\">" +
                EscapeHtml(item.title) + "</a></td>\r\n<td class=\"price\">" +
                EscapeHtml(item.price) + "</td>\r\n<td class=\"code\">" +
                EscapeHtml(item.outerCode) +
                "</td>\r\n<td class=\"ops\"><a href=\"#\" class=\"J_Copy\">复制链接</a></td>\r\n"
                "</tr>\r\n";
    }
    page += "</tbody>\r\n</table>\r\n";
    return page;
}

}  // namespace vt::sim
