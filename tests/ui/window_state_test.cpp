// The window comes back as the seller left it: size and open tab are kept in the data
// folder's Data/Window.ini; a missing or damaged file leaves the defaults.
#include "ui/window_state.h"

#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/startup.h"
#include "core/context.h"
#include "support/temp_app_dir.h"
#include "ui/desktop_services.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

using namespace vt;
using namespace vt::ui;

class WindowStateTest : public QObject {
    Q_OBJECT

private slots:
    void sizeAndTabComeBack();
    void missingOrDamagedFileLeavesTheDefaults();
    void titleAndAboutNameTheBuildsVersion();
};

namespace {

struct Window {
    explicit Window(vt::testing::TempAppDir& dir) : ctx(dir.path()) {
        StartUp(ctx);
        window = std::make_unique<MainWindow>(ctx, DesktopServices{&messages, &opens, &logins});
    }
    AppContext ctx;
    RecordedMessages messages;
    RecordedOpens opens;
    RecordedLogins logins;
    std::unique_ptr<MainWindow> window;
};

}  // namespace

void WindowStateTest::sizeAndTabComeBack() {
    vt::testing::TempAppDir dir;
    const QString ini = Q(dir.path()) + QStringLiteral("/Data/Window.ini");
    {
        Window w(dir);
        w.window->resize(733, 517);
        w.window->tabs()->setCurrentIndex(2);
        SaveWindowState(*w.window, *w.window->tabs(), ini);
    }
    Window again(dir);
    QCOMPARE(again.window->tabs()->currentIndex(), 0);
    RestoreWindowState(*again.window, *again.window->tabs(), ini);
    QCOMPARE(again.window->tabs()->currentIndex(), 2);
    QCOMPARE(again.window->size(), QSize(733, 517));
}

void WindowStateTest::missingOrDamagedFileLeavesTheDefaults() {
    vt::testing::TempAppDir dir;
    const QString ini = Q(dir.path()) + QStringLiteral("/Data/Window.ini");
    Window w(dir);
    const QSize initial = w.window->size();
    RestoreWindowState(*w.window, *w.window->tabs(), ini);  // no file yet
    QCOMPARE(w.window->tabs()->currentIndex(), 0);
    QCOMPARE(w.window->size(), initial);

    QFile f(ini);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Window]\nGeometry=@ByteArray(garbage)\nTab=99\n\x01\x02\xff");
    f.close();
    RestoreWindowState(*w.window, *w.window->tabs(), ini);
    QCOMPARE(w.window->tabs()->currentIndex(), 0);
    QCOMPARE(w.window->size(), initial);
}

void WindowStateTest::titleAndAboutNameTheBuildsVersion() {
    vt::testing::TempAppDir dir;
    Window w(dir);
    QVERIFY(StartUpTitle().endsWith(QStringLiteral(":" VT_VERSION)));
    QVERIFY(QStringLiteral(VT_VERSION).count(QLatin1Char('.')) == 2);
    QCOMPARE(w.window->windowTitle(), StartUpTitle());
}

QTEST_MAIN(WindowStateTest)
#include "window_state_test.moc"
