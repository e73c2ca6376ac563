// The desktop window against the in-process stand-ins: tabs and menu, titles and the
// finish label reported from worker threads, the collection panel's modes, tree and
// start, closing during a slow publish, and the screenshots of every tab and mode.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "base/hosts.h"
#include "base/text.h"
#include "core/context.h"
#include "support/e2e_job.h"
#include "support/local_sites.h"
#include "support/temp_app_dir.h"
#include "ui/category_tree_widget.h"
#include "ui/collection_panel_widget.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/results_panel_widget.h"

using namespace vt;
using namespace vt::ui;
using vt::testing::LocalSites;

namespace {

// One window on a fresh context whose every host points at the stand-ins.
// Data/Hosts.ini naming the stand-ins for every role, with these extra lines, loaded.
void LoadHostsIni(LocalSites& sites, const std::string& extra) {
    std::string ini = "[HOSTS]\r\n";
    for (std::size_t i = 0; i < kHostRoleCount; ++i) {
        const auto role = static_cast<HostRole>(i);
        ini += std::string(HostKey(role)) + "=" +
               (role <= HostRole::SourcePromo ? sites.store().origin() : sites.market().origin()) +
               "\r\n";
    }
    const std::string path = sites.ctx().DataDir() + "/Hosts.ini";
    vt::testing::WriteAll(GbkToUtf8(path), ini + extra);
    QVERIFY(sites.ctx().hosts().Load(path));
}

struct Desk {
    // hostsExtra: lines added to a Hosts.ini of the stand-ins, loaded before the window.
    explicit Desk(vt::testing::StoreOverride override = nullptr, const char* hostsExtra = nullptr)
        : sites(std::make_unique<LocalSites>(sim::CatalogOptions{}, std::move(override))) {
        if (hostsExtra)
            LoadHostsIni(*sites, hostsExtra);
        StartUp(sites->ctx());
        window =
            std::make_unique<MainWindow>(sites->ctx(), DesktopServices{&messages, &opens, &logins});
        window->show();
    }
    ~Desk() { window.reset(); }
    AppContext& ctx() { return sites->ctx(); }
    CollectionPanelWidget* panel() { return window->collectionPanel(); }
    bool WaitIdle(int ms = 20000) {
        QElapsedTimer t;
        t.start();
        while (panel()->Busy() && t.elapsed() < ms) QTest::qWait(5);
        QTest::qWait(20);  // the queued syncs after the task
        return !panel()->Busy();
    }
    void ChooseMode(CollectMode mode) {
        panel()->modeButton(mode)->click();
        QVERIFY(WaitIdle());
    }

    std::unique_ptr<LocalSites> sites;
    RecordedMessages messages;
    RecordedOpens opens;
    RecordedLogins logins;
    std::unique_ptr<MainWindow> window;
};

const QString kProduct = QStringLiteral("OrnikVantrell网图书采集及上传软件");

}  // namespace

class UiWindowTest : public QObject {
    Q_OBJECT
private slots:
    void tabsMenuAndAbout();
    void bannerOpensTheHomePageOfHostsIni();
    void hiddenPanelsKeepUpWithAJob();
    void titlesFromWorkerThreads();
    void finishLabelOnTheThirdFinishOnly();
    void modeButtonsAndTree();
    void startRefusalsAndButtons();
    void tooManyFiltersStartsNothing();
    void sortAndFiltersReachTheFirstAddressAndStopEndsTheWorkers();
    void closeDuringASlowPublishKeepsTheRecord();
    void screenshots();
};

