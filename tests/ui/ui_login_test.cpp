// The login dialogs with a real embedded browser (Qt WebEngine, offscreen) against the
// stand-in marketplace's login page: the page loads from the login host, the seller fills
// and submits the form, "已进入账户" captures the browser's cookies (the HttpOnly session
// cookie and tracknick included) and the logic confirms them; then the seller's whole flow
// in the main window, from the embedded login to the books in the stand-in shop. Run as
// root, Chromium needs "--no-sandbox" (ctest sets QTWEBENGINE_CHROMIUM_FLAGS).
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <filesystem>
#include <memory>

#include "app/job_progress.h"
#include "app/panel_actions.h"
#include "app/startup.h"
#include "base/encoders.h"
#include "base/text.h"
#include "core/context.h"
#include "sim/http_server.h"
#include "support/e2e_job.h"
#include "support/local_sites.h"
#include "ui/accounts_panel_widget.h"
#include "ui/collection_panel_widget.h"
#include "ui/login_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/results_panel_widget.h"
#include "ui/work_list_model.h"

using namespace vt;
using namespace vt::ui;

namespace {

const QString kLoggedInTitle = QStringLiteral("----淘宝账户状态：登陆成功");
const QString kFailedTitle = QStringLiteral("----淘宝账户状态：登陆失败");

// Follows one dialog's browser: every finished load, with its address.
struct PageWatch {
    explicit PageWatch(LoginDialog* dialog) {
        QObject::connect(dialog->browser()->page(), &QWebEnginePage::loadFinished, dialog,
                         [this, dialog](bool ok) {
                             ++loads;
                             lastOk = ok;
                             lastPath = dialog->browser()->page()->url().path();
                         });
        QObject::connect(dialog, &LoginDialog::confirmed, dialog, [this](bool valid) {
            ++confirmations;
            lastValid = valid;
        });
    }
    int loads = 0;
    bool lastOk = false;
    QString lastPath;
    int confirmations = 0;
    bool lastValid = false;
};

void RunJs(LoginDialog* dialog, const QString& script) {
    dialog->browser()->page()->runJavaScript(script);
}

// What a seller does on the stand-in's login page: name, password, "登录".
void FillAndSubmit(LoginDialog* dialog, const QString& nick, const QString& password) {
    RunJs(dialog, QStringLiteral("document.getElementById('TPL_username').value = '%1';"
                                 "document.getElementById('TPL_password').value = '%2';"
                                 "document.querySelector('#J_Form button[type=submit]').click();")
                      .arg(nick, password));
}

std::string JarFor(BrowserLogins& logins, AppContext& ctx) {
    return logins.browser().jar().CookieHeaderFor(CookieSourceAddress(ctx.hosts()));
}

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The stand-ins and a started-up context, with the messages the session shows.
struct Stage {
    Stage() : sites(std::make_unique<vt::testing::LocalSites>()) {
        StartUp(ctx());
        ctx().SetMessageSink([this](const std::string& m) { messages << Q(m); });
        logins = std::make_unique<BrowserLogins>(ctx());
    }
    ~Stage() {
        logins.reset();
        ctx().SetMessageSink(nullptr);
    }
    AppContext& ctx() { return sites->ctx(); }
    // Opens the dialog of that kind and waits for the login page.
    LoginDialog* Open(LoginDialog::Kind kind, std::unique_ptr<PageWatch>& watch) {
        LoginDialog* d = nullptr;
        if (kind == LoginDialog::Kind::Single) {
            d = logins->OpenSingleLogin(nullptr);
        } else {
            logins->OpenMultiLogin(nullptr);
            d = logins->multiLogin();
        }
        watch = std::make_unique<PageWatch>(d);
        return d;
    }

    std::unique_ptr<vt::testing::LocalSites> sites;
    std::unique_ptr<BrowserLogins> logins;
    QStringList messages;
};

}  // namespace

class UiLoginTest : public QObject {
    Q_OBJECT
private slots:
    void singleLoginCapturesTheSessionCookie();
    void multiLoginAddsRowZeroAndWaitsOutALimitedPage();
    void aCookieStringOverEightKilobytesIsCapturedWhole();
    void theBrowserShowsItsAddressAndStaysOnTheMarketplace();
    void sellerFlowInTheMainWindow();
};

