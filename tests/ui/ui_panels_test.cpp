// The results tab and the accounts tab against the in-process stand-ins, offscreen:
// columns and menus, select all / none, clear, forbidden marks, export and import through
// the file choosers, the views following a real job (and a job whose lists are cleared
// again and again), the accounts panel's two buttons, and the screenshots of both tabs.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <set>

#include "app/job_progress.h"
#include "app/panel_actions.h"
#include "app/startup.h"
#include "base/text.h"
#include "core/context.h"
#include "market/cookie_sources.h"
#include "market/login_checks.h"
#include "support/e2e_job.h"
#include "support/temp_app_dir.h"
#include "ui/accounts_panel_widget.h"
#include "ui/collection_panel_widget.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/results_panel_widget.h"
#include "ui/work_list_model.h"

using namespace vt;
using namespace vt::ui;
using vt::testing::E2eJob;

namespace {

// A window on a whole stand-in job's context (installed tree started up, the seller's
// settings made), with recorders for every desktop service.
struct Desk {
    explicit Desk(vt::testing::E2eOptions options = {120, 0, 0}) : job(options) {
        job.ctx().SetMessageSink(nullptr);
        window = std::make_unique<MainWindow>(job.ctx(),
                                              DesktopServices{&messages, &opens, &logins, &files});
        window->resize(1100, 720);
        window->show();
        window->tabs()->setCurrentIndex(1);
    }
    ~Desk() {
        PressStop(ctx());
        window.reset();
    }
    AppContext& ctx() { return job.ctx(); }
    ResultsPanelWidget* results() { return window->resultsPanel(); }
    AccountsPanelWidget* accounts() { return window->accountsPanel(); }
    QString File(const QString& name) { return Q(job.sites().dir().path()) + "/" + name; }
    std::string NativeFile(const QString& name) {
        return job.sites().dir().native() + "/" + name.toStdString();
    }
    void AddMarks(const QStringList& marks) {
        for (const QString& m : marks) {
            ToCollectRow row{};
            row[kMarkCol] = Gbk(m);
            row[kTitleCol] = Gbk(QStringLiteral("书名") + m.trimmed());
            ctx().toCollect().Append(row);
        }
    }
    void Trigger(const QString& caption) {
        QAction* a = results()->action(caption);
        QVERIFY2(a, qPrintable(caption));
        a->trigger();
    }
    // The view shows exactly the list: rows, cells and check boxes.
    template <int N>
    bool ViewEqualsList(WorkListModel* model, const WorkList<N>& list) {
        const int rows = list.Count();
        if (model->rowCount() != rows)
            return false;
        for (int r = 0; r < rows; ++r) {
            const auto cells = list.RowAt(r);
            for (int c = 0; c < N; ++c)
                if (model->index(r, c).data().toString() != Q(cells[static_cast<std::size_t>(c)]))
                    return false;
            const bool shown = model->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
            if (shown != list.Checked(r))
                return false;
        }
        return true;
    }
    bool ViewsEqualLists() {
        return ViewEqualsList(results()->toCollectModel(), ctx().toCollect()) &&
               ViewEqualsList(results()->collectedModel(), ctx().collected());
    }
    void StartTitleJob() {
        CollectionPanelWidget* p = window->collectionPanel();
        window->tabs()->setCurrentIndex(0);
        p->modeButton(CollectMode::Title)->click();
        QTRY_VERIFY(!p->Busy());
        ctx().panel().SetInput(CollectInput::Title, job.CommonTitleCharacter());
        QTRY_VERIFY(!p->input(CollectInput::Title)->text().isEmpty());
        p->startButton()->click();
        QTRY_VERIFY(p->stopButton()->isEnabled());
        // The start runs off the window's thread: the workers are there once it is done.
        QTRY_VERIFY(!p->Busy());
        QVERIFY(ctx().workers().Launched() > 0);
        window->tabs()->setCurrentIndex(1);
    }

    E2eJob job;
    RecordedMessages messages;
    RecordedOpens opens;
    RecordedLogins logins;
    RecordedFiles files;
    std::unique_ptr<MainWindow> window;
};

QStringList Captions(WorkListModel* model) {
    QStringList out;
    for (int i = 0; i < model->columnCount(); ++i)
        out << model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
    return out;
}

QPoint RowCentre(QTableView* view, int row, int column = 1) {
    return view->visualRect(view->model()->index(row, column)).center();
}

std::string Bytes(const std::string& nativePath) {
    return vt::testing::ReadAll(nativePath);
}

}  // namespace

