// The 系统设置 tab against the in-process stand-ins: its ten pages and their captions,
// every setting between its control, the live record and Data/Setting.ini, the saved
// files, the shop pages' lists and logins, the list editors, the seller's whole flow
// from the pages through a restart to a published item, and a screenshot of every page.
#include "ui/settings_dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "app/job_progress.h"
#include "app/panel_actions.h"
#include "app/results_panel.h"
#include "app/startup.h"
#include "base/text.h"
#include "core/context.h"
#include "core/setting_checks.h"
#include "core/settings_store.h"
#include "market/category_lookup.h"
#include "market/cookie_sources.h"
#include "market/login_checks.h"
#include "market/price_rules.h"
#include "sim/catalog.h"
#include "support/e2e_job.h"
#include "support/local_sites.h"
#include "support/stand_in_hosts.h"
#include "ui/collection_panel_widget.h"
#include "ui/list_editor_page.h"
#include "ui/main_window.h"
#include "ui/price_freight_page.h"
#include "ui/qt_text.h"
#include "ui/settings_binding.h"
#include "ui/taobao_base_page.h"

using namespace vt;
using namespace vt::ui;
using vt::testing::LocalSites;
using vt::testing::ReadAll;
using vt::testing::WriteAll;

namespace fs = std::filesystem;

namespace {

// A data file's GBK path from its UTF-8 name, and the same file for the test's reading.
std::string DataFile(AppContext& ctx, const QString& name) {
    return ctx.DataFilePath(Gbk(name));
}
std::string Native(const std::string& gbkPath) {
    return GbkToUtf8(gbkPath);
}

// The keys Data/Setting.ini holds; every other row of the table lives only in memory.
const std::set<std::string>& SavedKeys() {
    static const std::set<std::string> keys = {
#define VT_NAME(name) #name,
        VT_SYSCONFIG_KEYS(VT_NAME, VT_NAME, VT_NAME)
#undef VT_NAME
    };
    return keys;
}

// The window on a fresh installed tree whose every host points at the stand-ins; before
// runs on the tree (native path) ahead of the start-up, as files left by an earlier run.
struct SettingsDesk {
    explicit SettingsDesk(const std::function<void(AppContext&)>& before = nullptr)
        : sites(std::make_unique<LocalSites>()) {
        if (before)
            before(ctx());
        StartUp(ctx());
        window = std::make_unique<MainWindow>(ctx(), DesktopServices{&messages, &opens, &logins});
        window->resize(960, 680);
        window->show();
        window->activateWindow();
        // Focus changes (the mapping editor commits on leaving) need an active window.
        active = QTest::qWaitForWindowActive(window.get());
        window->tabs()->setCurrentIndex(2);
    }
    ~SettingsDesk() { window.reset(); }
    AppContext& ctx() { return sites->ctx(); }
    SettingsDialog* dialog() { return window->settingsDialog(); }
    SettingsBinding& b() { return dialog()->binding(); }
    void Show(SettingsPage page) { dialog()->pages()->setCurrentIndex(static_cast<int>(page)); }
    // The seller logs in through the single-login dialog (on the stand-in's form).
    bool LogIn() {
        PasswordLogin login(ctx().hosts(), "vantrell_demo", "demo123");
        return ConfirmSingleLogin(ctx(), login);
    }
    void Save() {
        messages.shown.clear();
        dialog()->saveButton()->click();
    }

    std::unique_ptr<LocalSites> sites;
    RecordedMessages messages;
    RecordedOpens opens;
    RecordedLogins logins;
    std::unique_ptr<MainWindow> window;
    bool active = false;
};

void PutSettings(AppContext& ctx, const std::string& bytes) {
    WriteAll(Native(ctx.SettingsPath()), bytes);
}

// Every text a page shows: labels, buttons, group titles, list headers, drop-down entries.
QStringList TextsOn(QWidget* page) {
    QStringList texts;
    for (auto* w : page->findChildren<QLabel*>()) texts << w->text();
    for (auto* w : page->findChildren<QAbstractButton*>()) texts << w->text();
    for (auto* w : page->findChildren<QGroupBox*>()) texts << w->title();
    for (auto* w : page->findChildren<QTableWidget*>())
        for (int c = 0; c < w->columnCount(); ++c)
            if (w->horizontalHeaderItem(c))
                texts << w->horizontalHeaderItem(c)->text();
    for (auto* w : page->findChildren<QComboBox*>())
        for (int i = 0; i < w->count(); ++i) texts << w->itemText(i);
    return texts;
}

// Typing, one key press per character; QTest::keyClicks takes Latin-1 only.
void Type(QWidget* widget, const QString& text) {
    for (QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

void Retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    Type(edit, text);
}

const QStringList kPageCaptions = {
    QStringLiteral("基本信息"),      QStringLiteral("数据文件"),     QStringLiteral("默认内容"),
    QStringLiteral("淘宝基本信息"),  QStringLiteral("价格运费"),     QStringLiteral("宝贝描述"),
    QStringLiteral("过滤关键字"),    QStringLiteral("禁止销售图书"), QStringLiteral("禁止销售标志"),
    QStringLiteral("禁止销售出版社")};

}  // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void pagesInOrderWithEveryCaption();
    void everySettingBetweenControlRecordAndFile();
    void saveWritesEveryFileOrSaysWhatFailed();
    void mappingListAndShopCategories();
    void pricePageSignFreightTemplatesAndRegions();
    void listEditorsMirrorSaveAndKeepResultMarks();
    void sellersChangesSurviveARestartAndReachTheShop();
    void screenshots();
};

