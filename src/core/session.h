// The seller's marketplace session: the captured cookie, the login valid flag that
// pauses the detail and publishing threads while the login has lapsed, the list of
// logged-in accounts the publishing threads take their cookies from, and the account
// state shown in the main window's title. There is no login protocol of our own: a
// front end hands over the cookie of a login made on the marketplace's own page.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/observers.h"

namespace vt {

class AppContext;

// Account states shown in the title.
inline constexpr char kStateLoggedIn[] = "登陆成功";
inline constexpr char kStateLoginFailed[] = "登陆失败";
inline constexpr char kStateLapsed[] = "登陆失效，请重新登录";
// Status column of the account list after a test.
inline constexpr char kAccountValid[] = "登录有效";
inline constexpr char kAccountInvalid[] = "登录失效";
// Put between the application title and the account state.
inline constexpr char kTitleStateSeparator[] = "----淘宝账户状态：";
inline constexpr char kDefaultApplicationTitle[] = "Vantrell淘宝图书发布助手";
// The round-robin choice waits this long for ImageLock.
inline constexpr int kRoundRobinWaitMs = 50;

// Where a login's cookie string comes from: the desktop's embedded browser, a password
// login made headless, a file. The string is in Cookie-header form, empty on failure.
class CookieSource {
public:
    virtual ~CookieSource() = default;
    virtual std::string CaptureCookie() = 0;
};

// One row of the account list.
struct AccountRow {
    std::string number;  // the account counter when the row was added ("0" first)
    std::string cookie;
    std::string status;  // empty, kAccountValid or kAccountInvalid
    bool operator==(const AccountRow&) const = default;
};

struct AccountChange {
    enum Kind { RowAdded, CookieChanged, StatusChanged };
    Kind kind;
    int row = -1;
    AccountRow now;  // the row after the change
};

class Session {
public:
    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The cookie of the last capture. Any length is kept whole.
    std::string SellerCookie() const;
    void SetSellerCookie(std::string cookie);

    // Read without a lock by every worker turn; a stale read costs one turn.
    bool LoginValid() const { return loginValid_.load(); }
    // A successful check: the flag goes true and the pause counter back to 0, so that
    // the next lapse is announced in the title again.
    void MarkLoginValid();
    // A check or a publish found the seller pages closed to the cookie.
    void MarkLoginLapsed() { loginValid_.store(false); }
    // Returns the counter before the increment: one worker turn spent idle.
    long long CountPauseTurn() { return pauseCounter_.fetch_add(1); }
    long long PauseCounter() const { return pauseCounter_.load(); }

    // The account list. Every single access is one locked step.
    // Appends a row numbered with the account counter (which then grows); returns the row.
    int AddAccount(std::string cookie);
    std::vector<AccountRow> Accounts() const;
    int AccountCount() const;
    // Empty for a row that does not exist.
    std::string AccountCookie(int row) const;
    // False when the row does not exist.
    bool SetAccountCookie(int row, std::string cookie);
    bool SetAccountStatus(int row, std::string status);
    Observers<AccountChange>& accountObservers() { return accountObservers_; }

    // The round-robin position. Advanced only by whoever holds the job's ImageLock;
    // anyone may read it.
    int RoundRobinIndex() const { return roundRobin_.load(); }
    void SetRoundRobinIndex(int index) { roundRobin_.store(index); }

    // The main window's title: application title + kTitleStateSeparator + state.
    void SetApplicationTitle(std::string title);
    std::string Title() const;
    void ShowAccountState(const std::string& state);
    // Told the new title text on every change.
    Observers<std::string>& titleObservers() { return titleObservers_; }
    // Told each time the login becomes valid (the workers waiting for it wake up).
    Observers<bool>& loginObservers() { return loginObservers_; }

    // Messages for the user's eyes (the desktop's message boxes, the CLI's output).
    // Without a handler they are dropped.
    void SetMessageHandler(std::function<void(const std::string&)> handler);
    void ShowMessage(const std::string& message) const;

private:
    mutable std::mutex mutex_;  // guards the cookie, the rows, the titles and the handler
    std::string sellerCookie_;
    std::vector<AccountRow> accounts_;
    int accountCounter_ = 0;
    std::string applicationTitle_ = kDefaultApplicationTitle;
    std::string title_ = kDefaultApplicationTitle;
    std::function<void(const std::string&)> onMessage_;

    std::atomic<bool> loginValid_{false};
    std::atomic<long long> pauseCounter_{0};
    std::atomic<int> roundRobin_{0};

    Observers<AccountChange> accountObservers_;
    Observers<std::string> titleObservers_;
    Observers<bool> loginObservers_;
};

// The seller's nick: the value of the tracknick cookie; empty when there is none.
std::string SellerNickname(const std::string& cookie);

// The cookie of the next account row, round robin; empty when the list is empty.
std::string NextPublishCookie(AppContext& ctx);

// The lapsed-login rule of the worker loops. False when the login is valid and the turn
// may take work. Otherwise the turn is spent idle and the result is true: the first idle
// turn after a lapse sets the title to kStateLapsed, every later one sleeps until the job's
// Wake signal (a new login, a stop, new rows).
bool WaitIfLoginLapsed(AppContext& ctx);

}  // namespace vt