class UiPanelsTest : public QObject {
    Q_OBJECT
private slots:
    void columnsCaptionsWidthsAndStyles();
    void menusPerListAndNothingBelowTheLastRow();
    void selectAllNoneAndClearThroughTheMenus();
    void checkBoxesWriteTheList();
    void forbiddenMarksFromCheckedRows();
    void exportWritesTheCheckedMarks();
    void dataFilesOnDemand();
    void importFillsTheListAndReachesTheShop();
    void importWhileAJobRunsIsRefused();
    void viewsAndCountersFollowARealJob();
    void clearingBothListsWhileAJobRuns();
    void accountsPanel();
    void screenshots();
};

void UiPanelsTest::columnsCaptionsWidthsAndStyles() {
    Desk desk;
    ResultsPanelWidget* r = desk.results();
    QCOMPARE(Captions(r->toCollectModel()),
             (QStringList{"标志", "编号", "书名", "定价", "网站价", "库存", "作者", "出版社",
                          "出版日期", "类目", "页数", "处理状态"}));
    QCOMPARE(Captions(r->collectedModel()), (QStringList{"Id", "编号", "书名", "图片下载状况",
                                                         "库存", "状态", "店铺类目", "淘宝状态"}));
    // At least the original dialog's widths (0: hidden).
    const int toCollectWidths[] = {100, 50, 130, 50, 50, 0, 100, 110, 100, 0, 0, 150};
    const int collectedWidths[] = {50, 50, 118, 150, 0, 0, 0, 300};
    auto checkView = [](QTableView* view, const int* widths, int n) {
        QCOMPARE(view->model()->columnCount(), n);
        const QFontMetrics fm(view->horizontalHeader()->font());
        for (int i = 0; i < n; ++i) {
            const QString caption = view->model()->headerData(i, Qt::Horizontal).toString();
            QCOMPARE(view->isColumnHidden(i), widths[i] == 0);
            if (widths[i] > 0) {
                QVERIFY2(view->columnWidth(i) >= widths[i], qPrintable(caption));
                // The caption is never cut.
                QVERIFY2(view->columnWidth(i) >= fm.horizontalAdvance(caption) + 12,
                         qPrintable(caption));
            }
        }
        QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(view->showGrid());
        QCOMPARE(view->contextMenuPolicy(), Qt::CustomContextMenu);
    };
    checkView(r->toCollectView(), toCollectWidths, 12);
    checkView(r->collectedView(), collectedWidths, 8);
    desk.AddMarks({"1"});
    desk.ctx().collected().Append(CollectedRow{});
    QTRY_COMPARE(r->toCollectModel()->rowCount(), 1);
    QTRY_COMPARE(r->collectedModel()->rowCount(), 1);
    QVERIFY(r->toCollectModel()->flags(r->toCollectModel()->index(0, 0)) & Qt::ItemIsUserCheckable);
    QVERIFY(r->collectedModel()->flags(r->collectedModel()->index(0, 0)) & Qt::ItemIsUserCheckable);
    // The seven boxes with their captions; read-only.
    const QStringList captions = {"待采集：",   "过滤：",     "正在采集：", "成功采集：",
                                  "成功上传：", "上传失败：", "过滤："};
    for (int i = 0; i < kCounterBoxes; ++i) {
        QCOMPARE(r->caption(static_cast<CounterBox>(i))->text(), captions[i]);
        QVERIFY(r->value(static_cast<CounterBox>(i))->isReadOnly());
    }
    QCOMPARE(r->importButton()->text(), QStringLiteral("导入编码"));
}

