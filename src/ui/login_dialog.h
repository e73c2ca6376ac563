// The two login dialogs of the marketplace: an embedded browser (Qt WebEngine)
// on the marketplace's own login page, the prompt, "已进入账户" and "退出". The seller logs
// in by hand; "已进入账户" captures the browser's cookies for the marketplace's shared
// domain (HttpOnly ones included) and hands them to the logic's confirmation. Both dialogs
// share one off-the-record browser profile: nothing of the seller's login is written to
// disk, and the cookie store lives as long as the run.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "market/browser_cookies.h"
#include "ui/background_task.h"
#include "ui/desktop_services.h"
#include "ui/ui_relay.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QWebEngineProfile;
class QWebEngineView;

namespace vt {
class AppContext;
}

namespace vt::ui {

// The run's one browser profile, off the record, and the jar that follows its cookie
// store: every cookie the browser stores or drops is reported to the jar.
class BrowserProfile {
public:
    BrowserProfile();
    ~BrowserProfile();
    BrowserProfile(const BrowserProfile&) = delete;
    BrowserProfile& operator=(const BrowserProfile&) = delete;

    QWebEngineProfile* profile() const { return profile_; }
    BrowserCookieJar& jar() { return jar_; }

private:
    BrowserCookieJar jar_;
    QWebEngineProfile* profile_ = nullptr;
};

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    enum class Kind {
        Single,  // Ornik_Web: "登录 淘宝网" and the settings pages' login buttons
        Multi,   // OrnikWeb: "多开登录" of the accounts panel
    };
    LoginDialog(AppContext& ctx, BrowserProfile& browser, Kind kind, QWidget* parent = nullptr);
    ~LoginDialog() override;

    Kind kind() const { return kind_; }
    QWebEngineView* browser() const { return view_; }
    QLabel* prompt() const { return prompt_; }
    QPushButton* confirmButton() const { return confirm_; }
    QPushButton* closeButton() const { return close_; }
    // The read-only line above the page: the address the page came from.
    QLineEdit* addressLine() const { return address_; }
    // Below it: why the last navigation was refused; hidden until one is.
    QLabel* refusalLabel() const { return refusal_; }
    int Refusals() const { return refusals_; }
    // True for an address on one of the marketplace's hosts of the host table (scheme,
    // host and port alike). The browser opens nothing else, in any frame; a link that
    // opens a new window opens here, under the same rule.
    bool MayOpen(const QUrl& url) const;
    // The address the browser opens: the login host's "/" as the host table names it.
    QUrl LoginAddress() const;
    // True while "已进入账户" checks the captured cookie.
    bool Checking() const { return check_.Busy(); }

signals:
    // After each "已进入账户": valid for a login the seller pages accept. The dialog has
    // closed by then, unless the marketplace limited access in the multi-login dialog.
    void confirmed(bool valid);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnConfirm();
    // The navigation check: refused addresses are said in the dialog.
    bool Allow(const QUrl& url);

    AppContext& ctx_;
    BrowserProfile& browser_;
    Kind kind_;
    QWebEngineView* view_ = nullptr;
    QLabel* prompt_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLabel* refusal_ = nullptr;
    int refusals_ = 0;
    QPushButton* confirm_ = nullptr;
    QPushButton* close_ = nullptr;
    BackgroundTask check_;
    Subscriptions subs_{this};
};

// The login dialogs of the desktop. The single-login dialog is made anew for each open;
// the multi-login dialog is one instance for the run. Both open window-modal without
// blocking the caller.
class BrowserLogins : public LoginDialogs {
public:
    explicit BrowserLogins(AppContext& ctx);
    ~BrowserLogins() override;

    // "登录 淘宝网".
    void OpenLogin(QWidget* parent) override { OpenSingleLogin(parent); }
    // The dialog shows without blocking: afterClose runs when it has closed.
    void OpenLoginThen(QWidget* parent, std::function<void()> afterClose) override {
        OpenSingleLogin(parent, std::move(afterClose));
    }
    void OpenMultiLogin(QWidget* parent) override;

    // The single-login dialog, for the main window and the settings pages' login buttons;
    // onClosed runs once it has closed (a page reloads what depends on the login).
    LoginDialog* OpenSingleLogin(QWidget* parent, std::function<void()> onClosed = {});
    // The multi-login dialog once it was opened, else null.
    LoginDialog* multiLogin() const { return multi_; }
    BrowserProfile& browser() { return browser_; }

private:
    AppContext& ctx_;
    BrowserProfile browser_;
    QPointer<LoginDialog> multi_;
    std::vector<QPointer<LoginDialog>> singles_;
};

}  // namespace vt::ui
