#include "ui/accounts_panel_widget.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/context.h"
#include "market/login_checks.h"
#include "ui/qt_text.h"

namespace vt::ui {
namespace {

constexpr int kNumberCol = 0;
constexpr int kCookieCol = 1;
constexpr int kStatusCol = 2;

QTableWidgetItem* Centred(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

AccountsPanelWidget::AccountsPanelWidget(AppContext& ctx, DesktopServices services, QWidget* parent)
    : QWidget(parent), ctx_(ctx), services_(services) {
    auto* layout = new QVBoxLayout(this);
    list_ = new QTableWidget(0, 3, this);
    list_->setHorizontalHeaderLabels(
        {QStringLiteral("编号"), QStringLiteral("Cookies"), QStringLiteral("登录状态")});
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->verticalHeader()->setVisible(false);
    list_->horizontalHeader()->setStretchLastSection(false);
    const QFontMetrics header(list_->horizontalHeader()->font());
    list_->setColumnWidth(kNumberCol,
                          std::max(50, header.horizontalAdvance(QStringLiteral("编号")) + 20));
    list_->setColumnHidden(kCookieCol, true);  // width 0: the cookie is kept, not shown
    list_->setColumnWidth(kStatusCol, 150);
    layout->addWidget(list_, 1);

    auto* buttons = new QHBoxLayout();
    login_ = new QPushButton(QStringLiteral("多开登录"), this);
    test_ = new QPushButton(QStringLiteral("测试多开状态"), this);
    buttons->addWidget(login_);
    buttons->addWidget(test_);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    connect(login_, &QPushButton::clicked, this, [this] { OnLogin(); });
    connect(test_, &QPushButton::clicked, this, [this] { OnTest(); });

    auto relay = subs_.relay();
    Observers<AccountChange>& accounts = ctx_.session().accountObservers();
    const int id = accounts.Subscribe(
        [relay, this](const AccountChange&) { relay->Post([this] { Sync(); }); });
    subs_.Add([&accounts, id] { accounts.Unsubscribe(id); });
    Sync();
}

AccountsPanelWidget::~AccountsPanelWidget() {
    subs_.Release();
    WaitForTasks();
}

void AccountsPanelWidget::Sync() {
    // The list is short: each look copies it whole.
    const std::vector<AccountRow> rows = ctx_.session().Accounts();
    list_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const AccountRow& row = rows[static_cast<std::size_t>(r)];
        const QString cells[3] = {Q(row.number), Q(row.cookie), Q(row.status)};
        for (int c = 0; c < 3; ++c) {
            QTableWidgetItem* item = list_->item(r, c);
            if (!item)
                list_->setItem(r, c, Centred(cells[c]));
            else if (item->text() != cells[c])
                item->setText(cells[c]);
        }
    }
    test_->setEnabled(!testTask_.Busy());
}

void AccountsPanelWidget::OnLogin() {
    // The logic refuses a second account with "对不起只能登录一个线程".
    if (OpenMultiLogin(ctx_) && services_.login)
        services_.login->OpenMultiLogin(this);
}

void AccountsPanelWidget::OnTest() {
    auto relay = subs_.relay();
    if (!testTask_.Run([this] { TestLogins(ctx_); },
                       [relay, this] { relay->Post([this] { Sync(); }); }))
        return;
    test_->setEnabled(false);
}

}  // namespace vt::ui
