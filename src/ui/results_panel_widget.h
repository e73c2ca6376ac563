// The results tab ("采集结果", ColectResult): the to-collect list and the collected list
// with their counter boxes, the two context menus and "导入编码". The views follow core's
// work lists and counters (worker threads write those); every command goes through the
// logic of app/results_panel.
#pragma once

#include <QWidget>
#include <array>
#include <atomic>
#include <functional>
#include <memory>

#include "app/results_panel.h"
#include "core/result_counters.h"
#include "ui/background_task.h"
#include "ui/desktop_services.h"
#include "ui/ui_relay.h"

class QAction;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;

namespace vt {
class AppContext;
}

namespace vt::ui {

class WorkListModel;

// The choosers' filter of "导出勾选商品标识" and "导入编码".
inline const char kTextFileFilter[] = "文件 (*.txt)";

class ResultsPanelWidget : public QWidget {
    Q_OBJECT
public:
    ResultsPanelWidget(AppContext& ctx, DesktopServices services, QWidget* parent = nullptr);
    ~ResultsPanelWidget() override;

    QTableView* toCollectView() const { return toCollectView_; }
    QTableView* collectedView() const { return collectedView_; }
    WorkListModel* toCollectModel() const { return toCollectModel_; }
    WorkListModel* collectedModel() const { return collectedModel_; }
    QLabel* caption(CounterBox box) const { return captions_[static_cast<int>(box)]; }
    QLineEdit* value(CounterBox box) const { return values_[static_cast<int>(box)]; }
    QPushButton* importButton() const { return import_; }
    // The two pop-ups: "weijin" on a to-collect row, "已经上传" on a collected row.
    QMenu* toCollectMenu() const { return toCollectMenu_; }
    QMenu* collectedMenu() const { return collectedMenu_; }
    // A command of either pop-up by caption ("全选" … "全部清空").
    QAction* action(const QString& caption) const;
    // The pop-up a right-click at that point of the view's viewport opens: the list's own
    // on a row, none below the last row.
    QMenu* MenuAt(QTableView* view, const QPoint& pos) const;

    // True while an import waits for the stopped job's workers or starts its own.
    bool Busy() const { return importTask_.Busy(); }
    void WaitForTasks() { importTask_.Wait(); }

private:
    void BuildCounters(QGridLayout* top, QGridLayout* bottom);
    void BuildMenus();
    void OnExport();
    void OnImport();
    void OnDataFiles();
    void SyncLists();
    void SyncCounters();
    // Runs the look on the window's thread once, however many notices arrive before it
    // runs. Any thread; touches no member.
    static void PostOnce(UiRelay& relay, const std::shared_ptr<std::atomic<bool>>& pending,
                         std::function<void()> look);

    AppContext& ctx_;
    DesktopServices services_;
    ResultsPanel results_;
    WorkListModel* toCollectModel_ = nullptr;
    WorkListModel* collectedModel_ = nullptr;
    QTableView* toCollectView_ = nullptr;
    QTableView* collectedView_ = nullptr;
    std::array<QLabel*, kCounterBoxes> captions_{};
    std::array<QLineEdit*, kCounterBoxes> values_{};
    QPushButton* import_ = nullptr;
    QMenu* toCollectMenu_ = nullptr;
    QMenu* collectedMenu_ = nullptr;
    BackgroundTask importTask_;
    Subscriptions subs_{this};
};

}  // namespace vt::ui