void UiLoginTest::singleLoginCapturesTheSessionCookie() {
    Stage stage;
    AppContext& ctx = stage.ctx();
    QVERIFY(stage.logins->browser().profile()->isOffTheRecord());
    ctx.session().AddAccount("t=0; tracknick=earlier; cookie2=0");

    std::unique_ptr<PageWatch> watch;
    QPointer<LoginDialog> d = stage.Open(LoginDialog::Kind::Single, watch);
    QVERIFY(d->isVisible());
    QCOMPARE(d->windowTitle(), QStringLiteral("登录淘宝"));
    QCOMPARE(d->prompt()->text(), QStringLiteral("请先登录淘宝，进入账户后，点击“已进入账户”按钮"));
    QCOMPARE(d->confirmButton()->text(), QStringLiteral("已进入账户"));
    QCOMPARE(d->closeButton()->text(), QStringLiteral("退出"));
    // The login host's "/" as the host table names it: here the stand-in.
    QCOMPARE(d->LoginAddress(), QUrl(Q(stage.sites->market().origin()) + "/"));
    QTRY_VERIFY_WITH_TIMEOUT(watch->loads > 0, 30000);
    QVERIFY(watch->lastOk);
    QCOMPARE(d->browser()->page()->url(), d->LoginAddress());
    QTRY_COMPARE(d->browser()->page()->title(), QStringLiteral("淘宝网 - 会员登录"));
    QDir().mkpath(QStringLiteral(VT_SCREENSHOT_DIR));
    QTest::qWait(300);
    QVERIFY(d->grab().save(QStringLiteral(VT_SCREENSHOT_DIR "/login-single.png")));

    // "已进入账户" before the login: the check fails, the row keeps its cookie, no
    // database opens, the dialog closes.
    d->confirmButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(watch->confirmations, 1, 20000);
    QVERIFY(!watch->lastValid);
    QTRY_VERIFY(d.isNull() || !d->isVisible());
    QVERIFY(Q(ctx.session().Title()).endsWith(kFailedTitle));
    QVERIFY(!ctx.session().LoginValid());
    QCOMPARE(ctx.session().AccountCookie(0), std::string("t=0; tracknick=earlier; cookie2=0"));
    QVERIFY(ctx.db().ProductDb() == nullptr);

    // Opened again: the seller logs in on the page, then confirms.
    d = stage.Open(LoginDialog::Kind::Single, watch);
    QTRY_VERIFY_WITH_TIMEOUT(watch->loads > 0, 30000);
    FillAndSubmit(d, QStringLiteral("vantrell_demo"), QStringLiteral("demo123"));
    QTRY_VERIFY_WITH_TIMEOUT(watch->lastPath == QStringLiteral("/auction/sell.jhtml"), 30000);
    QVERIFY(watch->lastOk);
    // The browser holds the session: the HttpOnly cookie too, and tracknick.
    QTRY_VERIFY(Holds(JarFor(*stage.logins, ctx), "cookie2="));
    QTRY_VERIFY(Holds(JarFor(*stage.logins, ctx), "tracknick=vantrell_demo"));
    d->confirmButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(watch->confirmations, 1, 20000);
    QVERIFY(watch->lastValid);
    QVERIFY(Q(ctx.session().Title()).endsWith(kLoggedInTitle));
    QVERIFY(ctx.session().LoginValid());
    const std::string captured = ctx.session().SellerCookie();
    QVERIFY(Holds(captured, "cookie2="));
    QVERIFY(Holds(captured, "uc1="));  // the second HttpOnly cookie
    QVERIFY(Holds(captured, "tracknick=vantrell_demo"));
    QCOMPARE(ctx.session().AccountCookie(0), captured);
    QVERIFY(ctx.db().ProductDb() != nullptr);
    // The seller's own product database, named after the nick.
    QVERIFY(std::filesystem::exists(stage.sites->dir().native() + "/DataBase/" +
                                    GbkToUtf8(UrlEncodeUtf8("vantrell_demo")) + ".db"));
    QVERIFY(stage.messages.isEmpty());
}

void UiLoginTest::multiLoginAddsRowZeroAndWaitsOutALimitedPage() {
    Stage stage;
    AppContext& ctx = stage.ctx();
    std::unique_ptr<PageWatch> watch;
    LoginDialog* d = stage.Open(LoginDialog::Kind::Multi, watch);
    QCOMPARE(d->kind(), LoginDialog::Kind::Multi);
    QTRY_VERIFY_WITH_TIMEOUT(watch->loads > 0, 30000);
    QTest::qWait(300);
    QVERIFY(d->grab().save(QStringLiteral(VT_SCREENSHOT_DIR "/login-multi.png")));

    // The marketplace limits access: the message, and the dialog stays open for a retry.
    stage.sites->market().SetAccessLimited(true);
    FillAndSubmit(d, QStringLiteral("vantrell_demo"), QStringLiteral("demo123"));
    QTRY_VERIFY_WITH_TIMEOUT(watch->lastPath == QStringLiteral("/auction/sell.jhtml"), 30000);
    QTRY_VERIFY(Holds(JarFor(*stage.logins, ctx), "cookie2="));
    d->confirmButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(watch->confirmations, 1, 20000);
    QCOMPARE(stage.messages,
             QStringList{QStringLiteral(" 亲，慢慢来，请先坐下来喝口水！我们马上回来。")});
    QVERIFY(d->isVisible());
    QVERIFY(d->confirmButton()->isEnabled());
    QCOMPARE(ctx.session().AccountCount(), 0);

    // Access again: the row "0" with the captured cookie; the dialog closes.
    stage.sites->market().SetAccessLimited(false);
    d->confirmButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(watch->confirmations, 2, 20000);
    QVERIFY(watch->lastValid);
    QTRY_VERIFY(!d->isVisible());
    const std::vector<AccountRow> rows = ctx.session().Accounts();
    QCOMPARE(rows.size(), std::size_t{1});
    QCOMPARE(rows[0].number, std::string("0"));
    QVERIFY(Holds(rows[0].cookie, "cookie2=") && Holds(rows[0].cookie, "tracknick=vantrell_demo"));
    QVERIFY(ctx.session().LoginValid());
    QVERIFY(ctx.db().ProductDb() != nullptr);
    // The one multi-login dialog is reused.
    stage.logins->OpenMultiLogin(nullptr);
    QCOMPARE(stage.logins->multiLogin(), d);
    d->reject();
}

