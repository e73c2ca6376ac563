#include "ui/login_dialog.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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

// The marketplace's hosts as the host table names them: the login page and the seller
// pages it leads to. Nothing else is opened in the login browser, so the seller's
// password is never typed into a page of another site.
const HostRole kMarketRoles[] = {HostRole::MarketLogin,       HostRole::MarketUpload,
                                 HostRole::MarketSell,        HostRole::MarketTrade,
                                 HostRole::MarketAdvertising, HostRole::MarketMain};

int PortOf(const QUrl& url) {
    return url.port(url.scheme() == QStringLiteral("https") ? 443 : 80);
}

bool SameOrigin(const QUrl& a, const QUrl& b) {
    return !a.host().isEmpty() && a.scheme() == b.scheme() &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && PortOf(a) == PortOf(b);
}

// The page of the login browser: every navigation, in any frame, is asked first, and a
// link that would open a new window is caught and opened in this one instead.
class GuardedPage : public QWebEnginePage {
public:
    GuardedPage(QWebEngineProfile* profile, QObject* parent, std::function<bool(const QUrl&)> allow,
                std::function<void(const QUrl&)> openHere)
        : QWebEnginePage(profile, parent),
          allow_(std::move(allow)),
          openHere_(std::move(openHere)) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        return allow_(url);
    }
    QWebEnginePage* createWindow(WebWindowType) override;

private:
    std::function<bool(const QUrl&)> allow_;
    std::function<void(const QUrl&)> openHere_;
};

// Stands in for the new window: it never loads anything, it hands the address it was
// asked to open to the login view (which applies the same rule) and goes.
class NewWindowCatcher : public QWebEnginePage {
public:
    NewWindowCatcher(QWebEngineProfile* profile, std::function<void(const QUrl&)> openHere)
        : QWebEnginePage(profile), openHere_(std::move(openHere)) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        if (isMainFrame && !caught_ && url.scheme() != QStringLiteral("about")) {
            caught_ = true;
            openHere_(url);
            deleteLater();
        }
        return false;
    }

private:
    std::function<void(const QUrl&)> openHere_;
    bool caught_ = false;
};

QWebEnginePage* GuardedPage::createWindow(WebWindowType) {
    // A child of this page: it goes with it, before the profile, even if it never loads.
    auto* catcher = new NewWindowCatcher(profile(), openHere_);
    catcher->setParent(this);
    return catcher;
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
    // The seller sees where the page came from before typing a password into it.
    address_ = new QLineEdit(this);
    address_->setReadOnly(true);
    address_->setFocusPolicy(Qt::ClickFocus);
    layout->addWidget(address_);
    refusal_ = new QLabel(this);
    refusal_->setStyleSheet(QStringLiteral("color: #b00000;"));
    refusal_->setWordWrap(true);
    refusal_->hide();
    layout->addWidget(refusal_);
    view_ = new QWebEngineView(this);
    view_->setPage(new GuardedPage(
        browser_.profile(), view_, [this](const QUrl& url) { return Allow(url); },
        [this](const QUrl& url) {
            // Queued: the catcher is inside its own navigation callback.
            QMetaObject::invokeMethod(
                this, [this, url] { view_->load(url); }, Qt::QueuedConnection);
        }));
    connect(view_->page(), &QWebEnginePage::urlChanged, this,
            [this](const QUrl& url) { address_->setText(url.toString()); });
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

bool LoginDialog::MayOpen(const QUrl& url) const {
    if (url.scheme() != QStringLiteral("https") && url.scheme() != QStringLiteral("http"))
        return false;
    for (HostRole role : kMarketRoles) {
        const std::string origin = ctx_.hosts().Origin(role);
        if (!origin.empty() && SameOrigin(url, QUrl(Q(origin))))
            return true;
    }
    return false;
}

bool LoginDialog::Allow(const QUrl& url) {
    if (MayOpen(url))
        return true;
    ++refusals_;
    refusal_->setText(QStringLiteral("已阻止打开淘宝登录以外的网址：") + url.toDisplayString());
    refusal_->show();
    return false;
}

void LoginDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // OpenBrowserLogin: each opening starts on the login page.
    if (!event->spontaneous()) {
        confirm_->setEnabled(!check_.Busy());
        refusal_->hide();
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