void UiWindowTest::tabsMenuAndAbout() {
    Desk desk;
    QTabWidget* tabs = desk.window->tabs();
    QCOMPARE(tabs->count(), 4);
    const QStringList captions = {QStringLiteral("采集"), QStringLiteral("采集结果"),
                                  QStringLiteral("系统设置"), QStringLiteral("多开设置")};
    for (int i = 0; i < 4; ++i) QCOMPARE(tabs->tabText(i), captions[i]);
    QCOMPARE(tabs->currentIndex(), 0);
    QVERIFY(desk.panel()->isVisible());
    QCOMPARE(desk.window->windowTitle(), StartUpTitle());
    QVERIFY(StartUpTitle().startsWith(kProduct + QStringLiteral(":")));

    // The three folder commands open the installed tree's folders.
    const struct {
        const char* caption;
        std::string folder;
    } folders[] = {{"打开图片文件夹", desk.ctx().appDir() + "/images"},
                   {"打开日志文件夹", desk.ctx().appDir() + "/Log"},
                   {"打开配置文件夹", desk.ctx().appDir() + "/Data/File"}};
    for (const auto& f : folders) {
        QAction* a = desk.window->action(QString::fromUtf8(f.caption));
        QVERIFY2(a, f.caption);
        a->trigger();
        QCOMPARE(desk.opens.opened.last(), Q(f.folder));
    }
    desk.window->action(QStringLiteral("反馈建议"))->trigger();
    QVERIFY(desk.opens.opened.last().startsWith(QStringLiteral("https://")));
    desk.window->action(QStringLiteral("登录 淘宝网"))->trigger();
    QCOMPARE(desk.logins.count, 1);

    // "关于" and the window menu's "关于 Vantrell(&A)..." show the same box; "确定" closes it.
    for (const QString& caption :
         {QStringLiteral("关于"), QStringLiteral("关于 Vantrell(&A)...")}) {
        desk.window->action(caption)->trigger();
        QDialog* about = desk.window->aboutBox();
        QVERIFY(about);
        QTRY_VERIFY(about->isVisible());
        QPushButton* ok = nullptr;
        for (auto* b : about->findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("确定"))
                ok = b;
        QVERIFY(ok);
        ok->click();
        QTRY_VERIFY(!about->isVisible());
    }
}

void UiWindowTest::bannerOpensTheHomePageOfHostsIni() {
    const struct {
        const char* lines;
        QString opened;  // empty: the banner has no link
    } cases[] = {
        {"HomePage=https://vantrell.example/home\r\n",
         QStringLiteral("https://vantrell.example/home")},
        {"HomePage= http://vantrell.example:8080/a?b=1 \r\n",
         QStringLiteral("http://vantrell.example:8080/a?b=1")},
        {"", QString()},
        {"HomePage=\r\n", QString()},
        {"HomePage=javascript:alert(1)\r\n", QString()},
        {"HomePage=file:///etc/passwd\r\n", QString()},
        {"HomePage=vantrell.example\r\n", QString()},
        {"HomePage=https://\r\n", QString()},
    };
    for (const auto& c : cases) {
        Desk desk(nullptr, c.lines);
        QLabel* banner = desk.window->banner();
        QVERIFY2(banner && banner->isVisible(), c.lines);
        // Above the tabs, one line, the product named in it.
        QVERIFY(banner->mapTo(desk.window.get(), QPoint(0, 0)).y() <
                desk.window->tabs()->mapTo(desk.window.get(), QPoint(0, 0)).y());
        QVERIFY(banner->text().contains(QStringLiteral("Vantrell")));
        QVERIFY(!banner->text().contains(QLatin1Char('\n')));
        QCOMPARE(banner->text().contains(QStringLiteral("项目主页")), !c.opened.isEmpty());
        const qsizetype before = desk.opens.opened.size();
        QTest::mouseClick(banner, Qt::LeftButton);
        if (c.opened.isEmpty()) {
            QCOMPARE(desk.opens.opened.size(), before);
        } else {
            QCOMPARE(desk.opens.opened.size(), before + 1);
            QCOMPARE(desk.opens.opened.last(), c.opened);
        }
    }
}

void UiWindowTest::hiddenPanelsKeepUpWithAJob() {
    Desk desk;
    ResultsPanelWidget* results = desk.window->resultsPanel();
    for (int tab : {3, 0, 2}) {
        desk.window->tabs()->setCurrentIndex(tab);
        QVERIFY(!results->isVisible());
        std::thread worker(
            [&desk, tab] { desk.ctx().counters().SetNumber(CounterBox::Collected, tab + 10); });
        worker.join();
        QTRY_COMPARE(results->value(CounterBox::Collected)->text(), QString::number(tab + 10));
    }
    desk.window->tabs()->setCurrentIndex(1);
    QVERIFY(results->isVisible() && !desk.panel()->isVisible());
    QCOMPARE(results->value(CounterBox::Collected)->text(), QStringLiteral("12"));
}

void UiWindowTest::titlesFromWorkerThreads() {
    Desk desk;
    for (const char* state : {kStateLoggedIn, kStateLoginFailed, kStateLapsed}) {
        std::thread worker([&desk, state] { desk.ctx().session().ShowAccountState(state); });
        worker.join();
        QTRY_COMPARE(desk.window->windowTitle(),
                     kProduct + QStringLiteral("----淘宝账户状态：") + Q(state));
    }
}