void UiPanelsTest::menusPerListAndNothingBelowTheLastRow() {
    Desk desk;
    ResultsPanelWidget* r = desk.results();
    desk.AddMarks({"1", "2"});
    desk.ctx().collected().Append(CollectedRow{});
    QTRY_COMPARE(r->toCollectModel()->rowCount(), 2);
    QTRY_COMPARE(r->collectedModel()->rowCount(), 1);

    auto captions = [](QMenu* m) {
        QStringList out;
        for (QAction* a : m->actions()) out << a->text();
        return out;
    };
    QCOMPARE(captions(r->toCollectMenu()),
             (QStringList{"全选", "取消全选", "全部清除", "将勾选项目加入禁止销售标识库",
                          "导出勾选商品标识"}));
    QCOMPARE(captions(r->collectedMenu()), QStringList{"全部清空"});

    QTableView* tc = r->toCollectView();
    QTableView* cd = r->collectedView();
    QCOMPARE(r->MenuAt(tc, RowCentre(tc, 1)), r->toCollectMenu());
    QCOMPARE(r->MenuAt(cd, RowCentre(cd, 0)), r->collectedMenu());
    const QPoint below(RowCentre(tc, 1).x(), tc->viewport()->height() - 3);
    QVERIFY(r->MenuAt(tc, below) == nullptr);
    QVERIFY(r->MenuAt(cd, QPoint(5, cd->viewport()->height() - 3)) == nullptr);

    // A real right-click: the list's own menu pops up at the mouse; below the rows nothing.
    auto rightClick = [](QTableView* view, QPoint pos) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, view->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(view->viewport(), &event);
    };
    rightClick(tc, RowCentre(tc, 0));
    QTRY_VERIFY(r->toCollectMenu()->isVisible());
    QVERIFY(!r->collectedMenu()->isVisible());
    r->toCollectMenu()->hide();
    rightClick(cd, RowCentre(cd, 0));
    QTRY_VERIFY(r->collectedMenu()->isVisible());
    r->collectedMenu()->hide();
    rightClick(tc, below);
    rightClick(cd, QPoint(5, cd->viewport()->height() - 3));
    QTest::qWait(50);
    QVERIFY(!r->toCollectMenu()->isVisible());
    QVERIFY(!r->collectedMenu()->isVisible());
}

void UiPanelsTest::selectAllNoneAndClearThroughTheMenus() {
    Desk desk;
    ResultsPanelWidget* r = desk.results();
    desk.AddMarks({"1", "2", "3"});
    desk.ctx().collected().Append(CollectedRow{"0", "1"});
    desk.ctx().job().NextPage = 7;
    desk.ctx().job().DetailCursor = 3;
    desk.ctx().job().ProcessingCursor = 1;
    QTRY_COMPARE(r->toCollectModel()->rowCount(), 3);

    desk.Trigger("全选");
    QCOMPARE(desk.ctx().toCollect().CheckedRows(), (std::vector<int>{0, 1, 2}));
    QTRY_VERIFY(desk.ViewsEqualLists());
    desk.Trigger("取消全选");
    QVERIFY(desk.ctx().toCollect().CheckedRows().empty());
    QTRY_VERIFY(desk.ViewsEqualLists());

    desk.Trigger("全部清除");
    QCOMPARE(desk.ctx().toCollect().Count(), 0);
    QCOMPARE(desk.ctx().job().NextPage, 1);
    QCOMPARE(desk.ctx().job().DetailCursor, 0);
    QTRY_COMPARE(r->toCollectModel()->rowCount(), 0);
    QCOMPARE(r->collectedModel()->rowCount(), 1);

    desk.Trigger("全部清空");
    QCOMPARE(desk.ctx().collected().Count(), 0);
    QCOMPARE(desk.ctx().job().ProcessingCursor, 0);
    QTRY_COMPARE(r->collectedModel()->rowCount(), 0);
    // Rows after a clear show from row 0 again.
    desk.AddMarks({"9"});
    QTRY_COMPARE(r->toCollectModel()->rowCount(), 1);
    QCOMPARE(r->toCollectModel()->index(0, 0).data().toString(), QStringLiteral("9"));
}