void SettingsDialogTest::pagesInOrderWithEveryCaption() {
    SettingsDesk desk;
    QTabWidget* pages = desk.dialog()->pages();
    QCOMPARE(pages->count(), kSettingsPageCount);
    for (int i = 0; i < kSettingsPageCount; ++i) QCOMPARE(pages->tabText(i), kPageCaptions[i]);
    QCOMPARE(pages->currentIndex(), 0);
    QVERIFY(pages->widget(0)->isVisible());
    QCOMPARE(desk.dialog()->saveButton()->text(), QStringLiteral("保存"));

    const struct {
        SettingsPage page;
        std::vector<const char*> captions;
    } table[] = {
        {SettingsPage::Basic,
         {"价格小于5元自动更正为5元",
          "直接发布（不选择则发布到仓库）",
          "有发票",
          "有保修",
          "采用ISBN作为图片文件名",
          "需要没有图片的图书",
          "独立生成没有图片的数据文件",
          "不下载图片（如果只是生成自定义Excel,不需要图片时，才需要打钩）",
          "过滤采集过的数据",
          "把商品描述加入到手机端描述",
          "商家卖点设置",
          "使用自定义卖点",
          "使用采集卖点内容",
          "自定义卖点内容",
          "普通店铺减库存设置",
          "拍下减库存",
          "付款减库存",
          "去除标题最后一个括号里面的内容",
          "只采集Vantrell网自售书",
          "检查有货没货",
          "通过商家编码检查是否已经上传",
          "采集页数从",
          "到",
          "页",
          "采集价格范围",
          "图书定价",
          "售价",
          "从",
          "元"}},
        {SettingsPage::DataFiles,
         {"需要生成的数据文件", "生成淘宝助理文件", "生成淘宝助理5格式", "生成ecshop数据文件",
          "生成shopex数据文件", "生成自定义Excel文件"}},
        {SettingsPage::DefaultContent,
         {"内容提要、编辑推荐、目录、作者介绍、文摘以及序言，这些项目采集不到内容时默认采用以下"
          "内容"}},
        {SettingsPage::TaobaoBase,
         {"标题前缀：", "标题后缀：", "自定义标题内容：", "标题最大长度：", "图书库存数量：",
          "卖家所在地：", "省", "市", "Vantrell图书分类", "淘宝店铺图书分类", "获取淘宝店铺类目",
          "登录淘宝网", "重置"}},
        {SettingsPage::PriceFreight,
         {"价格与折扣",
          "原价",
          "Vantrell售价",
          "图书售价",
          "折",
          "+",
          "-",
          "元",
          "售价低于",
          "元，默认为",
          "售价低于（定价）",
          "折，默认为",
          "如果定价8折，那么填写8就可以，8.5折填8.5而不是0.85：）",
          "运费设置",
          "采用卖家包邮",
          "集市店铺不能使用“卖家包邮”，请设置运费模板",
          "运费模板ID",
          "读取运费模板（网页版）",
          "登录淘宝网",
          "如未登陆淘宝网，请在读取运费模板前先点击“登陆淘宝网”按钮登陆淘宝",
          "选择",
          "地区",
          "地区代码",
          "区域无货算无货：任一地区无货判断为无货",
          "区域有货算有货：一个地区有货则判断有货"}},
        {SettingsPage::Description,
         {"前缀：", "后缀：", "在顶部添加图书封面", "在底部添加图书封面"}},
        {SettingsPage::FilterKeywords, {"保存过滤"}},
        {SettingsPage::ForbiddenBooks,
         {"ISBN,作者，书名是以下内容的图书，将会直接过滤，每个项目以逗号分开，满足其中一个条件"
          "就会过滤",
          "保存禁止销售图书"}},
        {SettingsPage::ForbiddenMarks, {"保存商品标识"}},
        {SettingsPage::ForbiddenPublishers, {"保存出版社"}},
    };
    for (const auto& row : table) {
        QWidget* page = pages->widget(static_cast<int>(row.page));
        const QStringList texts = TextsOn(page);
        for (const char* caption : row.captions)
            QVERIFY2(texts.contains(QString::fromUtf8(caption)),
                     qPrintable(pages->tabText(static_cast<int>(row.page)) + ": " +
                                QString::fromUtf8(caption)));
    }

    // Every setting of the record has its row, and its control sits on the row's page.
    std::set<std::string> bound;
    for (const SettingControl& row : SettingControls()) {
        bound.insert(row.key);
        QVERIFY2(pages->widget(static_cast<int>(row.page))->isAncestorOf(desk.b().control(row.key)),
                 row.key);
    }
#define VT_BOUND(name) QVERIFY2(bound.count(#name), #name);
    VT_SYSCONFIG_KEYS(VT_BOUND, VT_BOUND, VT_BOUND)
    VT_SYSCONFIG_MEMORY(VT_BOUND, VT_BOUND, VT_BOUND)
    VT_SYSCONFIG_TEXT_LISTS(VT_BOUND)
#undef VT_BOUND

    // A tab change shows the chosen page only.
    pages->setCurrentIndex(4);
    QVERIFY(pages->widget(4)->isVisible());
    QVERIFY(!pages->widget(0)->isVisible());
}

