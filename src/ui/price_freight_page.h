// 价格运费: the price rule's inputs, the freight template choice read from the seller's
// shop, and the delivery regions with the rule by which their stock counts.
#pragma once

#include <QWidget>

#include "ui/background_task.h"
#include "ui/ui_relay.h"

class QComboBox;
class QPushButton;
class QTableWidget;

namespace vt {
class AppContext;
}

namespace vt::ui {

struct DesktopServices;
class SettingsBinding;

class PriceFreightPage : public QWidget {
    Q_OBJECT
public:
    PriceFreightPage(AppContext& ctx, SettingsBinding& binding, const DesktopServices& services,
                     QWidget* parent);
    ~PriceFreightPage() override;

    QComboBox* freightList() const { return freight_; }
    QTableWidget* regionList() const { return regions_; }
    QPushButton* button(const QString& caption) const;
    bool Busy() const { return task_.Busy(); }
    void WaitForTasks() { task_.Wait(); }

    // The freight templates and the regions as the live settings hold them.
    void ShowTemplates();
    void ShowRegions();

private:
    void LoadTemplatesInBackground();

    AppContext& ctx_;
    const DesktopServices& services_;
    QComboBox* freight_ = nullptr;
    QTableWidget* regions_ = nullptr;
    BackgroundTask task_;
    Subscriptions subs_{this};
};

}  // namespace vt::ui