void UiPanelsTest::checkBoxesWriteTheList() {
    Desk desk;
    ResultsPanelWidget* r = desk.results();
    desk.AddMarks({"1", "2"});
    QTRY_COMPARE(r->toCollectModel()->rowCount(), 2);
    // A click on row 1's check box.
    QTableView* view = r->toCollectView();
    const QRect cell = view->visualRect(view->model()->index(1, 0));
    QTest::mouseClick(
        view->viewport(), Qt::LeftButton, {},
        QPoint(cell.left() + view->style()->pixelMetric(QStyle::PM_IndicatorWidth) / 2 + 4,
               cell.center().y()));
    QTRY_VERIFY(desk.ctx().toCollect().Checked(1));
    QVERIFY(!desk.ctx().toCollect().Checked(0));
    QTRY_COMPARE(r->toCollectModel()->index(1, 0).data(Qt::CheckStateRole).toInt(),
                 static_cast<int>(Qt::Checked));
    // A check for a row the list no longer holds changes nothing in the new list.
    const QModelIndex stale = r->toCollectModel()->index(0, 0);
    desk.ctx().toCollect().Clear();
    desk.AddMarks({"new"});
    r->toCollectModel()->setData(stale, Qt::Checked, Qt::CheckStateRole);
    QVERIFY(!desk.ctx().toCollect().Checked(0));
    QTRY_VERIFY(desk.ViewsEqualLists());
}

void UiPanelsTest::forbiddenMarksFromCheckedRows() {
    Desk desk;
    desk.AddMarks({" 1001 ", "", "1002", "1003"});
    for (int row : {0, 1, 3}) desk.ctx().toCollect().SetChecked(row, true);
    desk.Trigger("将勾选项目加入禁止销售标识库");
    QVERIFY(desk.ctx().db().IsForbiddenMark("1001"));
    QVERIFY(!desk.ctx().db().IsForbiddenMark("1002"));
    QVERIFY(desk.ctx().db().IsForbiddenMark("1003"));
    QVERIFY(!desk.ctx().db().IsForbiddenMark(""));
    QTest::qWait(20);
    QVERIFY(desk.messages.shown.isEmpty());

    // Filter.db cannot be opened: one message, nothing added.
    const std::string db = desk.job.sites().dir().native() + "/DataBase/Filter.db";
    std::filesystem::remove(db);
    std::filesystem::create_directory(db);
    desk.ctx().toCollect().Clear();
    desk.AddMarks({"2001"});
    desk.ctx().toCollect().SetChecked(0, true);
    desk.Trigger("将勾选项目加入禁止销售标识库");
    QTRY_COMPARE(desk.messages.shown, QStringList{QStringLiteral("创建db库失败！")});
    QTest::qWait(50);
    QVERIFY(desk.messages.shown.size() == 1);
    QVERIFY(!desk.ctx().db().IsForbiddenMark("2001"));
}

void UiPanelsTest::exportWritesTheCheckedMarks() {
    Desk desk;
    desk.AddMarks({"a", "b", "c"});
    desk.files.answers = {desk.File("none.txt")};
    desk.Trigger("导出勾选商品标识");
    QCOMPARE(desk.files.filters, QStringList{QStringLiteral("文件 (*.txt)")});
    QCOMPARE(Bytes(desk.NativeFile("none.txt")), std::string(1, '\0'));

    desk.ctx().toCollect().SetChecked(2, true);
    desk.ctx().toCollect().SetChecked(0, true);
    desk.files.answers = {desk.File("two.txt")};
    desk.Trigger("导出勾选商品标识");
    QCOMPARE(Bytes(desk.NativeFile("two.txt")), std::string("a\r\nc\r\n\0", 7));

    // Cancelled: nothing written, nothing said.
    desk.files.answers = {QString()};
    desk.Trigger("导出勾选商品标识");
    QVERIFY(desk.messages.shown.isEmpty());

    const QString unwritable = desk.File("no-such-folder/x.txt");
    desk.files.answers = {unwritable};
    desk.Trigger("导出勾选商品标识");
    QCOMPARE(desk.messages.shown, QStringList{QStringLiteral("无法创建文件：") + unwritable});
    QVERIFY(!std::filesystem::exists(desk.NativeFile("no-such-folder")));
}

