#include "ui/main_window.h"

#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <functional>

#include "app/panel_actions.h"
#include "base/hosts.h"
#include "core/context.h"
#include "ui/accounts_panel_widget.h"
#include "ui/collection_panel_widget.h"
#include "ui/qt_text.h"
#include "ui/results_panel_widget.h"
#include "ui/settings_dialog.h"

namespace vt::ui {
namespace {

// The maker's page for "反馈建议".
constexpr char kFeedbackUrl[] = "https://www.ornik.cn/feedback";

// The banner: a label that takes the whole line's click, since it has no link of its own
// to aim at; without a home page it is plain text and a click does nothing.
class BannerLabel : public QLabel {
public:
    BannerLabel(const QString& text, std::function<void()> onClick, QWidget* parent)
        : QLabel(text, parent), onClick_(std::move(onClick)) {
        if (onClick_)
            setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (onClick_ && event->button() == Qt::LeftButton && rect().contains(event->pos()))
            onClick_();
        QLabel::mouseReleaseEvent(event);
    }

private:
    std::function<void()> onClick_;
};

}  // namespace

QString StartUpTitle() {
    return QStringLiteral("OrnikVantrell网图书采集及上传软件") + QStringLiteral(":") +
           QStringLiteral(VT_VERSION);
}

MainWindow::MainWindow(AppContext& ctx, DesktopServices services, QWidget* parent)
    : QMainWindow(parent), ctx_(ctx), services_(services) {
    auto relay = subs_.relay();

    // Message boxes of every module, from any thread, are shown here on the window's thread.
    ctx_.SetMessageSink([relay, this](const std::string& text) {
        relay->Post([this, text] {
            if (services_.messages)
                services_.messages->Show(this, Q(text));
        });
    });
    subs_.Add([this] { ctx_.SetMessageSink(nullptr); });

    tabs_ = new QTabWidget(this);
    collection_ = new CollectionPanelWidget(ctx_, tabs_);
    results_ = new ResultsPanelWidget(ctx_, services_, tabs_);
    accounts_ = new AccountsPanelWidget(ctx_, services_, tabs_);
    tabs_->addTab(collection_, QStringLiteral("采集"));
    tabs_->addTab(results_, QStringLiteral("采集结果"));
    settings_ = new SettingsDialog(ctx_, services_, tabs_);
    tabs_->addTab(settings_, QStringLiteral("系统设置"));
    tabs_->addTab(accounts_, QStringLiteral("多开设置"));
    tabs_->setCurrentIndex(0);
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(BuildBanner());
    column->addWidget(tabs_, 1);
    setCentralWidget(central);
    closingNote_ = new QLabel(this);
    statusBar()->addWidget(closingNote_, 1);
    BuildMenu();

    // The start-up title; a login's account state replaces it, from any thread.
    ctx_.session().SetApplicationTitle(Gbk(QStringLiteral("OrnikVantrell网图书采集及上传软件")));
    setWindowTitle(StartUpTitle());
    Observers<std::string>& titles = ctx_.session().titleObservers();
    const int id = titles.Subscribe([relay, this](const std::string& title) {
        relay->Post([this, title] { setWindowTitle(Q(title)); });
    });
    subs_.Add([&titles, id] { titles.Unsubscribe(id); });
    resize(900, 600);
}

MainWindow::~MainWindow() {
    subs_.Release();
    closer_.Wait();
}

void MainWindow::BuildMenu() {
    QMenu* tools = menuBar()->addMenu(QStringLiteral("工具箱"));
    const struct {
        const char* caption;
        std::string folder;
    } folders[] = {{"打开图片文件夹", ctx_.ImagesDir()},
                   {"打开日志文件夹", ctx_.LogDir()},
                   {"打开配置文件夹", ctx_.DataFileDir()}};
    for (const auto& f : folders) {
        const QString path = Q(f.folder);
        tools->addAction(QString::fromUtf8(f.caption), this, [this, path] {
            if (services_.folders)
                services_.folders->Open(path);
        });
    }
    // Linux has no system menu: the About entry sits in the window's own menu.
    tools->addSeparator();
    tools->addAction(QStringLiteral("关于 Vantrell(&A)..."), this, [this] { ShowAbout(); });
    menuBar()->addAction(QStringLiteral("登录 淘宝网"), this, [this] {
        if (services_.login)
            services_.login->OpenLogin(this);
    });
    menuBar()->addAction(QStringLiteral("反馈建议"), this, [this] {
        if (services_.folders)
            services_.folders->Open(QString::fromLatin1(kFeedbackUrl));
    });
    menuBar()->addAction(QStringLiteral("关于"), this, [this] { ShowAbout(); });
}

QWidget* MainWindow::BuildBanner() {
    // No notice is fetched at start (the window never waits on a page of the maker's);
    // the line names the product and, when Hosts.ini gives one, the home page.
    const QString home = Q(ctx_.hosts().HomePage());
    QString text = QStringLiteral("Vantrell网图书采集及上传：采集图书，一键发布到淘宝店铺");
    std::function<void()> open;
    if (!home.isEmpty()) {
        text += QStringLiteral("　　访问项目主页：") + home;
        open = [this, home] {
            if (services_.folders)
                services_.folders->Open(home);
        };
    }
    banner_ = new BannerLabel(text, std::move(open), this);
    banner_->setObjectName(QStringLiteral("banner"));
    banner_->setTextFormat(Qt::PlainText);
    banner_->setToolTip(home);
    // Red on light grey, as the banner has always been drawn.
    banner_->setStyleSheet(
        QStringLiteral("QLabel#banner { color: rgb(255, 0, 0); background: rgb(245, 245, 245);"
                       " padding: 3px 6px; }"));
    return banner_;
}

QAction* MainWindow::action(const QString& caption) const {
    for (QAction* a : menuBar()->actions()) {
        if (a->text() == caption)
            return a;
        if (a->menu())
            for (QAction* sub : a->menu()->actions())
                if (sub->text() == caption)
                    return sub;
    }
    return nullptr;
}

void MainWindow::ShowAbout() {
    if (!about_) {
        about_ = new QDialog(this);
        about_->setWindowTitle(QStringLiteral("关于 Vantrell"));
        auto* layout = new QVBoxLayout(about_);
        auto* row = new QHBoxLayout();
        auto* icon = new QLabel(about_);
        icon->setPixmap(windowIcon().pixmap(48, 48));
        row->addWidget(icon);
        row->addWidget(new QLabel(
            StartUpTitle() + QStringLiteral("\n") + QStringLiteral("Ornik 出品，为网店书商而作"),
            about_));
        layout->addLayout(row);
        auto* buttons = new QDialogButtonBox(about_);
        buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
        connect(buttons, &QDialogButtonBox::accepted, about_, &QDialog::accept);
        layout->addWidget(buttons);
    }
    // Window-modal without a nested event loop, so the workers' reports keep arriving.
    about_->open();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (mayClose_) {
        event->accept();
        return;
    }
    event->ignore();
    if (closing_)
        return;
    closing_ = true;
    // Closing stops the job like "停止采集"; every worker leaves after its current page
    // or item, so an item the marketplace accepted is recorded before the window goes.
    // The wait is bounded by the HTTP client's timeouts; the window keeps painting.
    PressStop(ctx_);
    tabs_->setEnabled(false);
    menuBar()->setEnabled(false);
    closingNote_->setText(QStringLiteral("正在停止采集，等待当前图书处理完成后关闭…"));
    auto relay = subs_.relay();
    closer_.Run(
        [this] {
            collection_->WaitForTasks();
            settings_->WaitForTasks();
            results_->WaitForTasks();
            accounts_->WaitForTasks();
            // A start that was under way may have started workers meanwhile.
            PressStop(ctx_);
            ctx_.workers().JoinAll();
        },
        [relay, this] {
            relay->Post([this] {
                mayClose_ = true;
                close();
            });
        });
}

}  // namespace vt::ui