void UiWindowTest::finishLabelOnTheThirdFinishOnly() {
    Desk desk;
    QLabel* label = desk.window->resultsPanel()->caption(CounterBox::Collecting);
    auto finishFromThreads = [&desk](int n) {
        std::vector<std::thread> producers;
        for (int i = 0; i < n; ++i)
            producers.emplace_back([&desk] { desk.ctx().PostFinishMessage(); });
        for (auto& t : producers) t.join();
        QTest::qWait(30);
    };
    finishFromThreads(2);
    QCOMPARE(label->text(), QStringLiteral("正在采集："));
    finishFromThreads(1);
    QTRY_COMPARE(label->text(), QStringLiteral("类目分析完成"));
    finishFromThreads(1);
    QCOMPARE(label->text(), QStringLiteral("类目分析完成"));

    // A second job: the label shows the caption again and the count goes on from 4.
    desk.ctx().counters().SetCollectingLabel(Gbk(QStringLiteral("正在采集：")));
    QTRY_COMPARE(label->text(), QStringLiteral("正在采集："));
    finishFromThreads(3);
    QCOMPARE(label->text(), QStringLiteral("正在采集："));
    QCOMPARE(desk.ctx().FinishCount(), 7);
}

void UiWindowTest::modeButtonsAndTree() {
    Desk desk;
    CollectionPanelWidget* p = desk.panel();
    auto enabledInputs = [p] {
        return QList<bool>{p->input(CollectInput::Title)->isEnabled(),
                           p->input(CollectInput::Author)->isEnabled(),
                           p->input(CollectInput::Publisher)->isEnabled(),
                           p->input(CollectInput::PromoAddress)->isEnabled()};
    };
    // Opened: no mode, every input enabled, first sort, filters off, stop disabled.
    for (CollectMode m : CollectionPanelWidget::kModes) QVERIFY(!p->modeButton(m)->isChecked());
    QCOMPARE(enabledInputs(), (QList<bool>{true, true, true, true}));
    QCOMPARE(p->sortList()->count(), 8);
    QCOMPARE(p->sortList()->currentIndex(), 0);
    QCOMPARE(p->sortList()->currentText(), QStringLiteral("销售由高到低"));
    QVERIFY(p->startButton()->isEnabled() && !p->stopButton()->isEnabled());

    const int tops = static_cast<int>(desk.sites->store().catalog().categories().size());
    const struct {
        CollectMode mode;
        QList<bool> inputs;
        bool treeEnabled;
        int treeItems;
    } cases[] = {
        {CollectMode::Category, {false, false, false, false}, true, tops},
        {CollectMode::Title, {true, false, false, false}, false, 0},
        {CollectMode::Author, {false, true, false, false}, false, 0},
        {CollectMode::Publisher, {false, false, true, false}, false, 0},
        {CollectMode::Promo, {false, false, false, true}, false, 0},
        {CollectMode::Category, {false, false, false, false}, true, tops},
    };
    for (const auto& c : cases) {
        desk.ChooseMode(c.mode);
        QVERIFY(p->modeButton(c.mode)->isChecked());
        QCOMPARE(desk.ctx().panel().Mode(), c.mode);
        QCOMPARE(enabledInputs(), c.inputs);
        QCOMPARE(p->tree()->isEnabled(), c.treeEnabled);
        QCOMPARE(p->tree()->topLevelItemCount(), c.treeItems);
    }
    QVERIFY(tops > 0);
    QCOMPARE(p->tree()->topLevelItem(0)->text(0),
             Q(desk.sites->store().catalog().categories().front().name).trimmed());

    // Double-clicking a node twice fetches its page once; its children appear under it.
    QTreeWidgetItem* first = p->tree()->topLevelItem(0);
    const std::string path = desk.ctx().panel().tree().Info(0).Url;
    const std::string page = path.substr(path.rfind('/'));
    desk.sites->store().server().ClearRequests();
    for (int i = 0; i < 2; ++i) {
        QTest::mouseDClick(p->tree()->viewport(), Qt::LeftButton, {},
                           p->tree()->visualItemRect(first).center());
        QVERIFY(desk.WaitIdle());
        QTRY_VERIFY(p->tree()->isEnabled());
    }
    QCOMPARE(desk.sites->StoreTargets(page.substr(0, page.size() - 5)).size(), std::size_t{1});
    QVERIFY(first->childCount() > 0);

    // Checking a child in the widget checks it in the model the job reads.
    first->child(0)->setCheckState(0, Qt::Checked);
    QVERIFY(desk.ctx().panel().tree().Checked(tops));
}