void UiPanelsTest::dataFilesOnDemand() {
    Desk desk;
    QPushButton* button = nullptr;
    for (QPushButton* b : desk.results()->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("生成数据文件"))
            button = b;
    QVERIFY(button);
    // Nothing chosen on the settings page: said, nothing written.
    button->click();
    QCOMPARE(desk.messages.shown.size(), 1);
    QVERIFY(desk.messages.shown[0].contains(QStringLiteral("没有勾选要生成的数据文件")));
    // The workbook chosen: the message names the two files, and they exist.
    desk.ctx().config().SetCHKExcel(true);
    button->click();
    QCOMPARE(desk.messages.shown.size(), 2);
    const QStringList lines = desk.messages.shown[1].split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("数据文件已生成："));
    for (int i = 1; i < 3; ++i) QVERIFY2(QFile::exists(lines[i]), qPrintable(lines[i]));
}

void UiPanelsTest::importFillsTheListAndReachesTheShop() {
    Desk desk;
    ResultsPanelWidget* r = desk.results();
    // Cancelled: the list was emptied before the chooser and stays empty; nothing starts.
    desk.AddMarks({"old"});
    desk.files.answers = {QString()};
    r->importButton()->click();
    QCOMPARE(desk.files.filters, QStringList{QStringLiteral("文件 (*.txt)")});
    QCOMPARE(desk.ctx().toCollect().Count(), 0);
    QVERIFY(desk.ctx().panel().StartEnabled());

    // A file that cannot be read: an empty list, no message, nothing started.
    desk.AddMarks({"old"});
    desk.files.answers = {desk.File("missing.txt")};
    r->importButton()->click();
    QTRY_VERIFY(!r->Busy() && r->importButton()->isEnabled());
    QCOMPARE(desk.ctx().toCollect().Count(), 0);
    QVERIFY(desk.ctx().panel().StartEnabled());
    QCOMPARE(desk.ctx().workers().Launched(), std::size_t{0});

    // Three codes of plain books and a blank line; the seller is logged in.
    QVERIFY(desk.job.LogIn());
    std::vector<std::string> codes;
    for (const sim::Book& b : desk.job.catalog().books())
        if (b.Plain() && codes.size() < 3)
            codes.push_back(b.id);
    QCOMPARE(codes.size(), std::size_t{3});
    vt::testing::WriteAll(desk.NativeFile("codes.txt"),
                          " " + codes[0] + "\r\n" + codes[1] + "\r\n\r\n" + codes[2] + "\t\r\n");
    desk.files.answers = {desk.File("codes.txt")};
    r->importButton()->click();
    QTRY_COMPARE(r->toCollectModel()->rowCount(), 4);
    QTRY_COMPARE(r->value(CounterBox::ToCollect)->text(), QStringLiteral("4"));
    QStringList marks;
    for (int i = 0; i < 4; ++i) marks << r->toCollectModel()->index(i, 0).data().toString();
    QCOMPARE(marks, (QStringList{Q(codes[0]), Q(codes[1]), QString(), Q(codes[2])}));
    QTRY_VERIFY(!desk.window->collectionPanel()->startButton()->isEnabled());

    // The imported codes reach the stand-in shop.
    QTRY_VERIFY_WITH_TIMEOUT(desk.job.ShopCodes().size() == 3, 30000);
    std::vector<std::string> expected = codes;
    std::sort(expected.begin(), expected.end());
    QCOMPARE(desk.job.ShopCodes(), expected);
    QTRY_COMPARE(r->value(CounterBox::Published)->text(), QStringLiteral("3"));
    QTRY_VERIFY(desk.ViewsEqualLists());
    desk.window->collectionPanel()->stopButton()->click();
}

void UiPanelsTest::importWhileAJobRunsIsRefused() {
    Desk desk({120, 40, 0});
    QVERIFY(desk.job.LogIn());
    desk.StartTitleJob();
    QTRY_VERIFY(desk.ctx().toCollect().Count() > 0);
    vt::testing::WriteAll(desk.NativeFile("codes.txt"), "111\r\n");
    desk.files.answers = {desk.File("codes.txt")};
    const int rows = desk.ctx().toCollect().Count();
    desk.results()->importButton()->click();
    QTRY_COMPARE(desk.messages.shown,
                 QStringList{QStringLiteral("正在采集，请先点击“停止采集”，再导入编码。")});
    QVERIFY(desk.files.filters.isEmpty());  // no chooser: nothing was emptied
    QVERIFY(desk.ctx().toCollect().Count() >= rows);
    QVERIFY(Trim(desk.ctx().toCollect().Cell(0, kMarkCol)) != "111");
}

