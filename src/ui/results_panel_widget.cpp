#include "ui/results_panel_widget.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/data_files.h"
#include "core/context.h"
#include "detail/detail_thread.h"
#include "ui/qt_text.h"
#include "ui/work_list_model.h"

namespace vt::ui {
namespace {

// The lists' columns, in order (0: hidden storage). The original dialog's widths are the
// start; a few are wider, so that an eight-digit code, a usual title and a publisher's
// name show whole in this window's font.
std::vector<ListColumn> ToCollectColumns() {
    return {{"标志", 100},     {"编号", 50}, {"书名", 170}, {"定价", 60},
            {"网站价", 60},    {"库存", 0},  {"作者", 100}, {"出版社", 140},
            {"出版日期", 100}, {"类目", 0},  {"页数", 0},   {"处理状态", 150}};
}

std::vector<ListColumn> CollectedColumns() {
    return {{"Id", 50},  {"编号", 90}, {"书名", 170},   {"图片下载状况", 150},
            {"库存", 0}, {"状态", 0},  {"店铺类目", 0}, {"淘宝状态", 300}};
}

}  // namespace

ResultsPanelWidget::ResultsPanelWidget(AppContext& ctx, DesktopServices services, QWidget* parent)
    : QWidget(parent), ctx_(ctx), services_(services), results_(ctx) {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout();
    auto* bottom = new QGridLayout();
    BuildCounters(top, bottom);

    import_ = new QPushButton(QStringLiteral("导入编码"), this);
    top->addWidget(import_, 0, 7);
    auto* dataFiles = new QPushButton(QStringLiteral("生成数据文件"), this);
    top->addWidget(dataFiles, 1, 7);
    layout->addLayout(top);

    toCollectModel_ = new WorkListModel(ToCollectColumns(), true, this);
    toCollectView_ = new QTableView(this);
    toCollectView_->setObjectName(QStringLiteral("toCollect"));
    toCollectView_->setModel(toCollectModel_);
    toCollectModel_->SetUpView(toCollectView_);
    layout->addWidget(toCollectView_, 3);

    collectedModel_ = new WorkListModel(CollectedColumns(), true, this);
    collectedView_ = new QTableView(this);
    collectedView_->setObjectName(QStringLiteral("collected"));
    collectedView_->setModel(collectedModel_);
    collectedModel_->SetUpView(collectedView_);
    layout->addWidget(collectedView_, 2);
    layout->addLayout(bottom);

    // A check box clicked writes into the list, for the row the view showed.
    toCollectModel_->SetCheckHandler(
        [this](RowRef row, bool on) { ctx_.toCollect().SetChecked(row, on); });
    collectedModel_->SetCheckHandler(
        [this](RowRef row, bool on) { ctx_.collected().SetChecked(row, on); });

    BuildMenus();
    connect(toCollectView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QMenu* menu = MenuAt(toCollectView_, pos))
            menu->popup(toCollectView_->viewport()->mapToGlobal(pos));
    });
    connect(collectedView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QMenu* menu = MenuAt(collectedView_, pos))
            menu->popup(collectedView_->viewport()->mapToGlobal(pos));
    });
    connect(import_, &QPushButton::clicked, this, [this] { OnImport(); });
    connect(dataFiles, &QPushButton::clicked, this, [this] { OnDataFiles(); });

    // Worker threads change the lists and boxes; each notice asks for one look on this
    // thread, and one look catches up with every change before it.
    // A callback may still run briefly after its unsubscription: it touches only the
    // relay and the flag it shares, never the widget.
    auto relay = subs_.relay();
    auto listsPending = std::make_shared<std::atomic<bool>>(false);
    auto countersPending = std::make_shared<std::atomic<bool>>(false);
    auto lists = [this, relay, listsPending](const ListChange&) {
        PostOnce(*relay, listsPending, [this] { SyncLists(); });
    };
    ToCollectList& toCollect = ctx_.toCollect();
    CollectedList& collected = ctx_.collected();
    ResultCounters& counters = ctx_.counters();
    const int a = toCollect.Subscribe(lists);
    const int b = collected.Subscribe(lists);
    const int c = counters.Subscribe([this, relay, countersPending](const CounterChange&) {
        PostOnce(*relay, countersPending, [this] { SyncCounters(); });
    });
    subs_.Add([&toCollect, a] { toCollect.Unsubscribe(a); });
    subs_.Add([&collected, b] { collected.Unsubscribe(b); });
    subs_.Add([&counters, c] { counters.Unsubscribe(c); });
    SyncLists();
    SyncCounters();
}

ResultsPanelWidget::~ResultsPanelWidget() {
    subs_.Release();
    WaitForTasks();
}

