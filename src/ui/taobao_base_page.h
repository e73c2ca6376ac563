// 淘宝基本信息: the title, stock and seller-location settings, and the mapping from the
// bookstore's categories to the seller's shop categories, whose second column is edited
// with a drop-down of the shop categories read from the shop.
#pragma once

#include <QWidget>

#include "ui/background_task.h"
#include "ui/ui_relay.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace vt {
class AppContext;
}

namespace vt::ui {

struct DesktopServices;
class SettingsBinding;

class TaobaoBasePage : public QWidget {
    Q_OBJECT
public:
    TaobaoBasePage(AppContext& ctx, SettingsBinding& binding, const DesktopServices& services,
                   QWidget* parent);
    ~TaobaoBasePage() override;

    QTableWidget* mappingList() const { return mapping_; }
    QComboBox* categoryEditor() const { return editor_; }
    QLineEdit* sourceText() const { return source_; }
    QPushButton* button(const QString& caption) const;
    bool Busy() const { return task_.Busy(); }
    void WaitForTasks() { task_.Wait(); }

    // The mapping list as the live setting holds it.
    void ShowMappings();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void EditCell(int row, int column);
    void CommitEditor();
    void LoadShopCategoriesInBackground();
    void ShowShopCategories();

    AppContext& ctx_;
    const DesktopServices& services_;
    QTableWidget* mapping_ = nullptr;
    QComboBox* editor_ = nullptr;
    QLineEdit* source_ = nullptr;
    int editedRow_ = -1;
    BackgroundTask task_;
    Subscriptions subs_{this};
};

}  // namespace vt::ui
