#include "core/session.h"

#include <thread>

#include "base/bounded_lock.h"
#include "base/regex_ops.h"
#include "core/context.h"

namespace vt {

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
    loginObservers_.Notify(true);
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
    // Read before the test: a login between the test and the sleep ends the sleep at once.
    const std::uint64_t seen = ctx.job().Wake.Generation();
    if (session.LoginValid())
        return false;
    if (session.CountPauseTurn() == 0)
        session.ShowAccountState(kStateLapsed);
    else
        ctx.job().Wake.WaitAfter(seen);
    return true;
}

}  // namespace vt