void ResultsPanelWidget::BuildCounters(QGridLayout* top, QGridLayout* bottom) {
    for (int i = 0; i < kCounterBoxes; ++i) {
        const auto box = static_cast<CounterBox>(i);
        captions_[i] = new QLabel(Q(CounterCaption(box)), this);
        values_[i] = new QLineEdit(this);
        values_[i]->setReadOnly(true);
        values_[i]->setFocusPolicy(Qt::NoFocus);
        values_[i]->setMinimumWidth(box == CounterBox::Collecting ? 220 : 70);
    }
    auto place = [this](QGridLayout* grid, CounterBox box, int column, int stretch) {
        const int i = static_cast<int>(box);
        grid->addWidget(captions_[i], 0, column, Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(values_[i], 0, column + 1);
        grid->setColumnStretch(column + 1, stretch);
    };
    place(top, CounterBox::ToCollect, 0, 1);
    place(top, CounterBox::PendingFiltered, 2, 1);
    place(top, CounterBox::Collecting, 4, 3);
    top->setColumnMinimumWidth(6, 12);
    place(bottom, CounterBox::Collected, 0, 1);
    place(bottom, CounterBox::Published, 2, 1);
    place(bottom, CounterBox::PublishFailed, 4, 1);
    place(bottom, CounterBox::CollectedFiltered, 6, 1);
}

void ResultsPanelWidget::BuildMenus() {
    toCollectMenu_ = new QMenu(this);
    toCollectMenu_->setObjectName(QStringLiteral("weijin"));
    toCollectMenu_->addAction(QStringLiteral("全选"), this, [this] { results_.SelectAll(); });
    toCollectMenu_->addAction(QStringLiteral("取消全选"), this, [this] { results_.SelectNone(); });
    toCollectMenu_->addAction(QStringLiteral("全部清除"), this,
                              [this] { results_.ClearToCollect(); });
    // Filter.db that cannot be opened reports "创建db库失败！" itself.
    toCollectMenu_->addAction(QStringLiteral("将勾选项目加入禁止销售标识库"), this,
                              [this] { results_.AddCheckedToForbiddenMarks(); });
    toCollectMenu_->addAction(QStringLiteral("导出勾选商品标识"), this, [this] { OnExport(); });

    collectedMenu_ = new QMenu(this);
    collectedMenu_->setObjectName(QStringLiteral("已经上传"));
    collectedMenu_->addAction(QStringLiteral("全部清空"), this,
                              [this] { results_.ClearCollected(); });
}

QAction* ResultsPanelWidget::action(const QString& caption) const {
    for (QMenu* menu : {toCollectMenu_, collectedMenu_})
        for (QAction* a : menu->actions())
            if (a->text() == caption)
                return a;
    return nullptr;
}

QMenu* ResultsPanelWidget::MenuAt(QTableView* view, const QPoint& pos) const {
    if (!view->indexAt(pos).isValid())
        return nullptr;
    return view == toCollectView_ ? toCollectMenu_ : collectedMenu_;
}

void ResultsPanelWidget::OnExport() {
    if (!services_.files)
        return;
    const QString file = services_.files->SaveFile(this, QString::fromUtf8(kTextFileFilter));
    if (file.isEmpty())
        return;
    if (!results_.ExportCheckedMarks(Gbk(file)) && services_.messages)
        services_.messages->Show(this, QStringLiteral("无法创建文件：") + file);
}

void ResultsPanelWidget::OnDataFiles() {
    // Local files of a few hundred rows: quick enough for the window's thread.
    const DataFilesOutcome outcome = ExportDataFiles(ctx_);
    QStringList lines;
    if (!outcome.written.empty())
        lines << QStringLiteral("数据文件已生成：");
    for (const std::string& path : outcome.written) lines << Q(path);
    if (!outcome.Ok())
        lines << Q(outcome.error);
    if (services_.messages)
        services_.messages->Show(this, lines.join(QStringLiteral("\n")));
}

void ResultsPanelWidget::OnImport() {
    if (importTask_.Busy())
        return;
    // Refused while a job or an import runs (the message comes from the logic); otherwise
    // the word lists are rebuilt and the list emptied before the chooser opens.
    if (!results_.BeginImport() || !services_.files)
        return;
    const QString file = services_.files->OpenFile(this, QString::fromUtf8(kTextFileFilter));
    if (file.isEmpty())
        return;
    // The import waits for a stopped job's workers: off the window's thread.
    const std::string path = Gbk(file);
    auto relay = subs_.relay();
    importTask_.Run(
        [this, path] {
            AppContext& ctx = ctx_;
            results_.ImportCodes(path, [&ctx] { StartDetailThread(ctx, DetailVariant::FromPage); });
        },
        [relay, this] { relay->Post([this] { import_->setEnabled(true); }); });
    import_->setEnabled(false);
}

void ResultsPanelWidget::PostOnce(UiRelay& relay, const std::shared_ptr<std::atomic<bool>>& pending,
                                  std::function<void()> look) {
    if (pending->exchange(true))
        return;
    relay.Post([pending, look = std::move(look)] {
        // Cleared before the look: a change made during it posts another one.
        *pending = false;
        look();
    });
}

void ResultsPanelWidget::SyncLists() {
    toCollectModel_->Sync(ctx_.toCollect());
    collectedModel_->Sync(ctx_.collected());
}

void ResultsPanelWidget::SyncCounters() {
    const ResultCounters& counters = ctx_.counters();
    for (int i = 0; i < kCounterBoxes; ++i) {
        const QString text = Q(counters.Text(static_cast<CounterBox>(i)));
        if (values_[i]->text() != text) {
            values_[i]->setText(text);
            values_[i]->setCursorPosition(0);  // a long text shows its start
        }
    }
    const std::string label = counters.CollectingLabel();
    captions_[static_cast<int>(CounterBox::Collecting)]->setText(
        Q(label.empty() ? std::string(CounterCaption(CounterBox::Collecting)) : label));
}

}  // namespace vt::ui
