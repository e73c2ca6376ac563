#include "ui/settings_dialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/context.h"
#include "core/settings_store.h"
#include "ui/list_editor_page.h"
#include "ui/price_freight_page.h"
#include "ui/qt_text.h"
#include "ui/settings_binding.h"
#include "ui/settings_pages.h"
#include "ui/taobao_base_page.h"

namespace vt::ui {

SettingsDialog::SettingsDialog(AppContext& ctx, DesktopServices services, QWidget* parent)
    : QWidget(parent), ctx_(ctx), services_(services) {
    auto* layout = new QVBoxLayout(this);
    pages_ = new QTabWidget(this);
    binding_ = new SettingsBinding(ctx_.config(), this);

    pages_->addTab(MakeBasicPage(*binding_, pages_), QStringLiteral("基本信息"));
    pages_->addTab(MakeDataFilesPage(*binding_, pages_), QStringLiteral("数据文件"));
    pages_->addTab(MakeDefaultContentPage(*binding_, pages_), QStringLiteral("默认内容"));
    taobaoBase_ = new TaobaoBasePage(ctx_, *binding_, services_, pages_);
    pages_->addTab(taobaoBase_, QStringLiteral("淘宝基本信息"));
    priceFreight_ = new PriceFreightPage(ctx_, *binding_, services_, pages_);
    pages_->addTab(priceFreight_, QStringLiteral("价格运费"));
    pages_->addTab(MakeDescriptionPage(*binding_, pages_), QStringLiteral("宝贝描述"));
    const QString captions[] = {QStringLiteral("过滤关键字"), QStringLiteral("禁止销售图书"),
                                QStringLiteral("禁止销售标志"), QStringLiteral("禁止销售出版社")};
    for (ListEditor editor : kListEditors) {
        const int i = static_cast<int>(editor);
        editors_[i] = new ListEditorPage(ctx_, *binding_, editor, services_.messages, pages_);
        pages_->addTab(editors_[i], captions[i]);
    }
    pages_->setCurrentIndex(0);
    layout->addWidget(pages_, 1);

    save_ = new QPushButton(QStringLiteral("保存"), this);
    auto* row = new QHBoxLayout();
    row->addStretch(1);
    row->addWidget(save_);
    layout->addLayout(row);
    connect(save_, &QPushButton::clicked, this, [this] { Save(); });

    binding_->ShowConfig();
}

SettingsDialog::~SettingsDialog() = default;

ListEditorPage* SettingsDialog::listEditor(ListEditor editor) const {
    return editors_[static_cast<int>(editor)];
}

void SettingsDialog::WaitForTasks() {
    taobaoBase_->WaitForTasks();
    priceFreight_->WaitForTasks();
}

void SettingsDialog::Save() {
    // "保存成功" only after every write worked; otherwise the failed step's own message.
    const SaveResult result = SaveSettings(ctx_);
    if (services_.messages)
        services_.messages->Show(this, Q(result.message));
}

}  // namespace vt::ui
