#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/encoders.h"
#include "base/text.h"
#include "core/context.h"
#include "market/login_checks.h"
#include "support/market_stage.h"

using namespace vt;
using vt::testing::MarketStage;
using vt::testing::U8;

namespace {

// What a login dialog's browser would hand over.
class FixedCookie : public CookieSource {
public:
    explicit FixedCookie(std::string cookie) : cookie_(std::move(cookie)) {}
    std::string CaptureCookie() override { return cookie_; }

private:
    std::string cookie_;
};

const char kStaleCookie[] = "t=0; tracknick=stale_seller; cookie2=ffffffff";

std::string TitleWith(const char* state) {
    return std::string(kDefaultApplicationTitle) + kTitleStateSeparator + state;
}

bool ProductDbFileExists(MarketStage& stage, const std::string& nick) {
    return std::filesystem::exists(stage.dir().native() + "/DataBase/" +
                                   GbkToUtf8(UrlEncodeUtf8(nick)) + ".db");
}

enum class Login { Valid, Invalid, Limited };

// The stand-in answers as it would to that kind of login; returns the cookie captured.
std::string Prepare(MarketStage& stage, Login login) {
    stage.market().SetAccessLimited(login == Login::Limited);
    return login == Login::Invalid ? std::string(kStaleCookie) : stage.DemoCookie();
}

TEST(SellerNickname, IsTheTracknickPair) {
    const struct {
        const char* cookie;
        const char* nick;
    } cases[] = {
        {"t=1a; tracknick=book_seller; cookie2=9f", "book_seller"},
        {"t=1a; cookie2=9f; tracknick=last_pair", "last_pair"},
        {"tracknick=first; t=1a", "first"},
        {"tracknick=; t=1a", ""},
        {"t=1a; _nk_=book_seller", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(SellerNickname(c.cookie), c.nick) << c.cookie;
}

TEST(ConfirmSingleLogin, SetsFlagTitleCookieAndDatabase) {
    const struct {
        Login login;
        bool valid;
        const char* state;
    } cases[] = {
        {Login::Valid, true, kStateLoggedIn},
        {Login::Invalid, false, kStateLoginFailed},
        {Login::Limited, false, kStateLoginFailed},
    };
    for (const auto& c : cases) {
        MarketStage stage;
        ASSERT_TRUE(stage.started());
        AppContext& ctx = stage.ctx();
        const std::string cookie = Prepare(stage, c.login);
        if (!c.valid)
            ctx.session().MarkLoginValid();  // a lapse must clear the flag
        ctx.session().CountPauseTurn();
        ctx.session().AddAccount("earlier cookie");
        FixedCookie source(cookie);

        EXPECT_EQ(ConfirmSingleLogin(ctx, source), c.valid) << c.state;
        EXPECT_EQ(ctx.session().LoginValid(), c.valid);
        EXPECT_EQ(ctx.session().PauseCounter(), c.valid ? 0 : 1);
        EXPECT_EQ(ctx.session().Title(), TitleWith(c.state));
        EXPECT_EQ(ctx.session().SellerCookie(), cookie);
        // Only a valid login replaces the listed account's cookie and opens its database.
        EXPECT_EQ(ctx.session().AccountCookie(0), c.valid ? cookie : "earlier cookie");
        EXPECT_TRUE(stage.messages().empty());
        EXPECT_EQ(ctx.db().ProductDb() != nullptr, c.valid);
        EXPECT_EQ(ProductDbFileExists(stage, SellerNickname(cookie)), c.valid);
    }
}

// "已进入账户" pressed before the login in the browser finished: the check fails. The
// account row keeps the cookie that works and the product database stays the logged-in
// seller's, so the publishing threads go on publishing for the right shop.
TEST(ConfirmSingleLogin, AFailedConfirmationKeepsTheAccountRowAndTheDatabase) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    const std::string good = stage.DemoCookie();
    FixedCookie multi(good);
    ASSERT_EQ(ConfirmMultiLogin(ctx, multi), MultiLoginOutcome::Added);
    const std::shared_ptr<Database> demoDb = ctx.db().ProductDb();
    ASSERT_NE(demoDb, nullptr);

    // Half a login of another shop: its nick is set, its session is not.
    FixedCookie early(kStaleCookie);
    EXPECT_FALSE(ConfirmSingleLogin(ctx, early));
    EXPECT_FALSE(ctx.session().LoginValid());
    EXPECT_EQ(ctx.session().Title(), TitleWith(kStateLoginFailed));
    EXPECT_EQ(ctx.session().SellerCookie(), kStaleCookie);
    EXPECT_EQ(ctx.session().Accounts(), (std::vector<AccountRow>{{"0", good, ""}}));
    EXPECT_EQ(ctx.db().ProductDb(), demoDb);
    EXPECT_FALSE(ProductDbFileExists(stage, "stale_seller"));
    EXPECT_EQ(NextPublishCookie(ctx), good);

    // The same in the multi-login dialog: nothing added, nothing switched.
    EXPECT_EQ(ConfirmMultiLogin(ctx, early), MultiLoginOutcome::NotAdded);
    EXPECT_EQ(ctx.db().ProductDb(), demoDb);
    EXPECT_EQ(ctx.session().AccountCount(), 1);

    // Confirmed again once the login is done: valid, and the row takes the new cookie.
    const std::string again = stage.DemoCookie();
    FixedCookie done(again);
    EXPECT_TRUE(ConfirmSingleLogin(ctx, done));
    EXPECT_EQ(ctx.session().AccountCookie(0), again);
    EXPECT_EQ(ctx.session().Title(), TitleWith(kStateLoggedIn));
}

TEST(ConfirmSingleLogin, WithoutAccountRowsStillLogsIn) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    FixedCookie source(stage.DemoCookie());
    EXPECT_TRUE(ConfirmSingleLogin(stage.ctx(), source));
    EXPECT_EQ(stage.ctx().session().AccountCount(), 0);
    EXPECT_TRUE(stage.ctx().session().LoginValid());
    EXPECT_EQ(stage.ctx().session().Title(), TitleWith(kStateLoggedIn));
}

TEST(ConfirmSingleLogin, ALongCookieIsCheckedWholeNeverTheEarlierOne) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    FixedCookie first(stage.DemoCookie());
    ASSERT_TRUE(ConfirmSingleLogin(ctx, first));

