#include "ui/taobao_base_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include "core/context.h"
#include "market/category_lookup.h"
#include "ui/desktop_services.h"
#include "ui/qt_text.h"
#include "ui/settings_binding.h"
#include "ui/settings_layout.h"

namespace vt::ui {

TaobaoBasePage::TaobaoBasePage(AppContext& ctx, SettingsBinding& b, const DesktopServices& services,
                               QWidget* parent)
    : QWidget(parent), ctx_(ctx), services_(services) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    constexpr int kShort = 60;
    layout->addLayout(
        Row(this, {"标题前缀：", b.edit("TitleQianzhuiP"), "标题后缀：", b.edit("TitleHouzhuiP")}));
    layout->addLayout(Row(this, {b.check("DiyTitleCheckP"), b.edit("DiyTitleContentP")}));
    b.edit("DiyTitleContentP")->setMinimumWidth(360);
    layout->addLayout(
        Row(this,
            {"标题最大长度：", b.edit("TitleLengthP"), "图书库存数量：", b.edit("BookStoreCountP"),
             "卖家所在地：", b.edit("PrivinceP"), "省", b.edit("CityP"), "市"},
            kShort));

    mapping_ = new QTableWidget(0, 2, this);
    mapping_->setHorizontalHeaderLabels(
        {QStringLiteral("Vantrell图书分类"), QStringLiteral("淘宝店铺图书分类")});
    mapping_->setColumnWidth(0, 200);
    mapping_->setColumnWidth(1, 200);
    mapping_->horizontalHeader()->setStretchLastSection(true);
    mapping_->verticalHeader()->setVisible(false);
    // The second column is edited only through the category drop-down.
    mapping_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mapping_->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(mapping_, &QTableWidget::cellClicked, this, &TaobaoBasePage::EditCell);

    editor_ = new QComboBox(mapping_->viewport());
    editor_->setEditable(true);
    editor_->hide();
    editor_->installEventFilter(this);
    editor_->lineEdit()->installEventFilter(this);

    source_ = new QLineEdit(this);
    source_->setReadOnly(true);
    auto* fetch = new QPushButton(QStringLiteral("获取淘宝店铺类目"), this);
    auto* login = new QPushButton(QStringLiteral("登录淘宝网"), this);
    auto* reset = new QPushButton(QStringLiteral("重置"), this);
    auto* side = new QVBoxLayout();
    side->addWidget(source_);
    side->addWidget(fetch);
    side->addWidget(login);
    side->addWidget(reset);
    side->addStretch(1);
    auto* lists = new QHBoxLayout();
    lists->addWidget(mapping_, 1);
    lists->addLayout(side);
    layout->addLayout(lists, 1);

    connect(fetch, &QPushButton::clicked, this, [this] { LoadShopCategoriesInBackground(); });
    // The shop's categories need the login: read them as soon as the dialog has closed.
    connect(login, &QPushButton::clicked, this, [this] {
        if (services_.login)
            services_.login->OpenLoginThen(this, [this] { LoadShopCategoriesInBackground(); });
    });
    // Back to the mapping file as last saved.
    connect(reset, &QPushButton::clicked, this, [this] {
        editor_->hide();
        LoadCategoryMapping(ctx_);
        ShowMappings();
    });
    ShowMappings();
}

TaobaoBasePage::~TaobaoBasePage() {
    subs_.Release();
    task_.Wait();
}

QPushButton* TaobaoBasePage::button(const QString& caption) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == caption)
            return b;
    return nullptr;
}

void TaobaoBasePage::ShowMappings() {
    const std::vector<CategoryMapping> rows = ctx_.config().CategoryMappings();
    mapping_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        mapping_->setItem(r, 0, new QTableWidgetItem(Q(rows[static_cast<std::size_t>(r)].source)));
        mapping_->setItem(r, 1, new QTableWidgetItem(Q(rows[static_cast<std::size_t>(r)].shop)));
    }
}

void TaobaoBasePage::EditCell(int row, int column) {
    source_->setText(mapping_->item(row, 0) ? mapping_->item(row, 0)->text() : QString());
    if (column != 1)
        return;
    if (editor_->isVisible())
        CommitEditor();
    editedRow_ = row;
    editor_->setGeometry(mapping_->visualRect(mapping_->model()->index(row, 1)));
    editor_->setEditText(mapping_->item(row, 1)->text());
    editor_->show();
    editor_->setFocus(Qt::MouseFocusReason);
}

void TaobaoBasePage::CommitEditor() {
    if (editedRow_ < 0 || editedRow_ >= mapping_->rowCount()) {
        editor_->hide();
        return;
    }
    const QString text = editor_->currentText();
    mapping_->item(editedRow_, 1)->setText(text);
    ctx_.config().SetMappingShop(static_cast<std::size_t>(editedRow_), Gbk(text));
    editedRow_ = -1;
    editor_->hide();
}

bool TaobaoBasePage::eventFilter(QObject* watched, QEvent* event) {
    // The drop-down's own list takes the focus while it is open; that is not leaving.
    if ((watched == editor_ || watched == editor_->lineEdit()) &&
        event->type() == QEvent::FocusOut && editor_->isVisible() &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
        !editor_->hasFocus() && !editor_->lineEdit()->hasFocus())
        CommitEditor();
    return QWidget::eventFilter(watched, event);
}

void TaobaoBasePage::LoadShopCategoriesInBackground() {
    auto relay = subs_.relay();
    task_.Run([this] { LoadShopCategories(ctx_); },
              [relay, this] { relay->Post([this] { ShowShopCategories(); }); });
}

void TaobaoBasePage::ShowShopCategories() {
    editor_->hide();
    editedRow_ = -1;
    editor_->clear();
    for (const std::string& name : ctx_.config().ShopCategoryNames()) editor_->addItem(Q(name));
}

}  // namespace vt::ui
