// vantrell: the desktop window. The installed tree is the folder beside the executable
// unless --app-dir names another one. --startup-time prints the time from process start
// to the window's first paint (--quit-after-paint then ends the run, for measuring).
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>

#include "app/startup.h"
#include "core/context.h"
#include "ui/login_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace {

class FirstPaint : public QObject {
public:
    FirstPaint(QElapsedTimer& clock, bool quit) : clock_(clock), quit_(quit) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            std::printf("first paint after %.1f ms\n",
                        static_cast<double>(clock_.nsecsElapsed()) / 1e6);
            std::fflush(stdout);
            if (quit_)
                QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer& clock_;
    bool quit_;
    bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    // A peer closing its socket early must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    // The embedded browser of the login dialogs shares its graphics contexts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Vantrell → Taobao publisher"));
    options.addHelpOption();
    QCommandLineOption appDir(QStringLiteral("app-dir"),
                              QStringLiteral("the installed tree (Data, DataBase, Log, images)"),
                              QStringLiteral("DIR"), QCoreApplication::applicationDirPath());
    QCommandLineOption startupTime(QStringLiteral("startup-time"),
                                   QStringLiteral("print the time to the first paint"));
    QCommandLineOption quitAfterPaint(QStringLiteral("quit-after-paint"),
                                      QStringLiteral("end right after the first paint"));
    options.addOptions({appDir, startupTime, quitAfterPaint});
    options.process(app);

    vt::AppContext ctx(vt::ui::Gbk(options.value(appDir)));
    vt::StartUp(ctx);
    vt::ui::QtMessageBoxes messages;
    vt::ui::QtFolderOpener folders;
    vt::ui::QtFileChoosers files;
    // Before the window and gone after it: its dialogs' pages go before its profile.
    vt::ui::BrowserLogins login(ctx);
    int rc = 0;
    {
        vt::ui::MainWindow window(ctx, {&messages, &folders, &login, &files});
        std::unique_ptr<FirstPaint> paint;
        if (options.isSet(startupTime) || options.isSet(quitAfterPaint)) {
            paint = std::make_unique<FirstPaint>(clock, options.isSet(quitAfterPaint));
            window.tabs()->currentWidget()->installEventFilter(paint.get());
        }
        window.show();
        rc = app.exec();
        if (paint)
            window.tabs()->currentWidget()->removeEventFilter(paint.get());
    }
    return rc;
}