void UiPanelsTest::viewsAndCountersFollowARealJob() {
    Desk desk;
    ResultsPanelWidget* r = desk.results();
    QVERIFY(desk.job.LogIn());
    desk.StartTitleJob();
    QTRY_VERIFY_WITH_TIMEOUT(PipelineDrained(desk.ctx(), false), 60000);
    QTRY_VERIFY(desk.ViewsEqualLists());
    QVERIFY(r->toCollectModel()->rowCount() > 0);
    QVERIFY(r->collectedModel()->rowCount() > 0);
    for (int i = 0; i < kCounterBoxes; ++i) {
        const auto box = static_cast<CounterBox>(i);
        QTRY_COMPARE(r->value(box)->text(), Q(desk.ctx().counters().Text(box)));
    }
    const int shop = static_cast<int>(desk.job.ShopCodes().size());
    QVERIFY(shop > 0);
    QCOMPARE(r->value(CounterBox::Published)->text(), QString::number(shop));
    // Every row the shop took reads "上传成功" in the collected view.
    int succeeded = 0;
    for (int row = 0; row < r->collectedModel()->rowCount(); ++row)
        if (r->collectedModel()->index(row, kMarketStateCol).data().toString() ==
            QStringLiteral("上传成功"))
            ++succeeded;
    QCOMPARE(succeeded, shop);
    desk.window->collectionPanel()->stopButton()->click();
}

void UiPanelsTest::clearingBothListsWhileAJobRuns() {
    Desk desk({300, 2, 0});
    desk.ctx().config().SetCaiJiYeShu("3");
    ResultsPanelWidget* r = desk.results();
    QVERIFY(desk.job.LogIn());
    desk.StartTitleJob();
    std::minstd_rand random(11);
    for (int i = 0; i < 30; ++i) {
        QTest::qWait(5 + static_cast<int>(random() % 30));
        desk.Trigger(i % 3 == 2 ? "全部清空" : "全部清除");
    }
    QTRY_VERIFY_WITH_TIMEOUT(PipelineDrained(desk.ctx(), false), 60000);
    // View rows equal list rows; every "上传成功" is on a book the shop holds.
    QTRY_VERIFY(desk.ViewsEqualLists());
    const auto shopCodes = desk.job.ShopCodes();
    const std::set<std::string> shop(shopCodes.begin(), shopCodes.end());
    QCOMPARE(shop.size(), shopCodes.size());
    for (const std::string& code : desk.job.SucceededRowCodes())
        QVERIFY2(shop.count(code), code.c_str());
    QCOMPARE(desk.job.RecordedCodes(), shopCodes);
    QCOMPARE(r->toCollectModel()->rowCount(), desk.ctx().toCollect().Count());
    desk.window->collectionPanel()->stopButton()->click();
}

void UiPanelsTest::accountsPanel() {
    Desk desk;
    AccountsPanelWidget* a = desk.accounts();
    desk.window->tabs()->setCurrentIndex(3);
    QTableWidget* list = a->list();
    QCOMPARE(list->columnCount(), 3);
    QCOMPARE(list->horizontalHeaderItem(0)->text(), QStringLiteral("编号"));
    QCOMPARE(list->horizontalHeaderItem(1)->text(), QStringLiteral("Cookies"));
    QCOMPARE(list->horizontalHeaderItem(2)->text(), QStringLiteral("登录状态"));
    QVERIFY(list->isColumnHidden(1));
    QVERIFY(list->columnWidth(0) >= 50 && list->columnWidth(2) >= 150);
    QCOMPARE(a->loginButton()->text(), QStringLiteral("多开登录"));
    QCOMPARE(a->testButton()->text(), QStringLiteral("测试多开状态"));

    // An empty list: the test asks nothing; "多开登录" opens the multi-login dialog.
    desk.job.market().server().ClearRequests();
    a->testButton()->click();
    QTRY_VERIFY(!a->Busy());
    QTest::qWait(20);
    QCOMPARE(list->rowCount(), 0);
    QVERIFY(desk.job.market().server().Requests().empty());
    a->loginButton()->click();
    QCOMPARE(desk.logins.multiCount, 1);

    // A login made: row "0"; "多开登录" again is refused.
    QVERIFY(desk.job.LogIn());
    QTRY_COMPARE(list->rowCount(), 1);
    QCOMPARE(list->item(0, 0)->text(), QStringLiteral("0"));
    QCOMPARE(list->item(0, 0)->textAlignment(), static_cast<int>(Qt::AlignCenter));
    QCOMPARE(Gbk(list->item(0, 1)->text()), desk.ctx().session().AccountCookie(0));
    QCOMPARE(list->item(0, 2)->text(), QString());
    a->loginButton()->click();
    QTRY_COMPARE(desk.messages.shown, QStringList{QStringLiteral("对不起只能登录一个线程")});
    QCOMPARE(desk.logins.multiCount, 1);

    // "测试多开状态": a live and an expired session.
    desk.ctx().session().AddAccount("t=1; tracknick=gone; cookie2=ffff");
    QTRY_COMPARE(list->rowCount(), 2);
    const bool flag = desk.ctx().session().LoginValid();
    a->testButton()->click();
    QTRY_VERIFY(!a->Busy());
    QTRY_COMPARE(list->item(0, 2)->text(), QStringLiteral("登录有效"));
    QTRY_COMPARE(list->item(1, 2)->text(), QStringLiteral("登录失效"));
    QCOMPARE(desk.ctx().session().LoginValid(), flag);
    desk.job.market().ExpireSessions();
    a->testButton()->click();
    QTRY_VERIFY(!a->Busy());
    QTRY_COMPARE(list->item(0, 2)->text(), QStringLiteral("登录失效"));
}

