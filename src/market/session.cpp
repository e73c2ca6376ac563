#include "market/session.h"

#include <thread>

#include "app/bounded_lock.h"
#include "app/context.h"
#include "app/hosts.h"
#include "detail/regex_ops.h"
#include "market/http_client.h"

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

std::string Session::SellerCookie() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sellerCookie_;
}

void Session::SetSellerCookie(std::string cookie) {
    std::lock_guard<std::mutex> lock(mutex_);
    sellerCookie_ = std::move(cookie);
}

void Session::MarkLoginValid() {
    pauseCounter_.store(0);
    loginValid_.store(true);
}

int Session::AddAccount(std::string cookie) {
    AccountChange change{AccountChange::RowAdded, -1, {}};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        accounts_.push_back({std::to_string(accountCounter_++), std::move(cookie), {}});
        change.row = static_cast<int>(accounts_.size()) - 1;
        change.now = accounts_.back();
    }
    accountObservers_.Notify(change);
    return change.row;
}

std::vector<AccountRow> Session::Accounts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accounts_;
}

int Session::AccountCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(accounts_.size());
}

std::string Session::AccountCookie(int row) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row < 0 || row >= static_cast<int>(accounts_.size()))
        return {};
    return accounts_[static_cast<std::size_t>(row)].cookie;
}

bool Session::SetAccountCookie(int row, std::string cookie) {
    AccountChange change{AccountChange::CookieChanged, row, {}};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row < 0 || row >= static_cast<int>(accounts_.size()))
            return false;
        accounts_[static_cast<std::size_t>(row)].cookie = std::move(cookie);
        change.now = accounts_[static_cast<std::size_t>(row)];
    }
    accountObservers_.Notify(change);
    return true;
}

bool Session::SetAccountStatus(int row, std::string status) {
    AccountChange change{AccountChange::StatusChanged, row, {}};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row < 0 || row >= static_cast<int>(accounts_.size()))
            return false;
        accounts_[static_cast<std::size_t>(row)].status = std::move(status);
        change.now = accounts_[static_cast<std::size_t>(row)];
    }
    accountObservers_.Notify(change);
    return true;
}

void Session::SetApplicationTitle(std::string title) {
    std::lock_guard<std::mutex> lock(mutex_);
    applicationTitle_ = std::move(title);
}

std::string Session::Title() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return title_;
}

void Session::ShowAccountState(const std::string& state) {
    std::string title;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        title_ = applicationTitle_ + kTitleStateSeparator + state;
        title = title_;
    }
    titleObservers_.Notify(title);
}

void Session::SetMessageHandler(std::function<void(const std::string&)> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    onMessage_ = std::move(handler);
}

void Session::ShowMessage(const std::string& message) const {
    std::function<void(const std::string&)> handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handler = onMessage_;
    }
    if (handler)
        handler(message);
}

std::string SellerNickname(const std::string& cookie) {
    // The pattern reads up to the pair's ";"; the last pair of a cookie string has none,
    // so one is put after the string.
    return RegexFirst(cookie + ";", "tracknick=(.*?);");
}

std::string FetchSellPage(AppContext& ctx, const std::string& cookie) {
    return MarketGetWithCookie(
        ctx.hosts().Url(HostRole::MarketUpload, "/auction/sell.jhtml", "http"), cookie);
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
    session.SetAccountCookie(0, cookie);
    OpenSellerDatabase(ctx, cookie);
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

std::string NextPublishCookie(AppContext& ctx) {
    Session& session = ctx.session();
    std::timed_mutex& lock = ctx.job().ImageLock;
    int row = session.RoundRobinIndex();
    if (LockWithin(lock, kRoundRobinWaitMs)) {
        row = session.RoundRobinIndex();
        const int next = row + 1;
        session.SetRoundRobinIndex(next < session.AccountCount() ? next : 0);
        lock.unlock();
    }
    // A timed-out wait publishes with the current row's cookie and leaves the index as
    // it is: an empty cookie would fail the publish's login check and pause every worker.
    return session.AccountCookie(row);
}

bool WaitIfLoginLapsed(AppContext& ctx) {
    Session& session = ctx.session();
    if (session.LoginValid())
        return false;
    if (session.CountPauseTurn() == 0)
        session.ShowAccountState(kStateLapsed);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

}  // namespace vt
