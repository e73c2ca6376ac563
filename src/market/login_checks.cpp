#include "market/login_checks.h"

#include "base/hosts.h"
#include "base/http_client.h"
#include "core/context.h"

namespace vt {

namespace {

constexpr char kSellerMarker[] = "卖家中心";
constexpr char kAccessLimitedMarker[] = "亲，访问受限了";

void OpenSellerDatabase(AppContext& ctx, const std::string& cookie) {
    const std::string nick = SellerNickname(cookie);
    // Without a nick every such login would share one nameless database, and books
    // published from one shop would be skipped in another: keep the database open now.
    if (!nick.empty())
        ctx.db().OpenProductDb(nick);
}

}  // namespace

std::string FetchSellPage(AppContext& ctx, const std::string& cookie) {
    return MarketGetWithCookie(
        ctx.hosts().Url(HostRole::MarketUpload, "/auction/sell.jhtml"), cookie,
        ctx.ReadOptions(Site::Market));
}

bool IsSellerPage(const std::string& page) {
    return page.find(kSellerMarker) != std::string::npos;
}

bool IsAccessLimited(const std::string& page) {
    return page.find(kAccessLimitedMarker) != std::string::npos;
}

bool ConfirmSingleLogin(AppContext& ctx, CookieSource& source) {
    Session& session = ctx.session();
    session.SetSellerCookie(source.CaptureCookie());
    const std::string cookie = session.SellerCookie();
    const bool valid = IsSellerPage(FetchSellPage(ctx, cookie));
    if (valid)
        session.MarkLoginValid();
    else
        session.MarkLoginLapsed();
    session.ShowAccountState(valid ? kStateLoggedIn : kStateLoginFailed);
    // A confirmation pressed before the login finished captures a cookie that opens
    // nothing: the listed account keeps its working cookie, and the product database
    // stays the one of the account that is logged in.
    if (valid) {
        session.SetAccountCookie(0, cookie);
        OpenSellerDatabase(ctx, cookie);
    }
    return valid;
}

MultiLoginOutcome ConfirmMultiLogin(AppContext& ctx, CookieSource& source) {
    Session& session = ctx.session();
    session.SetSellerCookie(source.CaptureCookie());
    const std::string cookie = session.SellerCookie();
    const std::string page = FetchSellPage(ctx, cookie);
    MultiLoginOutcome outcome = MultiLoginOutcome::NotAdded;
    if (IsSellerPage(page)) {
        session.AddAccount(cookie);
        session.MarkLoginValid();
        outcome = MultiLoginOutcome::Added;
    } else if (IsAccessLimited(page)) {
        session.ShowMessage(" 亲，慢慢来，请先坐下来喝口水！我们马上回来。");
        return MultiLoginOutcome::AccessLimited;
    }
    // As in the single login: a cookie that opens nothing switches no database.
    if (outcome == MultiLoginOutcome::Added)
        OpenSellerDatabase(ctx, cookie);
    return outcome;
}

bool OpenMultiLogin(AppContext& ctx) {
    if (ctx.session().AccountCount() == 0)
        return true;
    ctx.session().ShowMessage("对不起只能登录一个线程");
    return false;
}

void TestLogins(AppContext& ctx) {
    Session& session = ctx.session();
    const int rows = session.AccountCount();
    for (int row = 0; row < rows; ++row) {
        const bool valid = IsSellerPage(FetchSellPage(ctx, session.AccountCookie(row)));
        session.SetAccountStatus(row, valid ? kAccountValid : kAccountInvalid);
    }
}

bool CheckLogin(AppContext& ctx) {
    Session& session = ctx.session();
    const bool valid = IsSellerPage(FetchSellPage(ctx, session.SellerCookie()));
    if (valid) {
        session.MarkLoginValid();
        session.ShowMessage("恭喜您，目前处于登录有效状态");
    } else {
        session.MarkLoginLapsed();
        session.ShowMessage("对不起，目前处于登录失效状态，请点击淘宝登录框重新登录");
    }
    session.ShowAccountState(valid ? kStateLoggedIn : kStateLoginFailed);
    return valid;
}

}  // namespace vt