    // Longer than any fixed capture buffer, and from a login that did not take.
    const std::string padded = std::string(kStaleCookie) + "; pad=" + std::string(12000, 'x');
    FixedCookie second(padded);
    EXPECT_FALSE(ConfirmSingleLogin(ctx, second));
    EXPECT_FALSE(ctx.session().LoginValid());
    EXPECT_EQ(ctx.session().SellerCookie(), padded);
    const auto checks = stage.RequestsTo("/auction/sell.jhtml");
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(checks[1].Header("Cookie"), padded);
}

TEST(ConfirmMultiLogin, AddsARowOnlyForAValidLogin) {
    const struct {
        Login login;
        MultiLoginOutcome outcome;
        std::vector<std::string> messages;
        bool databaseOpened;
    } cases[] = {
        {Login::Valid, MultiLoginOutcome::Added, {}, true},
        {Login::Invalid, MultiLoginOutcome::NotAdded, {}, false},
        {Login::Limited,
         MultiLoginOutcome::AccessLimited,
         {" 亲，慢慢来，请先坐下来喝口水！我们马上回来。"},
         false},
    };
    for (const auto& c : cases) {
        for (bool flagBefore : {false, true}) {
            MarketStage stage;
            ASSERT_TRUE(stage.started());
            AppContext& ctx = stage.ctx();
            const std::string cookie = Prepare(stage, c.login);
            if (flagBefore)
                ctx.session().MarkLoginValid();
            FixedCookie source(cookie);

            EXPECT_EQ(ConfirmMultiLogin(ctx, source), c.outcome) << U8(cookie);
            const bool added = c.outcome == MultiLoginOutcome::Added;
            EXPECT_EQ(ctx.session().LoginValid(), added || flagBefore);
            const std::vector<AccountRow> rows =
                added ? std::vector<AccountRow>{{"0", cookie, ""}} : std::vector<AccountRow>{};
            EXPECT_EQ(ctx.session().Accounts(), rows);
            EXPECT_EQ(stage.messages(), c.messages);
            EXPECT_EQ(ctx.session().Title(), kDefaultApplicationTitle);
            EXPECT_EQ(ctx.db().ProductDb() != nullptr, c.databaseOpened);
        }
    }
}

TEST(OpenMultiLogin, OnlyOneAccountMayBeAdded) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    EXPECT_TRUE(OpenMultiLogin(ctx));
    EXPECT_TRUE(stage.messages().empty());

    FixedCookie source(stage.DemoCookie());
    ASSERT_EQ(ConfirmMultiLogin(ctx, source), MultiLoginOutcome::Added);
    EXPECT_FALSE(OpenMultiLogin(ctx));
    EXPECT_EQ(stage.messages(), std::vector<std::string>{"对不起只能登录一个线程"});
    EXPECT_EQ(ctx.session().AccountCount(), 1);
}

TEST(TestLogins, FillsEachRowsStatusAndLeavesTheFlag) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();

    TestLogins(ctx);
    EXPECT_TRUE(stage.RequestsTo("/auction/sell.jhtml").empty());

    std::vector<AccountChange> changes;
    std::mutex changesMutex;
    ctx.session().accountObservers().Subscribe([&](const AccountChange& change) {
        std::lock_guard<std::mutex> lock(changesMutex);
        changes.push_back(change);
    });
    const std::string good = stage.DemoCookie();
    ctx.session().AddAccount(good);
    ctx.session().AddAccount(kStaleCookie);
    TestLogins(ctx);

    EXPECT_EQ(ctx.session().Accounts(),
              (std::vector<AccountRow>{{"0", good, kAccountValid},
                                       {"1", kStaleCookie, kAccountInvalid}}));
    EXPECT_FALSE(ctx.session().LoginValid());
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[1].kind, AccountChange::RowAdded);
    EXPECT_EQ(changes[1].row, 1);
    EXPECT_EQ(changes[3].kind, AccountChange::StatusChanged);
    EXPECT_EQ(changes[3].now.status, kAccountInvalid);

    stage.market().ExpireSessions();
    TestLogins(ctx);
    EXPECT_EQ(ctx.session().Accounts()[0].status, kAccountInvalid);
}