void SettingsDialogTest::everySettingBetweenControlRecordAndFile() {
    // The controls edit the live record at once.
    {
        SettingsDesk desk;
        SysConfig& c = desk.ctx().config();
        for (const SettingControl& row : SettingControls()) {
            desk.Show(row.page);
            const QString key = QString::fromLatin1(row.key);
            switch (row.kind) {
                case ControlKind::Check: {
                    const bool before = (c.*row.getBool)();
                    desk.b().check(row.key)->click();
                    QVERIFY2((c.*row.getBool)() == !before, row.key);
                    break;
                }
                case ControlKind::Edit: {
                    QLineEdit* edit = desk.b().edit(row.key);
                    Retype(edit, row.digitsOnly ? QStringLiteral("a4x2") : QStringLiteral("7.5元"));
                    const std::string want =
                        Gbk(row.digitsOnly ? QStringLiteral("42") : QStringLiteral("7.5元"));
                    QVERIFY2((c.*row.getText)() == want, row.key);
                    break;
                }
                case ControlKind::Radio:
                    for (int i : {1, 0, 1}) {
                        desk.b().radio(row.key, i)->click();
                        QVERIFY2((c.*row.getInt)() == i, row.key);
                    }
                    break;
                case ControlKind::Choice:
                    for (int i : {1, 0}) {
                        desk.b().choice(row.key)->setCurrentIndex(i);
                        QVERIFY2((c.*row.getInt)() == i, row.key);
                    }
                    break;
                case ControlKind::TextBox: {
                    QPlainTextEdit* box = desk.b().textBox(row.key);
                    box->selectAll();
                    QTest::keyClick(box, Qt::Key_Delete);
                    Type(box, QStringLiteral("甲,乙"));
                    QTest::keyClick(box, Qt::Key_Return);
                    Type(box, key.left(2));
                    QVERIFY2((c.*row.getText)() == Gbk(QStringLiteral("甲,乙\r\n") + key.left(2)),
                             row.key);
                    break;
                }
            }
        }
    }

    // The file into the controls: a value for every key; a file without the section; a
    // hand-edited file with upper-case flags and an unknown radio index.
    enum Variant { Everything, Missing, Odd };
    for (Variant v : {Everything, Missing, Odd}) {
        std::string file = "[SYSCONFIG]\r\n";
        for (const SettingControl& row : SettingControls()) {
            if (!SavedKeys().count(row.key) || v == Missing)
                continue;
            std::string value;
            if (row.kind == ControlKind::Check)
                value = v == Odd ? "TRUE" : "true";
            else if (row.kind == ControlKind::Edit)
                value = IsNumericSetting(row.key) ? "7" : Gbk(QStringLiteral("值")) + row.key;
            else
                value = v == Odd ? "7" : "1";
            file += std::string(row.key) + "=" + value + "\r\n";
        }
        SettingsDesk desk([&](AppContext& ctx) { PutSettings(ctx, file); });
        for (const SettingControl& row : SettingControls()) {
            const bool saved = SavedKeys().count(row.key) > 0;
            const QByteArray what = QByteArray(row.key) + " variant " + QByteArray::number(v);
            switch (row.kind) {
                case ControlKind::Check:
                    QVERIFY2(desk.b().check(row.key)->isChecked() == (saved && v == Everything),
                             what);
                    break;
                case ControlKind::Edit: {
                    QString want;
                    if (!saved)
                        want = QString();
                    else if (v != Missing)
                        want = IsNumericSetting(row.key)
                                   ? QStringLiteral("7")
                                   : QStringLiteral("值") + QString::fromLatin1(row.key);
                    else  // "d" (a number read as 0, reported at start); keys added later
                          // take their default without a word
                        want = IsNumericSetting(row.key) ? Q((desk.ctx().config().*row.getText)())
                                                         : QStringLiteral("d");
                    QVERIFY2(desk.b().edit(row.key)->text() == want, what);
                    if (v == Missing && IsNumericSetting(row.key))
                        QVERIFY2((want == QStringLiteral("d")) !=
                                     (std::string(row.key) == "RetryCount" ||
                                      std::string(row.key) == "SiteDownFailures" ||
                                      std::string(row.key) == "MaxPageKB" ||
                                      std::string(row.key) == "MaxPictureKB"),
                                 what);
                    break;
                }
                case ControlKind::Radio: {
                    const bool first = desk.b().radio(row.key, 0)->isChecked();
                    const bool second = desk.b().radio(row.key, 1)->isChecked();
                    if (!saved || v == Missing)
                        QVERIFY2(first && !second, what);
                    else if (v == Everything)
                        QVERIFY2(!first && second, what);
                    else
                        QVERIFY2(!first && !second, what);  // "7" selects neither
                    break;
                }
                case ControlKind::Choice:
                    // The sign always shows an entry: "-" only for a saved "1".
                    QVERIFY2(desk.b().choice(row.key)->currentIndex() == (v == Everything ? 1 : 0),
                             what);
                    break;
                case ControlKind::TextBox:
                    break;  // the data files, below
            }
        }
        if (v != Odd)
            continue;
        // What is saved for the radio groups that show neither button.
        desk.Save();
        QCOMPARE(desk.messages.shown, QStringList{QStringLiteral("保存成功")});
        const std::string saved = ReadAll(Native(desk.ctx().SettingsPath()));
        for (const char* line :
             {"\r\nMaidianShezhiP=-1\r\n", "\r\nPaixiajiankucunP=-1\r\n", "\r\nYuanJiaDazheP=1\r\n",
              "\r\nJiaJianSign=0\r\n", "\r\nHasFapiaoP=false\r\n"})
            QVERIFY2(saved.find(line) != std::string::npos, line);
    }
}

