#include "gui/treefilter.h"

#include <QTreeWidget>

#include "core/common/basic.h"

namespace cfg {

int TreeFilter::Apply(const QString& text, quint64 version) {
    QTreeWidgetItem* const before = tree_.currentItem();
    const QStringList words = FoldedForSearch(text).split(u' ', Qt::SkipEmptyParts);
    QTreeWidgetItem* root = tree_.invisibleRootItem();
    tree_.setUpdatesEnabled(false);
    int matches = -1;
    if (words.isEmpty()) {
        if (active_) {
            for (int i = 0; i < root->childCount(); ++i) Restore(root->child(i));
            expanded_.clear();
            active_ = false;
            if (hiddenCurrent_ && !tree_.currentItem()) tree_.setCurrentItem(hiddenCurrent_);
            hiddenCurrent_ = nullptr;
        }
    } else {
        if (!active_) {
            for (QTreeWidgetItemIterator it(&tree_); *it; ++it)
                if ((*it)->isExpanded()) expanded_.insert(*it);
            active_ = true;
        }
        Prepare(version);
        matches = 0;
        std::size_t at = 0;
        for (int i = 0; i < root->childCount(); ++i) Narrow(root->child(i), words, matches, at);
        if (before && before->isHidden()) {
            hiddenCurrent_ = before;
            tree_.setCurrentItem(nullptr);
        }
    }
    tree_.setUpdatesEnabled(true);
    if (QTreeWidgetItem* current = tree_.currentItem(); current && !current->isHidden())
        tree_.scrollToItem(current);
    return matches;
}

void TreeFilter::Prepare(quint64 version) {
    if (version == version_ && !folded_.empty()) return;
    version_ = version;
    folded_.clear();
    // In the order Narrow walks the tree: each node, then its children.
    for (QTreeWidgetItemIterator it(&tree_); *it; ++it)
        folded_.push_back(FoldedForSearch((*it)->text(0)));
}

void TreeFilter::Forget() {
    expanded_.clear();
    folded_.clear();
    active_ = false;
    hiddenCurrent_ = nullptr;
}

bool TreeFilter::Narrow(QTreeWidgetItem* item, const QStringList& words, int& matches,
                        std::size_t& at) {
    const bool holds = at < folded_.size() && HoldsEveryWord(folded_[at], words);
    ++at;
    matches += holds ? 1 : 0;
    bool below = false;
    for (int i = 0; i < item->childCount(); ++i)
        below = Narrow(item->child(i), words, matches, at) || below;
    const bool shown = holds || below;
    // Only what changes is set: a keystroke must not touch 25,000 rows for nothing.
    if (item->isHidden() == shown) item->setHidden(!shown);
    if (below && !item->isExpanded()) item->setExpanded(true);
    return shown;
}

void TreeFilter::Restore(QTreeWidgetItem* item) {
    if (item->isHidden()) item->setHidden(false);
    const bool expanded = expanded_.contains(item);
    if (item->isExpanded() != expanded) item->setExpanded(expanded);
    for (int i = 0; i < item->childCount(); ++i) Restore(item->child(i));
}

}  // namespace cfg
