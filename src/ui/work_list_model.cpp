#include "ui/work_list_model.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>

namespace vt::ui {

WorkListModel::WorkListModel(std::vector<ListColumn> columns, bool checkable, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)), checkable_(checkable) {}

int WorkListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int WorkListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant WorkListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size()))
        return {};
    const RowData& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return index.column() < row.cells.size() ? row.cells[index.column()] : QString();
    if (role == Qt::CheckStateRole && checkable_ && index.column() == 0)
        return row.checked ? Qt::Checked : Qt::Unchecked;
    return {};
}

QVariant WorkListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < static_cast<int>(columns_.size()))
        return QString::fromUtf8(columns_[static_cast<std::size_t>(section)].caption);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags WorkListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (checkable_ && index.isValid() && index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool WorkListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !checkable_ || !index.isValid() || index.column() != 0 ||
        index.row() >= static_cast<int>(rows_.size()))
        return false;
    if (onCheck_)
        onCheck_(RowRef(index.row(), generation_), value.toInt() == static_cast<int>(Qt::Checked));
    return true;
}

void WorkListModel::ApplyRows(bool reset, int count, std::vector<std::pair<int, RowData>> rows) {
    const int columns = static_cast<int>(columns_.size());
    if (reset) {
        beginResetModel();
        rows_.assign(static_cast<std::size_t>(count), RowData{});
        for (auto& [index, data] : rows) rows_[static_cast<std::size_t>(index)] = std::move(data);
        endResetModel();
        return;
    }
    const int before = static_cast<int>(rows_.size());
    // Rows are only appended between two clears: the list never holds fewer rows here.
    if (count > before) {
        beginInsertRows(QModelIndex(), before, count - 1);
        rows_.resize(static_cast<std::size_t>(count));
        for (auto& [index, data] : rows)
            if (index >= before)
                rows_[static_cast<std::size_t>(index)] = data;
        endInsertRows();
    }
    int first = before, last = -1;
    for (auto& [index, data] : rows) {
        if (index >= before)
            continue;
        rows_[static_cast<std::size_t>(index)] = std::move(data);
        first = std::min(first, index);
        last = std::max(last, index);
    }
    if (last >= first)
        emit dataChanged(this->index(first, 0), this->index(last, columns - 1));
}

void WorkListModel::SetUpView(QTableView* view) const {
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(true);
    view->setWordWrap(false);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->verticalHeader()->setVisible(false);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
    // The last column (the status) takes the room the window has to spare.
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setHighlightSections(false);
    const QFontMetrics header(view->horizontalHeader()->font());
    for (int i = 0; i < static_cast<int>(columns_.size()); ++i) {
        const ListColumn& c = columns_[static_cast<std::size_t>(i)];
        if (c.width == 0) {
            view->setColumnHidden(i, true);
            continue;
        }
        // The widths of the original dialog are the start; a caption is never cut.
        const int caption = header.horizontalAdvance(QString::fromUtf8(c.caption)) + 20;
        view->setColumnWidth(i, std::max(c.width, caption));
    }
}

}  // namespace vt::ui