void SettingsDialogTest::saveWritesEveryFileOrSaysWhatFailed() {
    SettingsDesk desk;
    AppContext& ctx = desk.ctx();
    const std::vector<Region> shipped = ctx.config().Regions();
    QVERIFY(shipped.size() > 2);

    desk.Show(SettingsPage::TaobaoBase);
    Retype(desk.b().edit("TitleQianzhuiP"), QStringLiteral("【正版】"));
    desk.Show(SettingsPage::PriceFreight);
    desk.b().choice("JiaJianSign")->setCurrentIndex(1);
    Retype(desk.b().edit("JiaJian"), QStringLiteral("2"));
    QTableWidget* regions = desk.dialog()->priceFreightPage()->regionList();
    QTableWidgetItem* tick = regions->item(1, 0);
    tick->setCheckState(shipped[1].ticked ? Qt::Unchecked : Qt::Checked);
    desk.Show(SettingsPage::Description);
    desk.b().textBox("PrefixText")->setPlainText(QStringLiteral("<p>前缀</p>\n第二行"));
    desk.Show(SettingsPage::DefaultContent);
    desk.b().textBox("DefaultContentText")->setPlainText(QString());

    desk.Save();
    QCOMPARE(desk.messages.shown, QStringList{QStringLiteral("保存成功")});
    const std::string ini = ReadAll(Native(ctx.SettingsPath()));
    for (const QString& line :
         {QStringLiteral("\r\nTitleQianzhuiP=【正版】\r\n"), QStringLiteral("\r\nJiaJian=2\r\n"),
          QStringLiteral("\r\nJiaJianSign=1\r\n")})
        QVERIFY2(ini.find(Gbk(line)) != std::string::npos, qPrintable(line));
    const std::string zero(1, '\0');
    const struct {
        const char* file;
        std::string bytes;
    } files[] = {
        {"前缀.txt", Gbk(QStringLiteral("<p>前缀</p>\r\n第二行")) + zero},
        {"后缀.txt", ctx.config().SuffixText() + zero},
        {"违禁字.txt", ctx.config().ForbiddenWordsText() + zero},
        {"违规书籍.txt", ctx.config().ForbiddenBooksText() + zero},
        {"默认内容.txt", zero},
    };
    for (const auto& f : files)
        QVERIFY2(ReadAll(Native(DataFile(ctx, QString::fromUtf8(f.file)))) == f.bytes, f.file);
    const std::string regionBytes = ReadAll(Native(DataFile(ctx, QStringLiteral("地区.txt"))));
    const std::string secondRow =
        shipped[1].code + "," + shipped[1].name + (shipped[1].ticked ? ",FALSE\r\n" : ",TRUE\r\n");
    QVERIFY(regionBytes.find(secondRow) != std::string::npos);
    QCOMPARE(ParseRegions(regionBytes).size(), shipped.size());

    // A settings file that cannot be written (tests run as root, so a directory stands in
    // for a read-only file): the failure's own message, never "保存成功".
    const std::string settings = Native(ctx.SettingsPath());
    fs::remove(settings);
    fs::create_directory(settings);
    desk.Save();
    QCOMPARE(desk.messages.shown.size(), 1);
    QVERIFY(desk.messages.shown[0].startsWith(QStringLiteral("保存设置文件失败：")));
    fs::remove(settings);

    // No Data/File folder: the first file of the save fails.
    fs::remove_all(Native(ctx.DataFileDir()));
    desk.Save();
    QCOMPARE(desk.messages.shown.size(), 1);
    QVERIFY(desk.messages.shown[0].startsWith(QStringLiteral("保存文件失败：")));
}

