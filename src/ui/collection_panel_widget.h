// The collection tab: a view of core's CollectionPanel. Every control writes its value
// into the model at once (the workers read the model live); the network work of the mode
// buttons, the start and the login test runs off the window's thread with the control
// disabled until it is done.
#pragma once

#include <QWidget>
#include <array>

#include "core/collection_panel.h"
#include "ui/background_task.h"
#include "ui/ui_relay.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vt {
class AppContext;
}

namespace vt::ui {

class CategoryTreeWidget;

class CollectionPanelWidget : public QWidget {
    Q_OBJECT
public:
    explicit CollectionPanelWidget(AppContext& ctx, QWidget* parent = nullptr);
    ~CollectionPanelWidget() override;

    static constexpr std::array<CollectMode, 5> kModes = {
        CollectMode::Title, CollectMode::Author, CollectMode::Publisher, CollectMode::Category,
        CollectMode::Promo};
    QRadioButton* modeButton(CollectMode mode) const;
    QLineEdit* input(CollectInput input) const;
    CategoryTreeWidget* tree() const { return tree_; }
    QComboBox* sortList() const { return sort_; }
    QCheckBox* filterBox(ListFilter filter) const { return filters_[static_cast<int>(filter)]; }
    QPushButton* startButton() const { return start_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* loginTestButton() const { return loginTest_; }
    // True while a mode change, a start or a login test is still at work.
    bool Busy() const;
    // Waits for the panel's own background work (the window's close does this).
    void WaitForTasks();

private:
    void Sync();
    void OnMode(CollectMode mode);
    void OnStart();
    void OnLoginTest();
    void PostSync();

    AppContext& ctx_;
    std::array<QRadioButton*, 5> modes_{};
    QButtonGroup* modeGroup_ = nullptr;
    std::array<QLineEdit*, kCollectInputs> inputs_{};
    CategoryTreeWidget* tree_ = nullptr;
    QLabel* promoExample_ = nullptr;
    QComboBox* sort_ = nullptr;
    std::array<QCheckBox*, kListFilters> filters_{};
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* loginTest_ = nullptr;
    bool syncing_ = false;
    BackgroundTask modeTask_;
    BackgroundTask startTask_;
    BackgroundTask loginTask_;
    Subscriptions subs_{this};
};

}  // namespace vt::ui
