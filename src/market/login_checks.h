// The login checks of the seller's session: the sell page fetched with a cookie, the
// confirmations of the two login dialogs, the account list's test and the login test.
// The session's state itself lives in core/session.h; these are the parts that talk to
// the marketplace.
#pragma once

#include <string>

#include "core/session.h"

namespace vt {

class AppContext;

// The sell page as the cookie sees it, and the markers read from it.
std::string FetchSellPage(AppContext& ctx, const std::string& cookie);
bool IsSellerPage(const std::string& page);     // "卖家中心": the cookie is logged in
bool IsAccessLimited(const std::string& page);  // "亲，访问受限了"

// "已进入账户" in the single-login dialog: captures the cookie, checks it, sets the flag
// and the title; a valid cookie then goes into the first account row (if any) and opens
// the seller's product database, while an invalid one leaves both as they were. True
// when the login is valid.
bool ConfirmSingleLogin(AppContext& ctx, CookieSource& source);

enum class MultiLoginOutcome {
    Added,          // valid: a row was added, the seller's database opened; the dialog closes
    NotAdded,       // invalid: nothing added, flag and database unchanged; the dialog closes
    AccessLimited,  // the marketplace limits access: the dialog stays open for a retry
};
// "已进入账户" in the multi-login dialog.
MultiLoginOutcome ConfirmMultiLogin(AppContext& ctx, CookieSource& source);

// "多开登录": true when the multi-login dialog may open (the list is empty); otherwise
// the message "对不起只能登录一个线程".
bool OpenMultiLogin(AppContext& ctx);

// "测试多开状态": checks every row's cookie and fills its status. The flag is not touched.
void TestLogins(AppContext& ctx);

// "检测淘宝网是否登录成功": checks the current cookie, sets the flag, tells the user and
// updates the title. True when valid.
bool CheckLogin(AppContext& ctx);

}  // namespace vt
