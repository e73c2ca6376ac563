// The two work lists of the results panel, the queues between the stages: crawlers
// append to-collect rows, the detail thread reads them and appends collected rows, the
// publishing threads read those. Every single access is one atomic step; sequences are not.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/observers.h"
#include "core/book_types.h"

namespace vt {

struct ListChange {
    enum Kind { RowAppended, CellChanged, CheckChanged, AllCheckChanged, Cleared };
    Kind kind;
    int row = -1;      // RowAppended, CellChanged, CheckChanged
    int column = -1;   // CellChanged
    std::string text;  // CellChanged: the new text
    bool checked = false;
};

// A row as a worker took it: its index and the list's generation (the number of clears
// before it) at that moment. Rows are only ever appended or all cleared, so the pair names
// one row for good: once the list was cleared, a write for the row is dropped even when a
// later row has the same index. An index alone (any generation) names whatever row has
// that index now; the tests and the one-shot commands address rows that way.
struct RowRef {
    static constexpr std::uint64_t kAnyGeneration = ~std::uint64_t{0};
    RowRef() = default;
    RowRef(int rowIndex) : index(rowIndex) {}  // NOLINT(google-explicit-constructor)
    RowRef(int rowIndex, std::uint64_t listGeneration)
        : index(rowIndex), generation(listGeneration) {}
    int index = -1;
    std::uint64_t generation = kAnyGeneration;
};

template <int N>
class WorkList {
public:
    using Row = std::array<std::string, N>;
    static constexpr int kColumns = N;

    // One row as a view shows it.
    struct RowState {
        Row cells;
        bool checked = false;
    };
    // What changed since a view's last look (see ChangesSince).
    struct Changes {
        std::uint64_t generation = 0;  // the list's generation now
        std::uint64_t stamp = 0;       // the list's change stamp now: pass it back next time
        bool reset = false;            // the list was cleared since: drop every row first
        int count = 0;                 // rows in the list now
        std::vector<std::pair<int, RowState>> rows;  // rows added or changed, by index
    };

    // Appends a row (unchecked) and returns its index.
    int Append(Row row) {
        return AppendEntry(Entry{std::move(row), false, nullptr, nullptr, {}, 0});
    }

    int Count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(rows_.size());
    }

    // The number of clears so far.
    std::uint64_t Generation() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return generation_;
    }

    // The row at that index as a reference that outlives no clear; index -1 when there is
    // no such row.
    RowRef Ref(int row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return RowRef(row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1, generation_);
    }

    // True while the list still holds that row.
    bool Holds(RowRef row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return Valid(row, 0);
    }

    // The cell's text; empty for a row or column that does not exist (any more).
    std::string Cell(RowRef row, int column) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Valid(row, column))
            return {};
        return rows_[row.index].cells[column];
    }

    Row RowAt(RowRef row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Valid(row, 0))
            return Row{};
        return rows_[row.index].cells;
    }

    // False when the row or column does not exist (the list was cleared meanwhile).
    bool SetCell(RowRef row, int column, std::string text) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!Valid(row, column))
                return false;
            Entry& e = rows_[row.index];
            e.cells[column] = text;
            e.stamp = ++stamp_;
        }
        observers_.Notify({ListChange::CellChanged, row.index, column, std::move(text), false});
        return true;
    }

    bool Checked(RowRef row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return Valid(row, 0) && rows_[row.index].checked;
    }

    void SetChecked(RowRef row, bool checked) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!Valid(row, 0))
                return;
            Entry& e = rows_[row.index];
            e.checked = checked;
            e.stamp = ++stamp_;
        }
        observers_.Notify({ListChange::CheckChanged, row.index, -1, {}, checked});
    }

    void SetAllChecked(bool checked) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const std::uint64_t stamp = ++stamp_;
            for (auto& e : rows_) {
                e.checked = checked;
                e.stamp = stamp;
            }
        }
        observers_.Notify({ListChange::AllCheckChanged, -1, -1, {}, checked});
    }

    // Indexes of the checked rows, in row order.
    std::vector<int> CheckedRows() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<int> out;
        for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
            if (rows_[i].checked)
                out.push_back(i);
        return out;
    }

    void Clear() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            rows_.clear();
            ++generation_;
            ++stamp_;
        }
        observers_.Notify({ListChange::Cleared, -1, -1, {}, false});
    }

    // What a view that last saw (generation, stamp) must change to show the list as it is
    // now, in one locked step: every row when the list was cleared since (or the view saw
    // nothing yet: generation 0), else the rows appended or changed since. A view that
    // applies this on every change notice, instead of replaying the notices one by one,
    // ends up equal to the list however the notices of several threads interleave.
    Changes ChangesSince(std::uint64_t generation, std::uint64_t stamp) const {
        std::lock_guard<std::mutex> lock(mutex_);
        Changes out;
        out.generation = generation_;
        out.stamp = stamp_;
        out.count = static_cast<int>(rows_.size());
        out.reset = generation != generation_;
        for (int i = 0; i < out.count; ++i) {
            const Entry& e = rows_[i];
            if (out.reset || e.stamp > stamp)
                out.rows.emplace_back(i, RowState{e.cells, e.checked});
        }
        return out;
    }

    int Subscribe(typename Observers<ListChange>::Callback cb) {
        return observers_.Subscribe(std::move(cb));
    }
    void Unsubscribe(int id) { observers_.Unsubscribe(id); }

