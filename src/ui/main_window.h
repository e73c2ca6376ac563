// The main window: the four tabs, the menu, the About box and the title. It gives the
// worker threads' reports one way in (queued calls through the relay) and, on close,
// stops the job and lets the current item finish before the window goes.
#pragma once

#include <QMainWindow>

#include "ui/background_task.h"
#include "ui/desktop_services.h"
#include "ui/ui_relay.h"

class QAction;
class QDialog;
class QLabel;
class QTabWidget;

namespace vt {
class AppContext;
}

namespace vt::ui {

class AccountsPanelWidget;
class CollectionPanelWidget;
class ResultsPanelWidget;
class SettingsDialog;

// "OrnikVantrell网图书采集及上传软件" and the version, as the start-up title shows them.
QString StartUpTitle();

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(AppContext& ctx, DesktopServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    QTabWidget* tabs() const { return tabs_; }
    CollectionPanelWidget* collectionPanel() const { return collection_; }
    ResultsPanelWidget* resultsPanel() const { return results_; }
    SettingsDialog* settingsDialog() const { return settings_; }
    AccountsPanelWidget* accountsPanel() const { return accounts_; }
    // The menu commands by caption ("打开图片文件夹" … "关于 Vantrell(&A)...").
    QAction* action(const QString& caption) const;
    // The one-line banner above the tabs; a click opens the home page of Hosts.ini.
    QLabel* banner() const { return banner_; }
    // The About box once it was asked for, else null.
    QDialog* aboutBox() const { return about_; }
    // True from the first close request until the workers have ended.
    bool Closing() const { return closing_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();
    QWidget* BuildBanner();
    void ShowAbout();

    AppContext& ctx_;
    DesktopServices services_;
    QTabWidget* tabs_ = nullptr;
    CollectionPanelWidget* collection_ = nullptr;
    ResultsPanelWidget* results_ = nullptr;
    SettingsDialog* settings_ = nullptr;
    AccountsPanelWidget* accounts_ = nullptr;
    QLabel* banner_ = nullptr;
    QDialog* about_ = nullptr;
    QLabel* closingNote_ = nullptr;
    bool closing_ = false;
    bool mayClose_ = false;
    BackgroundTask closer_;
    Subscriptions subs_{this};
};

}  // namespace vt::ui