void UiLoginTest::aCookieStringOverEightKilobytesIsCapturedWhole() {
    Stage stage;
    AppContext& ctx = stage.ctx();
    std::unique_ptr<PageWatch> watch;
    LoginDialog* d = stage.Open(LoginDialog::Kind::Single, watch);
    QTRY_VERIFY_WITH_TIMEOUT(watch->loads > 0, 30000);
    FillAndSubmit(d, QStringLiteral("vantrell_demo"), QStringLiteral("demo123"));
    QTRY_VERIFY_WITH_TIMEOUT(watch->lastPath == QStringLiteral("/auction/sell.jhtml"), 30000);
    // The page sets three more cookies of 3000 bytes each.
    RunJs(d, QStringLiteral(
                 "for (let i = 0; i < 3; ++i)"
                 " document.cookie = 'pad' + i + '=' + String(i).repeat(3000) + '; path=/';"));
    QTRY_VERIFY(Holds(JarFor(*stage.logins, ctx), "pad2="));
    d->confirmButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(watch->confirmations, 1, 20000);
    QVERIFY(watch->lastValid);
    const std::string captured = ctx.session().SellerCookie();
    QVERIFY2(captured.size() > 9000, std::to_string(captured.size()).c_str());
    for (int i = 0; i < 3; ++i)
        QVERIFY(
            Holds(captured, "pad" + std::to_string(i) + "=" + std::string(3000, char('0' + i))));
    QVERIFY(Holds(captured, "cookie2="));
    QCOMPARE(captured, JarFor(*stage.logins, ctx));
}

void UiLoginTest::theBrowserShowsItsAddressAndStaysOnTheMarketplace() {
    Stage stage;
    sim::HttpServer elsewhere;  // another site on this machine, where a page might send the seller
    elsewhere.SetHandler([](const sim::HttpRequest&) {
        sim::HttpResponse res;
        res.body = "<html><body><form><input name=password></form></body></html>";
        return res;
    });
    QVERIFY(elsewhere.Start("127.0.0.1", 0));
    const QString market = Q(stage.sites->market().origin());
    const QString other = Q(elsewhere.origin());

    std::unique_ptr<PageWatch> watch;
    LoginDialog* d = stage.Open(LoginDialog::Kind::Single, watch);
    QTRY_VERIFY_WITH_TIMEOUT(watch->loads > 0, 30000);
    QTRY_COMPARE(d->addressLine()->text(), d->LoginAddress().toString());
    QVERIFY(d->addressLine()->isReadOnly());
    QVERIFY(!d->refusalLabel()->isVisible());

    const struct {
        QString url;
        bool allowed;
    } cases[] = {
        {market + "/member/login.jhtml?x=1", true},
        {other + "/", false},  // the same host on another port is another site
        {QString(market).replace("http://", "https://"), false},
        {"file:///etc/passwd", false},
        {"data:text/html,<b>x</b>", false},
    };
    for (const auto& c : cases) QVERIFY2(d->MayOpen(QUrl(c.url)) == c.allowed, qPrintable(c.url));

    // A link away from the marketplace: refused, said in the dialog, the page stays.
    RunJs(d, QStringLiteral("location.href = '%1/steal';").arg(other));
    QTRY_VERIFY_WITH_TIMEOUT(d->Refusals() == 1, 20000);
    QVERIFY(d->refusalLabel()->isVisible());
    QCOMPARE(d->refusalLabel()->text(),
             QStringLiteral("已阻止打开淘宝登录以外的网址：") + other + "/steal");
    QCOMPARE(d->browser()->page()->url(), d->LoginAddress());
    QTest::qWait(300);
    QVERIFY(d->grab().save(QStringLiteral(VT_SCREENSHOT_DIR "/login-refused.png")));

    // A new window: away from the marketplace refused as well; on it, opened here.
    RunJs(d, QStringLiteral("window.open('%1/popup');").arg(other));
    QTRY_VERIFY_WITH_TIMEOUT(d->Refusals() == 2, 20000);
    RunJs(d, QStringLiteral("window.open('%1/auction/sell.jhtml');").arg(market));
    QTRY_VERIFY_WITH_TIMEOUT(watch->lastPath == QStringLiteral("/auction/sell.jhtml"), 30000);
    QCOMPARE(d->addressLine()->text(), market + "/auction/sell.jhtml");
    QCOMPARE(d->Refusals(), 2);
    QVERIFY(elsewhere.Requests().empty());
}