protected:
    struct Entry {
        Row cells;
        bool checked = false;
        std::shared_ptr<O_BookInfo> record;
        // The record once its book was handled: the data files still list the book.
        std::shared_ptr<const O_BookInfo> handled;
        std::string itemCategory;  // the marketplace category its item was built with
        std::uint64_t stamp = 0;   // the list's stamp at the row's last change
    };

    int AppendEntry(Entry entry) {
        int index;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            index = static_cast<int>(rows_.size());
            entry.stamp = ++stamp_;
            rows_.push_back(std::move(entry));
        }
        observers_.Notify({ListChange::RowAppended, index, -1, {}, false});
        return index;
    }

    // Callers hold mutex_.
    bool Valid(RowRef row, int column) const {
        return row.index >= 0 && row.index < static_cast<int>(rows_.size()) && column >= 0 &&
               column < N &&
               (row.generation == RowRef::kAnyGeneration || row.generation == generation_);
    }

    mutable std::mutex mutex_;
    std::vector<Entry> rows_;
    std::uint64_t generation_ = 1;
    std::uint64_t stamp_ = 0;
    Observers<ListChange> observers_;
};

// The to-collect list: one row per book found (or code imported).
class ToCollectList : public WorkList<kToCollectColumns> {};

// The collected list: each row owns the finished book record attached to it.
class CollectedList : public WorkList<kCollectedColumns> {
public:
    // Appends a row with its record attached and returns the row index.
    int AppendWithRecord(Row row, std::unique_ptr<O_BookInfo> record) {
        return AppendEntry(Entry{
            std::move(row), false, std::shared_ptr<O_BookInfo>(std::move(record)), nullptr, {}, 0});
    }

    // The record attached to a row (shared, so that clearing the list while a publishing
    // thread works on it never frees it under that thread); null when there is none.
    std::shared_ptr<O_BookInfo> Record(RowRef row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Valid(row, 0))
            return nullptr;
        return rows_[row.index].record;
    }

    // Detaches the record once its book has been handled: the row then refers to no
    // record, so no later pass handles the book again. Only when the row still holds
    // that record (the list may have been emptied and refilled meanwhile).
    void ReleaseRecord(RowRef row, const O_BookInfo* record) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Valid(row, 0) || rows_[row.index].record.get() != record)
            return;
        if (keepHandled_)
            rows_[row.index].handled = std::move(rows_[row.index].record);
        else
            rows_[row.index].record.reset();
    }

    // Whether a handled book's record stays for the data files (the default). A run that
    // will write none lets it go, so its memory stays flat however many books it handles.
    void SetKeepHandledRecords(bool keep) {
        std::lock_guard<std::mutex> lock(mutex_);
        keepHandled_ = keep;
    }

    // The row's book whether or not it has been handled yet; null when the row has none.
    std::shared_ptr<const O_BookInfo> Book(RowRef row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Valid(row, 0))
            return nullptr;
        const Entry& e = rows_[row.index];
        return e.record ? std::shared_ptr<const O_BookInfo>(e.record) : e.handled;
    }

    void SetItemCategory(RowRef row, std::string category) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (Valid(row, 0))
            rows_[row.index].itemCategory = std::move(category);
    }
    std::string ItemCategory(RowRef row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Valid(row, 0))
            return {};
        return rows_[row.index].itemCategory;
    }

private:
    bool keepHandled_ = true;  // guarded by mutex_
};

}  // namespace vt