void UiWindowTest::startRefusalsAndButtons() {
    Desk desk;
    CollectionPanelWidget* p = desk.panel();
    const std::string promo = desk.sites->store().origin() + "/subject/1001.html";
    const struct {
        CollectMode mode;
        QString input;
        bool account;
        QString message;
        bool listsEmptied;
    } cases[] = {
        {CollectMode::Title, QStringLiteral("呐喊"), false,
         QStringLiteral("未登录，请先在多开页面登录，然后再点开始采集。"), true},
        {CollectMode::Author, QStringLiteral("鲁迅"), false,
         QStringLiteral("未登录，请先在多开页面登录，然后再点开始采集。"), false},
        {CollectMode::Category,
         {},
         false,
         QStringLiteral("未登录，请先在多开页面登录，然后再点开始采集。"),
         false},
        {CollectMode::Promo, Q(promo), false,
         QStringLiteral("未登录，请先在多开页面登录，然后再点开始采集。"), false},
        {CollectMode::Title, {}, true, QStringLiteral("图书名不能为空！"), false},
        {CollectMode::Author, {}, true, QStringLiteral("作者不能为空！"), false},
        {CollectMode::Publisher, {}, true, QStringLiteral("出版社不能为空！"), false},
        {CollectMode::Promo, {}, true, QStringLiteral("活动地址不能为空哦！"), false},
    };
    for (const auto& c : cases) {
        desk.ChooseMode(c.mode);
        if (c.mode != CollectMode::Category) {
            QLineEdit* box =
                p->input(c.mode == CollectMode::Title       ? CollectInput::Title
                         : c.mode == CollectMode::Author    ? CollectInput::Author
                         : c.mode == CollectMode::Publisher ? CollectInput::Publisher
                                                            : CollectInput::PromoAddress);
            box->setText(c.input);
        }
        // The account list: none, then one row (a row is never removed).
        if (c.account && desk.ctx().session().AccountCount() == 0)
            desk.ctx().session().AddAccount("tracknick=shop");
        desk.ctx().toCollect().Append(ToCollectRow{});
        desk.ctx().collected().Append(CollectedRow{});
        desk.messages.shown.clear();
        p->startButton()->click();
        QVERIFY(desk.WaitIdle());
        QTRY_COMPARE(desk.messages.shown, QStringList{c.message});
        QVERIFY(p->startButton()->isEnabled());
        QVERIFY(!p->stopButton()->isEnabled());
        QCOMPARE(desk.ctx().workers().Launched(), std::size_t{0});
        QCOMPARE(desk.ctx().collected().Count() == 0, c.listsEmptied);
    }
}

void UiWindowTest::tooManyFiltersStartsNothing() {
    Desk desk([](const sim::HttpRequest& r) -> std::optional<sim::HttpResponse> {
        if (r.target.rfind("/?key=", 0) == 0) {
            sim::HttpResponse answer;
            answer.body = Gbk(QStringLiteral("<p>筛选条件太多了，没有找到相关商品</p>"));
            return answer;
        }
        return std::nullopt;
    });
    desk.ctx().session().AddAccount("tracknick=shop");
    desk.ChooseMode(CollectMode::Title);
    desk.panel()->input(CollectInput::Title)->setText(QStringLiteral("中国"));
    desk.panel()->startButton()->click();
    QVERIFY(desk.WaitIdle());
    QTRY_COMPARE(desk.messages.shown,
                 QStringList{QStringLiteral("筛选条件太多了，没有找到相关商品")});
    QCOMPARE(desk.ctx().workers().Launched(), std::size_t{0});
    // The buttons stay in the running state until the seller presses stop.
    QVERIFY(!desk.panel()->startButton()->isEnabled());
    QVERIFY(desk.panel()->stopButton()->isEnabled());
    desk.panel()->stopButton()->click();
    QTRY_VERIFY(desk.panel()->startButton()->isEnabled());
}

