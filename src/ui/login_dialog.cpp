#include "ui/login_dialog.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkCookie>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "base/hosts.h"
#include "core/context.h"
#include "market/login_checks.h"
#include "ui/qt_text.h"

namespace vt::ui {
namespace {

// Cookie names and values are bytes; they pass through as they are.
BrowserCookie FromQt(const QNetworkCookie& c) {
    BrowserCookie out;
    out.name = c.name().toStdString();
    out.value = c.value().toStdString();
    out.domain = c.domain().toStdString();
    out.path = c.path().isEmpty() ? std::string("/") : c.path().toStdString();
    out.secure = c.isSecure();
    out.httpOnly = c.isHttpOnly();
    out.expires = c.isSessionCookie() ? 0 : c.expirationDate().toSecsSinceEpoch();
    return out;
}

}  // namespace

BrowserProfile::BrowserProfile() {
    // A profile without a storage name is off the record: cookies, cache and history stay
    // in memory and go with the run.
    profile_ = new QWebEngineProfile();
    profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    QWebEngineCookieStore* store = profile_->cookieStore();
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, profile_,
                     [this](const QNetworkCookie& c) { jar_.Add(FromQt(c)); });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, profile_,
                     [this](const QNetworkCookie& c) {
                         const BrowserCookie gone = FromQt(c);
                         jar_.Remove(gone.name, gone.domain, gone.path);
                     });
}

BrowserProfile::~BrowserProfile() {
    delete profile_;
}

LoginDialog::LoginDialog(AppContext& ctx, BrowserProfile& browser, Kind kind, QWidget* parent)
    : QDialog(parent), ctx_(ctx), browser_(browser), kind_(kind) {
    setWindowTitle(QStringLiteral("登录淘宝"));
    auto* layout = new QVBoxLayout(this);
    prompt_ = new QLabel(QStringLiteral("请先登录淘宝，进入账户后，点击“已进入账户”按钮"), this);
    layout->addWidget(prompt_);
    view_ = new QWebEngineView(this);
    view_->setPage(new QWebEnginePage(browser_.profile(), view_));
    view_->setMinimumSize(760, 480);
    layout->addWidget(view_, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    confirm_ = new QPushButton(QStringLiteral("已进入账户"), this);
    close_ = new QPushButton(QStringLiteral("退出"), this);
    confirm_->setAutoDefault(false);
    close_->setAutoDefault(false);
    buttons->addWidget(confirm_);
    buttons->addWidget(close_);
    layout->addLayout(buttons);
    connect(confirm_, &QPushButton::clicked, this, [this] { OnConfirm(); });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    resize(900, 640);
}

LoginDialog::~LoginDialog() {
    subs_.Release();
    check_.Wait();
    // The page goes before anything of the profile it belongs to.
    delete view_->page();
}

QUrl LoginDialog::LoginAddress() const {
    return QUrl(Q(ctx_.hosts().Url(HostRole::MarketLogin, "/")));
}

void LoginDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // OpenBrowserLogin: each opening starts on the login page.
    if (!event->spontaneous()) {
        confirm_->setEnabled(!check_.Busy());
        view_->load(LoginAddress());
    }
}

void LoginDialog::OnConfirm() {
    auto relay = subs_.relay();
    auto outcome = std::make_shared<MultiLoginOutcome>(MultiLoginOutcome::NotAdded);
    auto valid = std::make_shared<bool>(false);
    const Kind kind = kind_;
    const bool started = check_.Run(
        [this, kind, outcome, valid] {
            // The capture reads the jar the browser keeps up to date; the check asks the
            // seller pages, off the window's thread.
            BrowserCookieSource source(browser_.jar(), ctx_.hosts());
            if (kind == Kind::Single) {
                *valid = ConfirmSingleLogin(ctx_, source);
            } else {
                *outcome = ConfirmMultiLogin(ctx_, source);
                *valid = *outcome == MultiLoginOutcome::Added;
            }
        },
        [relay, this, kind, outcome, valid] {
            relay->Post([this, kind, outcome, valid] {
                confirm_->setEnabled(true);
                // Access limited: the message is shown and the seller may try again here.
                if (kind == Kind::Single || *outcome != MultiLoginOutcome::AccessLimited)
                    accept();
                emit confirmed(*valid);
            });
        });
    if (started)
        confirm_->setEnabled(false);
}

BrowserLogins::BrowserLogins(AppContext& ctx) : ctx_(ctx) {}

BrowserLogins::~BrowserLogins() {
    // Every page goes before the profile.
    delete multi_.data();
    for (auto& d : singles_) delete d.data();
}

LoginDialog* BrowserLogins::OpenSingleLogin(QWidget* parent, std::function<void()> onClosed) {
    auto* dialog = new LoginDialog(ctx_, browser_, LoginDialog::Kind::Single, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (onClosed)
        QObject::connect(dialog, &QDialog::finished, dialog, [onClosed](int) { onClosed(); });
    std::erase_if(singles_, [](const QPointer<LoginDialog>& d) { return d.isNull(); });
    singles_.emplace_back(dialog);
    dialog->open();
    return dialog;
}

void BrowserLogins::OpenMultiLogin(QWidget* parent) {
    if (!multi_)
        multi_ = new LoginDialog(ctx_, browser_, LoginDialog::Kind::Multi, parent);
    multi_->open();
}

}  // namespace vt::ui
