#include "ui/category_tree_widget.h"

#include <QHeaderView>

#include "app/panel_actions.h"
#include "core/context.h"
#include "ui/qt_text.h"

namespace vt::ui {

constexpr int kNodeRole = Qt::UserRole + 1;

CategoryTreeWidget::CategoryTreeWidget(AppContext& ctx, QWidget* parent)
    : QTreeWidget(parent), ctx_(ctx) {
    setHeaderHidden(true);
    setColumnCount(1);
    // Double-click opens the sub-categories; Qt's own expand-on-double-click would fight it.
    setExpandsOnDoubleClick(false);
    CategoryTree& tree = ctx_.panel().tree();
    auto relay = subs_.relay();
    const int id = tree.Subscribe([relay, this](const TreeChange& change) {
        relay->Post([this, change] {
            switch (change.kind) {
                case TreeChange::Cleared:
                    Rebuild();
                    break;
                case TreeChange::NodeAdded:
                    AddNode(change.node);
                    break;
                case TreeChange::NodeChanged:
                    if (QTreeWidgetItem* item = ItemOf(change.node)) {
                        syncing_ = true;
                        item->setCheckState(0, ctx_.panel().tree().Checked(change.node)
                                                   ? Qt::Checked
                                                   : Qt::Unchecked);
                        syncing_ = false;
                    }
                    break;
                case TreeChange::EnabledChanged:
                    setEnabled(ctx_.panel().tree().Enabled() && !expand_.Busy());
                    break;
            }
        });
    });
    subs_.Add([&tree, id] { tree.Unsubscribe(id); });
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
        if (syncing_)
            return;
        ctx_.panel().tree().SetChecked(item->data(0, kNodeRole).toInt(),
                                       item->checkState(0) == Qt::Checked);
    });
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { OnDoubleClick(item); });
    Rebuild();
}

CategoryTreeWidget::~CategoryTreeWidget() {
    subs_.Release();
    expand_.Wait();
}

QTreeWidgetItem* CategoryTreeWidget::ItemOf(int node) const {
    if (node < 0 || node >= static_cast<int>(items_.size()))
        return nullptr;
    return items_[static_cast<std::size_t>(node)];
}

void CategoryTreeWidget::Rebuild() {
    syncing_ = true;
    clear();
    items_.clear();
    syncing_ = false;
    const int count = ctx_.panel().tree().Count();
    for (int node = 0; node < count; ++node) AddNode(node);
    setEnabled(ctx_.panel().tree().Enabled() && !expand_.Busy());
}

void CategoryTreeWidget::AddNode(int node) {
    const CategoryTree& tree = ctx_.panel().tree();
    // Nodes arrive in id order; one already shown, or one of a tree emptied since, is skipped.
    if (node != static_cast<int>(items_.size()) || node >= tree.Count())
        return;
    const int parent = tree.Parent(node);
    QTreeWidgetItem* parentItem = ItemOf(parent);
    if (parent != CategoryTree::kNoNode && !parentItem)
        return;
    syncing_ = true;
    auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
    item->setText(0, Q(tree.Info(node).Text));
    item->setData(0, kNodeRole, node);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, tree.Checked(node) ? Qt::Checked : Qt::Unchecked);
    syncing_ = false;
    items_.push_back(item);
    if (parentItem)
        parentItem->setExpanded(true);
}

void CategoryTreeWidget::OnDoubleClick(QTreeWidgetItem* item) {
    const int node = item->data(0, kNodeRole).toInt();
    setEnabled(false);
    auto relay = subs_.relay();
    expand_.Run(
        [this, node] { OpenCategoryNode(ctx_, node); },
        [relay, this] { relay->Post([this] { setEnabled(ctx_.panel().tree().Enabled()); }); });
}

}  // namespace vt::ui