void UiWindowTest::sortAndFiltersReachTheFirstAddressAndStopEndsTheWorkers() {
    Desk desk;
    CollectionPanelWidget* p = desk.panel();
    desk.ctx().session().AddAccount("tracknick=shop");
    desk.ChooseMode(CollectMode::Title);
    QTest::keyClicks(p->input(CollectInput::Title), QStringLiteral("abc"));
    p->sortList()->setCurrentIndex(p->sortList()->findText(QStringLiteral("价格由低到高")));
    p->filterBox(ListFilter::CuXiao)->click();
    QCOMPARE(desk.ctx().panel().SortLabel(), Gbk(QStringLiteral("价格由低到高")));
    p->startButton()->click();
    QTRY_VERIFY(p->stopButton()->isEnabled());
    QVERIFY(!p->startButton()->isEnabled());
    QVERIFY(desk.WaitIdle());
    const auto targets = desk.sites->StoreTargets("key=abc");
    QVERIFY(!targets.empty());
    QCOMPARE(QString::fromStdString(targets.front()),
             QStringLiteral("/?key=abc&category_path=01.00.00.00.00.00&sort_type=sort_xlowprice_asc"
                            "&filter=0%7C1%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C"));
    QVERIFY(desk.ctx().workers().Launched() > 0);

    p->stopButton()->click();
    QTRY_VERIFY(p->startButton()->isEnabled());
    QVERIFY(!p->stopButton()->isEnabled());
    // Every worker leaves at its next stop test.
    std::thread joiner([&desk] { desk.ctx().workers().JoinAll(); });
    joiner.join();
    QCOMPARE(desk.ctx().workers().Launched(), std::size_t{0});
}

void UiWindowTest::closeDuringASlowPublishKeepsTheRecord() {
    vt::testing::E2eJob job(vt::testing::E2eOptions{200, 0, 10});
    QVERIFY(job.LogIn());
    RecordedMessages messages;
    RecordedOpens opens;
    RecordedLogins logins;
    MainWindow window(job.ctx(), {&messages, &opens, &logins});
    window.show();
    CollectionPanelWidget* p = window.collectionPanel();
    p->modeButton(CollectMode::Title)->click();
    QTRY_VERIFY(!p->Busy());
    job.ctx().panel().SetInput(CollectInput::Title, job.CommonTitleCharacter());
    QTRY_VERIFY(!p->input(CollectInput::Title)->text().isEmpty());
    p->startButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!job.market().Items().empty(), 30000);
    // Every marketplace answer now takes long: the close finds an upload under way.
    sim::FaultSettings slow;
    slow.latencyMs = 700;
    job.market().server().SetFaults(slow);
    QTest::qWait(300);
    QElapsedTimer t;
    t.start();
    window.close();
    QVERIFY(window.Closing());
    QVERIFY(window.isVisible());  // still painting while the item finishes
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 60000);
    qInfo("the close waited %lld ms", static_cast<long long>(t.elapsed()));
    QCOMPARE(job.ctx().workers().Launched(), std::size_t{0});
    // Every item the shop took is recorded for the account, so no later job repeats it.
    QCOMPARE(job.RecordedCodes(), job.ShopCodes());
}

void UiWindowTest::screenshots() {
    Desk desk(nullptr, "HomePage=https://vantrell.example/\r\n");
    QDir().mkpath(QStringLiteral(VT_SCREENSHOT_DIR));
    desk.window->resize(960, 640);
    auto shoot = [&desk](const QString& name) {
        QTest::qWait(50);
        QVERIFY(desk.window->grab().save(QStringLiteral(VT_SCREENSHOT_DIR "/") + name + ".png"));
    };
    const char* tabNames[] = {"tab0-collect", "tab1-results", "tab2-settings", "tab3-accounts"};
    for (int i = 0; i < 4; ++i) {
        desk.window->tabs()->setCurrentIndex(i);
        shoot(QString::fromLatin1(tabNames[i]));
    }
    desk.window->tabs()->setCurrentIndex(0);
    for (CollectMode m : CollectionPanelWidget::kModes) {
        desk.ChooseMode(m);
        if (m == CollectMode::Category) {
            QTreeWidgetItem* first = desk.panel()->tree()->topLevelItem(0);
            QVERIFY(first);
            QTest::mouseDClick(desk.panel()->tree()->viewport(), Qt::LeftButton, {},
                               desk.panel()->tree()->visualItemRect(first).center());
            QVERIFY(desk.WaitIdle());
        }
        shoot(QStringLiteral("mode%1").arg(static_cast<int>(m)));
    }
}

QTEST_MAIN(UiWindowTest)
#include "ui_window_test.moc"
