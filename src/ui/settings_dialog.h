// The 系统设置 tab: ten pages in their own tab control and one "保存" button. The pages
// are made once and show the live settings, which the rest of the program reads at each
// use; "保存" writes them to Data/Setting.ini and the data files.
#pragma once

#include <QWidget>

#include "app/list_editors.h"
#include "ui/desktop_services.h"

class QPushButton;
class QTabWidget;

namespace vt {
class AppContext;
}

namespace vt::ui {

class ListEditorPage;
class PriceFreightPage;
class SettingsBinding;
class TaobaoBasePage;

class SettingsDialog : public QWidget {
    Q_OBJECT
public:
    // The settings and lists are loaded already (at start-up); the pages show them.
    SettingsDialog(AppContext& ctx, DesktopServices services, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    QTabWidget* pages() const { return pages_; }
    QPushButton* saveButton() const { return save_; }
    SettingsBinding& binding() const { return *binding_; }
    TaobaoBasePage* taobaoBasePage() const { return taobaoBase_; }
    PriceFreightPage* priceFreightPage() const { return priceFreight_; }
    ListEditorPage* listEditor(ListEditor editor) const;
    // The background reads of the two shop pages (the window's close waits for them).
    void WaitForTasks();

private:
    void Save();

    AppContext& ctx_;
    DesktopServices services_;
    SettingsBinding* binding_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QPushButton* save_ = nullptr;
    TaobaoBasePage* taobaoBase_ = nullptr;
    PriceFreightPage* priceFreight_ = nullptr;
    ListEditorPage* editors_[4] = {};
};

}  // namespace vt::ui