void UiLoginTest::sellerFlowInTheMainWindow() {
    // Answers take a little while, so the lists are caught filling.
    vt::testing::E2eJob job(vt::testing::E2eOptions{120, 10, 0});
    RecordedMessages messages;
    RecordedOpens opens;
    RecordedFiles files;
    BrowserLogins logins(job.ctx());
    MainWindow window(job.ctx(), {&messages, &opens, &logins, &files});
    window.resize(1100, 720);
    window.show();

    // "多开设置": "多开登录" opens the multi-login dialog on the stand-in's login page.
    window.tabs()->setCurrentIndex(3);
    window.accountsPanel()->loginButton()->click();
    LoginDialog* d = logins.multiLogin();
    QVERIFY(d && d->isVisible());
    PageWatch watch(d);
    QTRY_VERIFY_WITH_TIMEOUT(watch.loads > 0, 30000);
    FillAndSubmit(d, QStringLiteral("vantrell_demo"), QStringLiteral("demo123"));
    QTRY_VERIFY_WITH_TIMEOUT(watch.lastPath == QStringLiteral("/auction/sell.jhtml"), 30000);
    QTRY_VERIFY(Holds(JarFor(logins, job.ctx()), "cookie2="));
    QTest::qWait(300);
    QVERIFY(d->grab().save(QStringLiteral(VT_SCREENSHOT_DIR "/seller-flow-1-logged-in.png")));
    d->confirmButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!d->isVisible(), 20000);
    QTableWidget* accounts = window.accountsPanel()->list();
    QTRY_COMPARE(accounts->rowCount(), 1);
    QCOMPARE(accounts->item(0, 0)->text(), QStringLiteral("0"));
    QVERIFY(window.grab().save(QStringLiteral(VT_SCREENSHOT_DIR "/seller-flow-2-accounts.png")));

    // "采集": a title job.
    window.tabs()->setCurrentIndex(0);
    CollectionPanelWidget* p = window.collectionPanel();
    p->modeButton(CollectMode::Title)->click();
    QTRY_VERIFY(!p->Busy());
    p->input(CollectInput::Title)->setText(Q(job.CommonTitleCharacter()));
    p->startButton()->click();
    QTRY_VERIFY(p->stopButton()->isEnabled());
    QTRY_VERIFY(!p->Busy());
    QVERIFY(job.ctx().workers().Launched() > 0);

    // "采集结果": both lists and the counters fill until the shop holds the books.
    window.tabs()->setCurrentIndex(1);
    ResultsPanelWidget* r = window.resultsPanel();
    QTRY_VERIFY_WITH_TIMEOUT(r->collectedModel()->rowCount() > 0, 30000);
    QTest::qWait(100);
    QVERIFY(window.grab().save(QStringLiteral(VT_SCREENSHOT_DIR "/seller-flow-3-running.png")));
    QTRY_VERIFY_WITH_TIMEOUT(PipelineDrained(job.ctx(), false), 60000);
    const auto shop = job.ShopCodes();
    QVERIFY(!shop.empty());
    QTRY_COMPARE(r->value(CounterBox::Published)->text(), QString::number(shop.size()));
    QTRY_COMPARE(r->toCollectModel()->rowCount(), job.ctx().toCollect().Count());
    QTRY_COMPARE(r->collectedModel()->rowCount(), job.ctx().collected().Count());
    QCOMPARE(job.SucceededRowCodes(), shop);
    QCOMPARE(job.RecordedCodes(), shop);
    // A multi-login leaves the title alone; the flag let the workers run.
    QCOMPARE(window.windowTitle(), StartUpTitle());
    QVERIFY(job.ctx().session().LoginValid());
    QTest::qWait(100);
    QVERIFY(window.grab().save(QStringLiteral(VT_SCREENSHOT_DIR "/seller-flow-4-done.png")));
    qInfo("the shop holds %d books; %d rows to collect, %d collected",
          static_cast<int>(shop.size()), job.ctx().toCollect().Count(),
          job.ctx().collected().Count());
    p->stopButton()->click();
    job.StopAndJoin();
}

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    UiLoginTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ui_login_test.moc"