void SettingsDialogTest::mappingListAndShopCategories() {
    SettingsDesk desk([](AppContext& ctx) {
        WriteAll(Native(DataFile(ctx, QStringLiteral("Vantrell淘宝分类对应.txt"))),
                 Gbk(QStringLiteral("小说,文学小说\r\n童书,少儿读物\r\n教材\r\n")));
    });
    QVERIFY(desk.active);
    desk.Show(SettingsPage::TaobaoBase);
    TaobaoBasePage* page = desk.dialog()->taobaoBasePage();
    QTableWidget* list = page->mappingList();
    // Each line goes to the top: the file's lines in reverse order.
    const QStringList sources = {QStringLiteral("教材"), QStringLiteral("童书"),
                                 QStringLiteral("小说")};
    const QStringList shops = {QString(), QStringLiteral("少儿读物"), QStringLiteral("文学小说")};
    QCOMPARE(list->rowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(list->item(r, 0)->text(), sources[r]);
        QCOMPARE(list->item(r, 1)->text(), shops[r]);
    }

    // No login: the shop answers nothing, and the editor offers no category.
    page->button(QStringLiteral("获取淘宝店铺类目"))->click();
    QTRY_VERIFY(!page->Busy());
    QTest::qWait(20);
    QCOMPARE(page->categoryEditor()->count(), 0);
    QVERIFY(!ShopCategoriesLoaded(desk.ctx()));

    // "登录淘宝网" opens the login dialog; once it has closed the categories are read.
    page->button(QStringLiteral("登录淘宝网"))->click();
    QCOMPARE(desk.logins.count, 1);
    QVERIFY(desk.logins.afterClose);
    QVERIFY(desk.LogIn());
    desk.logins.afterClose();
    QTRY_COMPARE(page->categoryEditor()->count(), 4);
    QTRY_VERIFY(!page->Busy());
    QCOMPARE(page->categoryEditor()->itemText(0), QStringLiteral("文学小说"));
    QVERIFY(ShopCategoriesLoaded(desk.ctx()));

    // A click on a second cell puts the editor there with the cell's text; leaving it
    // writes its text into the cell and the live list.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(1, 1)).center());
    QComboBox* editor = page->categoryEditor();
    QTRY_VERIFY(editor->isVisible());
    QCOMPARE(editor->currentText(), QStringLiteral("少儿读物"));
    QCOMPARE(page->sourceText()->text(), QStringLiteral("童书"));
    editor->setCurrentIndex(editor->findText(QStringLiteral("教材教辅")));
    QVERIFY(list->item(1, 1)->text() == QStringLiteral("少儿读物"));  // not before leaving
    page->sourceText()->setFocus();
    QTRY_VERIFY(!editor->isVisible());
    QCOMPARE(list->item(1, 1)->text(), QStringLiteral("教材教辅"));
    QCOMPARE(desk.ctx().config().CategoryMappings()[1].shop, Gbk(QStringLiteral("教材教辅")));
    QCOMPARE(
        QString::fromStdString(ShopCategoryFor(desk.ctx(), Gbk(QStringLiteral("主目录_童书")))),
        QStringLiteral("1217810003"));

    // "保存" writes the list top down.
    desk.Save();
    QCOMPARE(desk.messages.shown, QStringList{QStringLiteral("保存成功")});
    QCOMPARE(ReadAll(Native(DataFile(desk.ctx(), QStringLiteral("Vantrell淘宝分类对应.txt")))),
             Gbk(QStringLiteral("教材,\r\n童书,教材教辅\r\n小说,文学小说\r\n")));

    // "重置" goes back to the file: an unsaved edit is dropped.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 1)).center());
    QTRY_VERIFY(editor->isVisible());
    editor->setEditText(QStringLiteral("经管励志"));
    page->sourceText()->setFocus();
    QTRY_COMPARE(list->item(0, 1)->text(), QStringLiteral("经管励志"));
    page->button(QStringLiteral("重置"))->click();
    QCOMPARE(list->rowCount(), 3);
    QCOMPARE(list->item(0, 0)->text(), QStringLiteral("小说"));  // the saved file, reversed
    QCOMPARE(list->item(2, 1)->text(), QString());
}

