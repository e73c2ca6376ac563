#include "ui/collection_panel_widget.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/panel_actions.h"
#include "base/hosts.h"
#include "core/context.h"
#include "core/list_choices.h"
#include "ui/category_tree_widget.h"
#include "ui/qt_text.h"

namespace vt::ui {
namespace {

constexpr CollectInput kInputs[kCollectInputs] = {
    CollectInput::Title, CollectInput::Author, CollectInput::Publisher, CollectInput::PromoAddress};

int ModeIndex(CollectMode mode) {
    for (std::size_t i = 0; i < CollectionPanelWidget::kModes.size(); ++i)
        if (CollectionPanelWidget::kModes[i] == mode)
            return static_cast<int>(i);
    return -1;
}

int InputIndex(CollectInput input) {
    for (int i = 0; i < kCollectInputs; ++i)
        if (kInputs[i] == input)
            return i;
    return 0;
}

}  // namespace

CollectionPanelWidget::CollectionPanelWidget(AppContext& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx) {
    CollectionPanel& panel = ctx_.panel();
    auto* layout = new QHBoxLayout(this);

    // Left: the five modes with their inputs.
    auto* request = new QGroupBox(QStringLiteral("采集方式"), this);
    auto* grid = new QGridLayout(request);
    modeGroup_ = new QButtonGroup(this);
    modeGroup_->setExclusive(true);
    for (std::size_t i = 0; i < kModes.size(); ++i) {
        modes_[i] = new QRadioButton(Q(CollectModeCaption(kModes[i])), request);
        modes_[i]->setObjectName(QStringLiteral("mode%1").arg(static_cast<int>(kModes[i])));
        modeGroup_->addButton(modes_[i], static_cast<int>(kModes[i]));
    }
    for (int i = 0; i < kCollectInputs; ++i) {
        inputs_[i] = new QLineEdit(request);
        inputs_[i]->setObjectName(QStringLiteral("input%1").arg(static_cast<int>(kInputs[i])));
        inputs_[i]->setMinimumWidth(220);
    }
    tree_ = new CategoryTreeWidget(ctx_, request);
    tree_->setMinimumHeight(220);
    promoExample_ = new QLabel(
        QStringLiteral("类似：") + Q(ctx_.hosts().Url(HostRole::SourcePromo, "/3933264")), request);
    grid->addWidget(modes_[0], 0, 0);
    grid->addWidget(inputs_[0], 0, 1);
    grid->addWidget(modes_[1], 1, 0);
    grid->addWidget(inputs_[1], 1, 1);
    grid->addWidget(modes_[2], 2, 0);
    grid->addWidget(inputs_[2], 2, 1);
    grid->addWidget(modes_[3], 3, 0, Qt::AlignTop);
    grid->addWidget(tree_, 3, 1);
    grid->addWidget(modes_[4], 4, 0);
    grid->addWidget(inputs_[3], 4, 1);
    grid->addWidget(promoExample_, 5, 1);
    grid->setColumnStretch(1, 1);
    layout->addWidget(request, 1);

    // Right: sort order, filters, the commands.
    auto* side = new QVBoxLayout();
    side->addWidget(new QLabel(QStringLiteral("采集排序方式："), this));
    sort_ = new QComboBox(this);
    for (const char* label : SortLabels()) sort_->addItem(Q(label));
    side->addWidget(sort_);
    auto* filterBox = new QGroupBox(QStringLiteral("筛选"), this);
    auto* filterLayout = new QVBoxLayout(filterBox);
    for (int i = 0; i < kListFilters; ++i) {
        filters_[i] = new QCheckBox(Q(ListFilterCaption(static_cast<ListFilter>(i))), filterBox);
        filterLayout->addWidget(filters_[i]);
    }
    side->addWidget(filterBox);
    start_ = new QPushButton(QStringLiteral("开始采集"), this);
    stop_ = new QPushButton(QStringLiteral("停止采集"), this);
    loginTest_ = new QPushButton(QStringLiteral("检测淘宝网是否登录成功"), this);
    // A preview job builds every item and writes the data files, publishing nothing.
    auto* preview = new QCheckBox(QStringLiteral("只预览，不上传"), this);
    preview->setChecked(ctx_.panel().PreviewOnly());
    connect(preview, &QCheckBox::toggled, this,
            [this](bool on) { ctx_.panel().SetPreviewOnly(on); });
    side->addWidget(preview);
    side->addWidget(start_);
    side->addWidget(stop_);
    side->addWidget(loginTest_);
    side->addStretch(1);
    layout->addLayout(side);

    // Controls write into the model; the model's changes come back through Sync.
    connect(modeGroup_, &QButtonGroup::idClicked, this,
            [this](int id) { OnMode(static_cast<CollectMode>(id)); });
    for (int i = 0; i < kCollectInputs; ++i)
        connect(inputs_[i], &QLineEdit::textChanged, this, [this, i](const QString& text) {
            if (!syncing_)
                ctx_.panel().SetInput(kInputs[i], Gbk(text));
        });
    connect(sort_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!syncing_)
            ctx_.panel().SetSortIndex(index);
    });
    for (int i = 0; i < kListFilters; ++i)
        connect(filters_[i], &QCheckBox::toggled, this, [this, i](bool on) {
            if (!syncing_)
                ctx_.panel().SetFilter(static_cast<ListFilter>(i), on);
        });
    connect(start_, &QPushButton::clicked, this, [this] { OnStart(); });
    connect(stop_, &QPushButton::clicked, this, [this] { PressStop(ctx_); });
    connect(loginTest_, &QPushButton::clicked, this, [this] { OnLoginTest(); });

    auto relay = subs_.relay();
    const int id =
        panel.Subscribe([relay, this](const PanelChange&) { relay->Post([this] { Sync(); }); });
    subs_.Add([&panel, id] { panel.Unsubscribe(id); });
    Sync();
}