void UiPanelsTest::screenshots() {
    Desk desk;
    QDir().mkpath(QStringLiteral(VT_SCREENSHOT_DIR));
    QVERIFY(desk.job.LogIn());
    desk.StartTitleJob();
    QTRY_VERIFY_WITH_TIMEOUT(PipelineDrained(desk.ctx(), false), 60000);
    desk.window->collectionPanel()->stopButton()->click();
    ResultsPanelWidget* r = desk.results();
    QVERIFY2(desk.ctx().toCollect().Count() > 3, qPrintable(Q(desk.job.Describe())));
    QTRY_VERIFY(desk.ViewsEqualLists());
    for (int row : {0, 2, 3}) desk.ctx().toCollect().SetChecked(row, true);
    QTRY_VERIFY(desk.ViewsEqualLists());
    QTest::qWait(50);
    QVERIFY(desk.window->grab().save(QStringLiteral(VT_SCREENSHOT_DIR "/results-panel.png")));

    // With the to-collect menu open at a row: the window and the pop-up in one picture.
    QTableView* view = r->toCollectView();
    view->scrollToTop();
    QTest::qWait(20);
    const QPoint at = RowCentre(view, 1, 2);
    QMenu* menu = r->MenuAt(view, at);
    QVERIFY2(menu == r->toCollectMenu(), qPrintable(QStringLiteral("at %1,%2 of %3x%4, %5 rows")
                                                        .arg(at.x())
                                                        .arg(at.y())
                                                        .arg(view->viewport()->width())
                                                        .arg(view->viewport()->height())
                                                        .arg(view->model()->rowCount())));
    menu->popup(view->viewport()->mapToGlobal(at));
    QTRY_VERIFY(r->toCollectMenu()->isVisible());
    QTest::qWait(50);
    QPixmap shot = desk.window->grab();
    {
        QPainter painter(&shot);
        const QPoint menuAt = desk.window->mapFromGlobal(r->toCollectMenu()->pos());
        painter.drawPixmap(menuAt, r->toCollectMenu()->grab());
    }
    QVERIFY(shot.save(QStringLiteral(VT_SCREENSHOT_DIR "/results-panel-menu.png")));
    r->toCollectMenu()->hide();

    desk.window->tabs()->setCurrentIndex(3);
    desk.accounts()->testButton()->click();
    QTRY_VERIFY(!desk.accounts()->Busy());
    QTRY_COMPARE(desk.accounts()->list()->item(0, 2)->text(), QStringLiteral("登录有效"));
    QTest::qWait(50);
    QVERIFY(desk.window->grab().save(QStringLiteral(VT_SCREENSHOT_DIR "/accounts-panel.png")));
}

QTEST_MAIN(UiPanelsTest)
#include "ui_panels_test.moc"
