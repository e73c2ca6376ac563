#include "core/category_tree.h"

namespace vt {

void CategoryTree::Clear() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        nodes_.clear();
        roots_.clear();
    }
    observers_.Notify({TreeChange::Cleared});
}

int CategoryTree::Add(int parent, VTCateInfo info) {
    int id;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (parent != kNoNode && !Valid(parent))
            return kNoNode;
        id = static_cast<int>(nodes_.size());
        nodes_.push_back(Node{std::move(info), parent, {}, false});
        if (parent == kNoNode)
            roots_.push_back(id);
        else
            nodes_[parent].children.push_back(id);
    }
    observers_.Notify({TreeChange::NodeAdded, id, parent});
    return id;
}

std::vector<int> CategoryTree::Roots() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return roots_;
}

std::vector<int> CategoryTree::Children(int node) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return Valid(node) ? nodes_[node].children : std::vector<int>{};
}

int CategoryTree::Parent(int node) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return Valid(node) ? nodes_[node].parent : kNoNode;
}

int CategoryTree::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(nodes_.size());
}

VTCateInfo CategoryTree::Info(int node) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return Valid(node) ? nodes_[node].info : VTCateInfo{};
}

void CategoryTree::SetChildrenLoaded(int node) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Valid(node))
            return;
        nodes_[node].info.ChildrenLoaded = true;
    }
    observers_.Notify({TreeChange::NodeChanged, node});
}

bool CategoryTree::Checked(int node) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return Valid(node) && nodes_[node].checked;
}

void CategoryTree::SetChecked(int node, bool checked) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Valid(node))
            return;
        nodes_[node].checked = checked;
    }
    observers_.Notify({TreeChange::NodeChanged, node});
}

int CategoryTree::FindByText(const std::string& text) const {
    std::lock_guard<std::mutex> lock(mutex_);
    // Tree order: depth first from the roots.
    std::vector<int> stack(roots_.rbegin(), roots_.rend());
    while (!stack.empty()) {
        int n = stack.back();
        stack.pop_back();
        if (nodes_[n].info.Text == text)
            return n;
        const auto& ch = nodes_[n].children;
        stack.insert(stack.end(), ch.rbegin(), ch.rend());
    }
    return kNoNode;
}

bool CategoryTree::Enabled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return enabled_;
}

void CategoryTree::SetEnabled(bool enabled) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        enabled_ = enabled;
    }
    observers_.Notify({TreeChange::EnabledChanged});
}

namespace {

void CollectDescendants(const CategoryTree& tree, int node, std::vector<UrlAndFenlei>& out) {
    const std::string parentText = tree.Info(node).Text;
    for (int child : tree.Children(node)) {
        if (tree.Checked(child))
            out.push_back({tree.Info(child).Url, parentText});
        CollectDescendants(tree, child, out);
    }
}

}  // namespace

std::vector<UrlAndFenlei> CollectCheckedCategories(const CategoryTree& tree) {
    std::vector<UrlAndFenlei> entries;
    for (int root : tree.Roots()) {
        if (tree.Checked(root)) {
            VTCateInfo info = tree.Info(root);
            entries.push_back({info.Url, info.Text});
        }
        CollectDescendants(tree, root, entries);
    }
    return entries;
}

}  // namespace vt