void SettingsDialogTest::pricePageSignFreightTemplatesAndRegions() {
    {
        // A file from before the sign was saved opens with "+"; a saved "-" comes back.
        auto withSign = [](const char* line) {
            return [line](AppContext& ctx) {
                std::string file = ReadAll(Native(ctx.SettingsPath()));
                const std::size_t at = file.find("JiaJianSign=0\r\n");
                QVERIFY(at != std::string::npos);
                file.replace(at, 15, line);
                WriteAll(Native(ctx.SettingsPath()), file);
            };
        };
        SettingsDesk plus(withSign(""));
        QCOMPARE(plus.b().choice("JiaJianSign")->currentText(), QStringLiteral("+"));
        QCOMPARE(plus.ctx().config().JiaJianSign(), kPlus);
        SettingsDesk minus(withSign("JiaJianSign=1\r\n"));
        QCOMPARE(minus.b().choice("JiaJianSign")->currentText(), QStringLiteral("-"));
        QCOMPARE(minus.ctx().config().JiaJianSign(), kMinus);
    }

    SettingsDesk desk;
    desk.Show(SettingsPage::PriceFreight);
    PriceFreightPage* page = desk.dialog()->priceFreightPage();

    // The live rule: list price 39.80 at discount 8 is 31.84.
    desk.b().radio("YuanJiaDazheP", 0)->click();
    Retype(desk.b().edit("PriceDazheP"), QStringLiteral("8"));
    Retype(desk.b().edit("JiaJian"), QString());
    Retype(desk.b().edit("EditShouJiaDiYu"), QString());
    O_BookInfo book;
    book.MarketPrice = "39.80";
    book.SellPrice = "30.00";
    QCOMPARE(QString::fromStdString(FormatPrice(ComputePrice(desk.ctx().config(), book))),
             QStringLiteral("31.84"));

    // Not logged in: the marketplace's message, and the list stays empty.
    QComboBox* freight = page->freightList();
    page->button(QStringLiteral("读取运费模板（网页版）"))->click();
    QTRY_COMPARE(desk.messages.shown,
                 QStringList{QStringLiteral("系统检测到您未登录淘宝网，请先登录淘宝网！")});
    QTRY_VERIFY(!page->Busy());
    QCOMPARE(freight->count(), 0);

    // The login button opens the login dialog; when it has closed the templates are read:
    // each entry with its own text and value, the first one selected.
    page->button(QStringLiteral("登录淘宝网"))->click();
    QCOMPARE(desk.logins.count, 1);
    QVERIFY(desk.LogIn());
    desk.logins.afterClose();
    QTRY_COMPARE(freight->count(), 3);
    QTRY_VERIFY(!page->Busy());
    const QStringList texts = {QStringLiteral("全国包邮"), QString(), QStringLiteral("江浙沪包邮")};
    const QStringList values = {QStringLiteral("8150721"), QStringLiteral("8150722"),
                                QStringLiteral("\"8150723\"")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(freight->itemText(i), texts[i]);
        QCOMPARE(freight->itemData(i).toString(), values[i]);
    }
    QCOMPARE(freight->currentIndex(), 0);
    QCOMPARE(SelectedFreightTemplate(desk.ctx().config()), std::string("8150721"));

    // The seller's choice is what items go out with.
    freight->setFocus();
    QTest::keyClick(freight, Qt::Key_Down);
    QTest::keyClick(freight, Qt::Key_Down);
    QCOMPARE(freight->currentIndex(), 2);
    QCOMPARE(SelectedFreightTemplate(desk.ctx().config()), std::string("\"8150723\""));

    // A second load puts the templates in front again and selects the first.
    page->button(QStringLiteral("读取运费模板（网页版）"))->click();
    QTRY_COMPARE(freight->count(), 6);
    QTRY_VERIFY(!page->Busy());
    QCOMPARE(freight->currentIndex(), 0);
    QCOMPARE(freight->itemData(3).toString(), values[0]);
    QCOMPARE(freight->itemText(5), texts[2]);

    // Region ticks go to the live list and into "地区.txt" on "保存".
    QTableWidget* regions = page->regionList();
    QVERIFY(regions->rowCount() > 3);
    QVERIFY(regions->isColumnHidden(2));
    std::vector<std::string> ticked;
    for (int r = 0; r < regions->rowCount(); ++r) {
        const bool on = (r % 3 == 0);
        regions->item(r, 0)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        if (on)
            ticked.push_back(Gbk(regions->item(r, 2)->text()));
    }
    QCOMPARE(desk.ctx().config().TickedRegionCodes(), ticked);
    desk.Save();
    QCOMPARE(desk.messages.shown, QStringList{QStringLiteral("保存成功")});
    std::vector<std::string> savedTicks;
    for (const Region& r :
         ParseRegions(ReadAll(Native(DataFile(desk.ctx(), QStringLiteral("地区.txt"))))))
        if (r.ticked)
            savedTicks.push_back(r.code);
    QCOMPARE(savedTicks, ticked);
}