TEST(CheckLogin, TellsTheUserAndSetsFlagAndTitle) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    ctx.session().SetSellerCookie(stage.DemoCookie());

    EXPECT_TRUE(CheckLogin(ctx));
    EXPECT_TRUE(ctx.session().LoginValid());
    EXPECT_EQ(ctx.session().Title(), TitleWith(kStateLoggedIn));

    stage.market().ExpireSessions();
    EXPECT_FALSE(CheckLogin(ctx));
    EXPECT_FALSE(ctx.session().LoginValid());
    EXPECT_EQ(ctx.session().Title(), TitleWith(kStateLoginFailed));
    EXPECT_EQ(stage.messages(),
              (std::vector<std::string>{"恭喜您，目前处于登录有效状态",
                                        "对不起，目前处于登录失效状态，请点击淘宝登录框重新登录"}));
}

TEST(NextPublishCookie, GoesRoundTheAccounts) {
    MarketStage stage;
    AppContext& ctx = stage.ctx();
    EXPECT_EQ(NextPublishCookie(ctx), "");
    EXPECT_EQ(NextPublishCookie(ctx), "");
    EXPECT_EQ(ctx.session().RoundRobinIndex(), 0);

    for (const char* cookie : {"a=1", "b=2", "c=3"}) ctx.session().AddAccount(cookie);
    std::vector<std::string> taken;
    for (int i = 0; i < 7; ++i) taken.push_back(NextPublishCookie(ctx));
    EXPECT_EQ(taken, (std::vector<std::string>{"a=1", "b=2", "c=3", "a=1", "b=2", "c=3", "a=1"}));
}

TEST(NextPublishCookie, ABusyLockUsesTheCurrentAccountWithoutMovingOn) {
    MarketStage stage;
    AppContext& ctx = stage.ctx();
    for (const char* cookie : {"a=1", "b=2"}) ctx.session().AddAccount(cookie);
    ASSERT_EQ(NextPublishCookie(ctx), "a=1");

    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
        std::lock_guard<std::timed_mutex> lock(ctx.job().ImageLock);
        held = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(NextPublishCookie(ctx), "b=2");
    EXPECT_EQ(ctx.session().RoundRobinIndex(), 1);
    release = true;
    holder.join();
    EXPECT_EQ(NextPublishCookie(ctx), "b=2");
    EXPECT_EQ(NextPublishCookie(ctx), "a=1");
}

TEST(WaitIfLoginLapsed, AnnouncesOnceIdlesAndResumesAfterALogin) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    std::mutex titlesMutex;
    std::vector<std::string> titles;
    ctx.session().titleObservers().Subscribe([&](const std::string& title) {
        std::lock_guard<std::mutex> lock(titlesMutex);
        titles.push_back(title);
    });
    auto lapsedTitles = [&] {
        std::lock_guard<std::mutex> lock(titlesMutex);
        int n = 0;
        for (const std::string& t : titles) n += t == TitleWith(kStateLapsed);
        return n;
    };

    // Worker loops as the detail and publishing threads run them: a turn either idles or
    // takes work.
    std::atomic<bool> stop{false};
    std::atomic<int> workTurns{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i)
        workers.emplace_back([&] {
            while (!stop)
                if (!WaitIfLoginLapsed(ctx)) {
                    ++workTurns;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
        });
    auto waitFor = [](const std::function<bool()>& done) {
        for (int i = 0; i < 5000 && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return done();
    };

    EXPECT_TRUE(waitFor([&] { return ctx.session().PauseCounter() > 30; }));
    EXPECT_EQ(workTurns, 0);
    EXPECT_EQ(lapsedTitles(), 1);

    FixedCookie login(stage.DemoCookie());
    ASSERT_TRUE(ConfirmSingleLogin(ctx, login));
    EXPECT_TRUE(waitFor([&] { return workTurns > 10; }));

    // A second lapse, after a login made by the check button, is announced again.
    ctx.session().MarkLoginLapsed();
    EXPECT_TRUE(waitFor([&] { return ctx.session().PauseCounter() > 30; }));
    ASSERT_TRUE(CheckLogin(ctx));
    ctx.session().MarkLoginLapsed();
    EXPECT_TRUE(waitFor([&] { return lapsedTitles() == 3; }));

    stop = true;
    for (auto& w : workers) w.join();
    EXPECT_EQ(lapsedTitles(), 3);
}

}  // namespace