CollectionPanelWidget::~CollectionPanelWidget() {
    subs_.Release();
    WaitForTasks();
}

QRadioButton* CollectionPanelWidget::modeButton(CollectMode mode) const {
    const int i = ModeIndex(mode);
    return i < 0 ? nullptr : modes_[static_cast<std::size_t>(i)];
}

QLineEdit* CollectionPanelWidget::input(CollectInput which) const {
    return inputs_[static_cast<std::size_t>(InputIndex(which))];
}

bool CollectionPanelWidget::Busy() const {
    return modeTask_.Busy() || startTask_.Busy() || loginTask_.Busy() || tree_->Expanding();
}

void CollectionPanelWidget::WaitForTasks() {
    modeTask_.Wait();
    startTask_.Wait();
    loginTask_.Wait();
}

void CollectionPanelWidget::PostSync() {
    auto relay = subs_.relay();
    relay->Post([this] { Sync(); });
}

void CollectionPanelWidget::Sync() {
    const CollectionPanel& panel = ctx_.panel();
    syncing_ = true;
    const int mode = ModeIndex(panel.Mode());
    if (mode >= 0 && !modes_[static_cast<std::size_t>(mode)]->isChecked())
        modes_[static_cast<std::size_t>(mode)]->setChecked(true);
    for (auto* b : modes_) b->setEnabled(!modeTask_.Busy());
    for (int i = 0; i < kCollectInputs; ++i) {
        const QString text = Q(panel.Input(kInputs[i]));
        if (inputs_[i]->text() != text)
            inputs_[i]->setText(text);
        inputs_[i]->setEnabled(panel.InputEnabled(kInputs[i]));
    }
    if (sort_->currentIndex() != panel.SortIndex())
        sort_->setCurrentIndex(panel.SortIndex());
    for (int i = 0; i < kListFilters; ++i)
        filters_[i]->setChecked(panel.Filter(static_cast<ListFilter>(i)));
    start_->setEnabled(panel.StartEnabled() && !startTask_.Busy());
    stop_->setEnabled(panel.StopEnabled());
    loginTest_->setEnabled(!loginTask_.Busy());
    syncing_ = false;
}

void CollectionPanelWidget::OnMode(CollectMode mode) {
    auto relay = subs_.relay();
    if (!modeTask_.Run([this, mode] { ChooseMode(ctx_, mode); },
                       [relay, this] { relay->Post([this] { Sync(); }); }))
        return;
    Sync();
}

void CollectionPanelWidget::OnStart() {
    // The start may wait for the stopped job's workers and fetches the first list page.
    auto relay = subs_.relay();
    if (!startTask_.Run([this] { PressStart(ctx_); },
                        [relay, this] { relay->Post([this] { Sync(); }); }))
        return;
    Sync();
}

void CollectionPanelWidget::OnLoginTest() {
    auto relay = subs_.relay();
    if (!loginTask_.Run([this] { TestLogin(ctx_); },
                        [relay, this] { relay->Post([this] { Sync(); }); }))
        return;
    Sync();
}

}  // namespace vt::ui