void SettingsDialogTest::listEditorsMirrorSaveAndKeepResultMarks() {
    SettingsDesk desk([](AppContext& ctx) {
        WriteAll(Native(DataFile(ctx, QStringLiteral("违禁字.txt"))),
                 Gbk(QStringLiteral("盗版,复印")) + std::string(1, '\0'));
        ctx.db().OpenFilterDb();
        ctx.db().ReplaceList(ListTable::ForbidBiaoZhi, "m1,m2");
        ctx.db().ReplaceList(ListTable::FilterBooks, "stale");
    });
    AppContext& ctx = desk.ctx();
    auto column = [&](const char* select) {
        QStringList values;
        for (const std::string& v : ctx.db().FilterDb()->QueryColumn(select))
            values << QString::fromStdString(v);  // stored as UTF-8
        return values;
    };
    // The filter keywords' table mirrors its file at start; the marks box shows its table.
    QCOMPARE(column("select BookName from FilterBooks"),
             (QStringList{QStringLiteral("盗版"), QStringLiteral("复印")}));
    ListEditorPage* marks = desk.dialog()->listEditor(ListEditor::ForbiddenMarks);
    ListEditorPage* publishers = desk.dialog()->listEditor(ListEditor::ForbiddenPublishers);
    desk.Show(SettingsPage::ForbiddenMarks);
    QCOMPARE(marks->box()->toPlainText(), QStringLiteral("m1,m2,"));

    // A save rewrites the table; an apostrophe in a publisher is found again.
    desk.Show(SettingsPage::ForbiddenPublishers);
    Type(publishers->box(), QStringLiteral("O'Reilly,人民出版社"));
    publishers->saveButton()->click();
    QVERIFY(desk.messages.shown.isEmpty());  // success says nothing
    QVERIFY(ctx.db().IsForbiddenPublisher("O'Reilly"));
    QVERIFY(ctx.db().IsForbiddenPublisher(Gbk(QStringLiteral("人民出版社"))));

    // A mark added from the results panel shows in the box and survives its next save.
    ToCollectRow row{};
    row[kMarkCol] = "r9";
    ctx.toCollect().Append(row);
    ctx.toCollect().SetChecked(0, true);
    QVERIFY(ResultsPanel(ctx).AddCheckedToForbiddenMarks());
    desk.Show(SettingsPage::ForbiddenMarks);
    QCOMPARE(marks->box()->toPlainText(), QStringLiteral("m1,m2,r9,"));
    marks->box()->moveCursor(QTextCursor::End);
    Type(marks->box(), QStringLiteral("m3"));
    marks->saveButton()->click();
    QVERIFY(desk.messages.shown.isEmpty());
    QCOMPARE(column("select BiaoZhi from ForbidBiaoZhi"), (QStringList{"m1", "m2", "r9", "m3"}));

    // A database that refuses the rewrite: a message, and the table as it was.
    QVERIFY(ctx.db().FilterDb()->Exec("PRAGMA query_only=1;"));
    marks->box()->setPlainText(QStringLiteral("x"));
    marks->saveButton()->click();
    QCOMPARE(desk.messages.shown.size(), 1);
    QVERIFY(desk.messages.shown[0].startsWith(QStringLiteral("保存失败")));
    QCOMPARE(column("select BiaoZhi from ForbidBiaoZhi"), (QStringList{"m1", "m2", "r9", "m3"}));
    QVERIFY(ctx.db().IsForbiddenMark("r9"));
}

