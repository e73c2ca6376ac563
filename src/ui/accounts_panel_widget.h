// The accounts tab ("多开设置", Mulit): the list of logged-in accounts the publishing
// threads take their cookies from, "多开登录" (opens the multi-login dialog while the
// list is empty) and "测试多开状态" (checks every account's cookie, off the window's
// thread). The list follows core's session.
#pragma once

#include <QWidget>

#include "ui/background_task.h"
#include "ui/desktop_services.h"
#include "ui/ui_relay.h"

class QPushButton;
class QTableWidget;

namespace vt {
class AppContext;
}

namespace vt::ui {

class AccountsPanelWidget : public QWidget {
    Q_OBJECT
public:
    AccountsPanelWidget(AppContext& ctx, DesktopServices services, QWidget* parent = nullptr);
    ~AccountsPanelWidget() override;

    // Columns "编号", "Cookies" (hidden) and "登录状态".
    QTableWidget* list() const { return list_; }
    QPushButton* loginButton() const { return login_; }
    QPushButton* testButton() const { return test_; }
    // True while "测试多开状态" is at work.
    bool Busy() const { return testTask_.Busy(); }
    void WaitForTasks() { testTask_.Wait(); }

private:
    void Sync();
    void OnLogin();
    void OnTest();

    AppContext& ctx_;
    DesktopServices services_;
    QTableWidget* list_ = nullptr;
    QPushButton* login_ = nullptr;
    QPushButton* test_ = nullptr;
    BackgroundTask testTask_;
    Subscriptions subs_{this};
};

}  // namespace vt::ui
