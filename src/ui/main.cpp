// vantrell: the desktop window. The data tree is the folder beside the executable when
// it holds one, else the per-user folder (made from the installed tree), unless --app-dir
// names another one. --startup-time prints the time from process start to the window's
// first paint (--quit-after-paint then ends the run, for measuring; --screenshot FILE
// saves the painted window as a PNG and ends).
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QStringList>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>

#include "app/data_folder.h"
#include "app/startup.h"
#include "core/context.h"
#include "core/setting_checks.h"
#include "ui/login_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/window_state.h"

namespace {

class FirstPaint : public QObject {
public:
    FirstPaint(QElapsedTimer& clock, bool quit, QWidget* window, QString screenshot)
        : clock_(clock), quit_(quit), window_(window), screenshot_(std::move(screenshot)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            std::printf("first paint after %.1f ms\n",
                        static_cast<double>(clock_.nsecsElapsed()) / 1e6);
            std::fflush(stdout);
            if (quit_ || !screenshot_.isEmpty())
                QTimer::singleShot(0, qApp, [this] {
                    int rc = 0;
                    if (!screenshot_.isEmpty() && !window_->grab().save(screenshot_)) {
                        std::fprintf(stderr, "cannot write %s\n", qUtf8Printable(screenshot_));
                        rc = 1;
                    }
                    QApplication::exit(rc);
                });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer& clock_;
    bool quit_;
    QWidget* window_;
    QString screenshot_;
    bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    // A peer closing its socket early must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    // Fractional scale factors as the desktop asks for them, not rounded to whole ones.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    // The embedded browser of the login dialogs shares its graphics contexts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantrell"));
    QApplication::setApplicationVersion(QStringLiteral(VT_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vantrell.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("vantrell"));
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Vantrell → Taobao publisher"));
    options.addHelpOption();
    QCommandLineOption appDir(QStringLiteral("app-dir"),
                              QStringLiteral("the installed tree (Data, DataBase, Log, images)"),
                              QStringLiteral("DIR"));
    QCommandLineOption startupTime(QStringLiteral("startup-time"),
                                   QStringLiteral("print the time to the first paint"));
    QCommandLineOption quitAfterPaint(QStringLiteral("quit-after-paint"),
                                      QStringLiteral("end right after the first paint"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("save the first painted window as a PNG and end"),
                                  QStringLiteral("FILE"));
    options.addOptions({appDir, startupTime, quitAfterPaint, screenshot});
    options.addVersionOption();
    options.process(app);

    const vt::DataFolderChoice folder = vt::ChooseDataFolder(
        vt::DataFolderInputsFromEnvironment(options.value(appDir).toStdString()));
    if (!folder.error.empty())
        std::fprintf(stderr, "data folder: %s\n", qUtf8Printable(vt::ui::Q(folder.error)));
    const QString windowIni = vt::ui::Q(folder.dir) + QStringLiteral("/Data/Window.ini");
    vt::AppContext ctx(folder.dir);
    // What the seller must fix in the data folder: a refused setting (its default is in
    // use) or an unusable Hosts.ini (no site can be reached until it is mended).
    QStringList problems;
    for (const vt::SettingProblem& problem : vt::StartUp(ctx))
        problems << vt::ui::Q(vt::DescribeSettingProblem(problem));
    if (!ctx.hosts().LoadProblem().empty())
        problems << vt::ui::Q(ctx.hosts().LoadProblem());
    if (!folder.error.empty())
        problems.prepend(vt::ui::Q(folder.error));
    vt::ui::QtMessageBoxes messages;
    vt::ui::QtFolderOpener folders;
    vt::ui::QtFileChoosers files;
    // Before the window and gone after it: its dialogs' pages go before its profile.
    vt::ui::BrowserLogins login(ctx);
    int rc = 0;
    {
        vt::ui::MainWindow window(ctx, {&messages, &folders, &login, &files});
        std::unique_ptr<FirstPaint> paint;
        vt::ui::RestoreWindowState(window, *window.tabs(), windowIni);
        if (options.isSet(startupTime) || options.isSet(quitAfterPaint) ||
            options.isSet(screenshot)) {
            paint = std::make_unique<FirstPaint>(clock, options.isSet(quitAfterPaint), &window,
                                                 options.value(screenshot));
            window.tabs()->currentWidget()->installEventFilter(paint.get());
        }
        window.show();
        const bool measuring = options.isSet(startupTime) || options.isSet(quitAfterPaint) ||
                               options.isSet(screenshot);
        if (!problems.isEmpty() && !measuring)
            QTimer::singleShot(
                0, &window, [&] { messages.Show(&window, problems.join(QStringLiteral("\n"))); });
        rc = app.exec();
        if (!vt::ui::SaveWindowState(window, *window.tabs(), windowIni))
            ctx.log().WriteLog("保存窗口状态失败：" + vt::ui::Gbk(windowIni));
        if (paint)
            window.tabs()->currentWidget()->removeEventFilter(paint.get());
    }
    return rc;
}