void SettingsDialogTest::sellersChangesSurviveARestartAndReachTheShop() {
    vt::testing::E2eJob job(vt::testing::E2eOptions{200, 0, 0});
    const std::string keyword = job.CommonTitleCharacter();
    // The forbidden word: the title of the first plain book the title search will list.
    const sim::Book* banned = nullptr;
    for (const sim::Book& b : job.catalog().books())
        if (b.Plain() && b.title.find(keyword) != std::string::npos) {
            banned = &b;
            break;
        }
    QVERIFY(banned);
    {
        RecordedMessages messages;
        RecordedOpens opens;
        RecordedLogins logins;
        MainWindow first(job.ctx(), {&messages, &opens, &logins});
        first.show();
        first.tabs()->setCurrentIndex(2);
        SettingsDialog* d = first.settingsDialog();
        SettingsBinding& b = d->binding();
        d->pages()->setCurrentIndex(static_cast<int>(SettingsPage::Basic));
        if (b.check("PriceSet5P")->isChecked())
            b.check("PriceSet5P")->click();
        d->pages()->setCurrentIndex(static_cast<int>(SettingsPage::PriceFreight));
        b.radio("YuanJiaDazheP", 0)->click();
        Retype(b.edit("PriceDazheP"), QStringLiteral("8"));
        Retype(b.edit("JiaJian"), QStringLiteral("0"));
        d->pages()->setCurrentIndex(static_cast<int>(SettingsPage::ForbiddenBooks));
        QPlainTextEdit* box = d->listEditor(ListEditor::ForbiddenBooks)->box();
        box->moveCursor(QTextCursor::End);
        Type(box, QStringLiteral(",") + Q(banned->title));
        d->saveButton()->click();
        QCOMPARE(messages.shown, QStringList{QStringLiteral("保存成功")});
    }

    // A restart: a new context on the same tree, a new window.
    AppContext again(job.sites().dir().path());
    vt::testing::PointBookstoreAt(again.hosts(), job.sites().store().origin());
    vt::testing::PointMarketAt(again.hosts(), job.market().origin());
    StartUp(again);
    again.publishing().SetPublishPacingMs(0);  // the stand-in needs no pause between uploads
    RecordedMessages messages;
    RecordedOpens opens;
    RecordedLogins logins;
    MainWindow second(again, {&messages, &opens, &logins});
    second.show();
    SettingsBinding& b = second.settingsDialog()->binding();
    QCOMPARE(b.edit("PriceDazheP")->text(), QStringLiteral("8"));
    QVERIFY(b.radio("YuanJiaDazheP", 0)->isChecked());
    QVERIFY(!b.check("PriceSet5P")->isChecked());
    QVERIFY(b.textBox("ForbiddenBooksText")
                ->toPlainText()
                .endsWith(QStringLiteral(",") + Q(banned->title)));

    // The next job publishes with them.
    PasswordLogin login(again.hosts(), "vantrell_demo", "demo123");
    QCOMPARE(ConfirmMultiLogin(again, login), MultiLoginOutcome::Added);
    CollectionPanelWidget* panel = second.collectionPanel();
    panel->modeButton(CollectMode::Title)->click();
    QTRY_VERIFY(!panel->Busy());
    Type(panel->input(CollectInput::Title), Q(keyword));
    panel->startButton()->click();
    QTRY_VERIFY(panel->stopButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(again.toCollect().Count() > 0, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(PipelineDrained(again, false), 60000);
    PressStop(again);
    again.workers().JoinAll();

    const auto items = job.market().Items();
    qInfo("to-collect %d collected %d shop %d messages %s", again.toCollect().Count(),
          again.collected().Count(), int(items.size()), qPrintable(messages.shown.join("|")));
    QVERIFY(!items.empty());
    for (const sim::ShopItem& item : items) {
        const sim::Book* book = job.catalog().FindById(item.outerCode);
        QVERIFY(book);
        QVERIFY2(book != banned, "the forbidden book was published");
        const float want = static_cast<float>(LeadingDecimal(book->listPrice) * 8 * 0.1);
        QCOMPARE(QString::fromStdString(item.price), QString::fromStdString(FormatPrice(want)));
    }
    bool bannedListed = false;
    for (int r = 0; r < again.toCollect().Count(); ++r)
        if (Trim(again.toCollect().Cell(r, kMarkCol)) == banned->id) {
            bannedListed = true;
            QVERIFY(!again.toCollect().Cell(r, kStatusCol).empty());  // dropped, with its reason
        }
    QVERIFY(bannedListed);
}

void SettingsDialogTest::screenshots() {
    SettingsDesk desk;
    QVERIFY(desk.LogIn());
    LoadFreightTemplates(desk.ctx());
    desk.dialog()->priceFreightPage()->ShowTemplates();
    QDir().mkpath(QStringLiteral(VT_SCREENSHOT_DIR));
    for (int i = 0; i < kSettingsPageCount; ++i) {
        desk.dialog()->pages()->setCurrentIndex(i);
        QTest::qWait(50);
        QVERIFY(desk.window->grab().save(
            QStringLiteral(VT_SCREENSHOT_DIR "/settings-page%1.png").arg(i)));
    }
}

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
