#include "ui/price_freight_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "core/context.h"
#include "market/price_rules.h"
#include "ui/desktop_services.h"
#include "ui/qt_text.h"
#include "ui/settings_binding.h"
#include "ui/settings_layout.h"

namespace vt::ui {
namespace {

constexpr int kNumberWidth = 60;

QLabel* Note(const QString& text, QWidget* parent) {
    auto* note = new QLabel(text, parent);
    note->setWordWrap(true);
    return note;
}

}  // namespace

PriceFreightPage::PriceFreightPage(AppContext& ctx, SettingsBinding& b,
                                   const DesktopServices& services, QWidget* parent)
    : QWidget(parent), ctx_(ctx), services_(services) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);

    QGroupBox* price = Group("价格与折扣", this);
    AddRow(price, Row(this, {b.radio("YuanJiaDazheP", 0), b.radio("YuanJiaDazheP", 1)}));
    b.choice("JiaJianSign")->setFixedWidth(50);
    AddRow(price, Row(this,
                      {"图书售价", b.edit("PriceDazheP"), "折", b.choice("JiaJianSign"),
                       b.edit("JiaJian"), "元"},
                      kNumberWidth));
    AddRow(price,
           Row(this,
               {"售价低于", b.edit("ShouJiaDiYu"), "元，默认为", b.edit("EditShouJiMoRen"), "元"},
               kNumberWidth));
    AddRow(price, Row(this,
                      {"售价低于（定价）", b.edit("EditShouJiaDiYu"), "折，默认为",
                       b.edit("ShouJiaMoRenZhe"), "折"},
                      kNumberWidth));
    price->layout()->addWidget(
        Note(QStringLiteral("如果定价8折，那么填写8就可以，8.5折填8.5而不是0.85：）"), this));
    layout->addWidget(price);

    QGroupBox* freight = Group("运费设置", this);
    freight_ = new QComboBox(this);
    freight_->setMinimumWidth(220);
    auto* load = new QPushButton(QStringLiteral("读取运费模板（网页版）"), this);
    auto* login = new QPushButton(QStringLiteral("登录淘宝网"), this);
    AddRow(freight, Row(this, {b.check("SolderBaoyouP")}));
    freight->layout()->addWidget(
        Note(QStringLiteral("集市店铺不能使用“卖家包邮”，请设置运费模板"), this));
    AddRow(freight, Row(this, {"运费模板ID", freight_, load, login}));
    freight->layout()->addWidget(Note(
        QStringLiteral("如未登陆淘宝网，请在读取运费模板前先点击“登陆淘宝网”按钮登陆淘宝"), this));
    layout->addWidget(freight);

    regions_ = new QTableWidget(0, 3, this);
    regions_->setHorizontalHeaderLabels(
        {QStringLiteral("选择"), QStringLiteral("地区"), QStringLiteral("地区代码")});
    regions_->setColumnWidth(0, 50);
    regions_->setColumnWidth(1, 250);
    regions_->setColumnHidden(2, true);
    regions_->verticalHeader()->setVisible(false);
    regions_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    regions_->setSelectionBehavior(QAbstractItemView::SelectRows);
    regions_->setShowGrid(true);
    auto* regionSide = new QVBoxLayout();
    regionSide->addWidget(b.radio("StockRule", 0));
    regionSide->addWidget(b.radio("StockRule", 1));
    regionSide->addStretch(1);
    auto* regionRow = new QHBoxLayout();
    regionRow->addWidget(regions_, 1);
    regionRow->addLayout(regionSide);
    layout->addLayout(regionRow, 1);

    // Only the seller's choice moves the selection; a reload shows the loader's choice.
    connect(freight_, &QComboBox::activated, this,
            [this](int index) { ctx_.config().SelectFreightTemplate(index); });
    connect(regions_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == 0)
            ctx_.config().SetRegionTicked(static_cast<std::size_t>(item->row()),
                                          item->checkState() == Qt::Checked);
    });
    connect(load, &QPushButton::clicked, this, [this] { LoadTemplatesInBackground(); });
    // The templates need the login: read them as soon as the dialog has closed.
    connect(login, &QPushButton::clicked, this, [this] {
        if (services_.login)
            services_.login->OpenLoginThen(this, [this] { LoadTemplatesInBackground(); });
    });
    ShowTemplates();
    ShowRegions();
}

PriceFreightPage::~PriceFreightPage() {
    subs_.Release();
    task_.Wait();
}

QPushButton* PriceFreightPage::button(const QString& caption) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == caption)
            return b;
    return nullptr;
}

void PriceFreightPage::ShowTemplates() {
    // Each entry shows its own template's text and carries that template's value.
    const std::vector<FreightTemplate> entries = ctx_.config().FreightTemplates();
    const QSignalBlocker quiet(freight_);
    freight_->clear();
    for (const FreightTemplate& t : entries) freight_->addItem(Q(t.text), Q(t.value));
    freight_->setCurrentIndex(ctx_.config().SelectedFreightIndex());
}

void PriceFreightPage::ShowRegions() {
    const std::vector<Region> rows = ctx_.config().Regions();
    const QSignalBlocker quiet(regions_);
    regions_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const Region& region = rows[static_cast<std::size_t>(r)];
        auto* tick = new QTableWidgetItem();
        tick->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        tick->setCheckState(region.ticked ? Qt::Checked : Qt::Unchecked);
        regions_->setItem(r, 0, tick);
        regions_->setItem(r, 1, new QTableWidgetItem(Q(region.name)));
        regions_->setItem(r, 2, new QTableWidgetItem(Q(region.code)));
    }
}

void PriceFreightPage::LoadTemplatesInBackground() {
    auto relay = subs_.relay();
    // Not logged in: the loader itself tells the seller, through the message sink.
    task_.Run([this] { LoadFreightTemplates(ctx_); },
              [relay, this] { relay->Post([this] { ShowTemplates(); }); });
}

}  // namespace vt::ui
