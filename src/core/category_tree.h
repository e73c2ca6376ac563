// The bookstore's category tree as the collection panel shows it: nodes with check
// boxes, each carrying its VTCateInfo. Checked nodes become a category job's entries.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "base/observers.h"
#include "core/book_types.h"

namespace vt {

struct TreeChange {
    enum Kind { Cleared, NodeAdded, NodeChanged, EnabledChanged };
    Kind kind;
    int node = -1;
    int parent = -1;  // NodeAdded: -1 for a root
};

class CategoryTree {
public:
    static constexpr int kNoNode = -1;

    void Clear();
    int AddRoot(VTCateInfo info) { return Add(kNoNode, std::move(info)); }
    int AddChild(int parent, VTCateInfo info) { return Add(parent, std::move(info)); }

    std::vector<int> Roots() const;
    std::vector<int> Children(int node) const;
    int Parent(int node) const;
    int Count() const;
    VTCateInfo Info(int node) const;
    void SetChildrenLoaded(int node);
    bool Checked(int node) const;
    void SetChecked(int node, bool checked);
    // The node whose text is the given one (first in tree order), or kNoNode.
    int FindByText(const std::string& text) const;

    bool Enabled() const;
    void SetEnabled(bool enabled);

    int Subscribe(Observers<TreeChange>::Callback cb) {
        return observers_.Subscribe(std::move(cb));
    }
    void Unsubscribe(int id) { observers_.Unsubscribe(id); }

private:
    struct Node {
        VTCateInfo info;
        int parent = kNoNode;
        std::vector<int> children;
        bool checked = false;
    };
    int Add(int parent, VTCateInfo info);
    bool Valid(int node) const { return node >= 0 && node < static_cast<int>(nodes_.size()); }

    mutable std::mutex mutex_;
    std::vector<Node> nodes_;
    std::vector<int> roots_;
    bool enabled_ = true;
    Observers<TreeChange> observers_;
};

// The entries of a category job: each checked top-level node with its own text, then
// its checked descendants depth first, each with its parent's text.
std::vector<UrlAndFenlei> CollectCheckedCategories(const CategoryTree& tree);

}  // namespace vt
