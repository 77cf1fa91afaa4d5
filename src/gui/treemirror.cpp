#include "gui/treemirror.h"

#include <QMutexLocker>
#include <QTreeWidget>

namespace cfg {

TreeMirror::TreeMirror(const ConfigModel& model, QTreeWidget& tree, QHash<QString, QIcon> images)
    : model_(model), tree_(tree), images_(std::move(images)) {}

TreeMirror::~TreeMirror() = default;

void TreeMirror::TreeCleared() {
    if (held_) remake_ = true;
    Post({Note::Clear, {}, {}, {}, {}});
}

void TreeMirror::NodeAdded(int node) {
    if (Remaking()) return;
    const TreeNode& n = model_.Node(node);
    const QString parent = n.parent >= 0 ? model_.Node(n.parent).key : QString();
    Post({Note::Add, n.key, parent, n.text, n.image});
}

void TreeMirror::NodeTextChanged(int node) {
    if (Remaking()) return;
    const TreeNode& n = model_.Node(node);
    Post({Note::Text, n.key, {}, n.text, {}});
}

void TreeMirror::NodeExpanded(int node) {
    if (Remaking()) return;
    Post({Note::Expand, model_.Node(node).key, {}, {}, {}});
}

void TreeMirror::Post(Note note) {
    bool first = false;
    {
        QMutexLocker lock(&mutex_);
        first = pending_.empty();
        pending_.push_back(std::move(note));
    }
    // One flush for everything noted until it runs; later notes post the next one.
    if (first) QMetaObject::invokeMethod(this, &TreeMirror::Flush, Qt::QueuedConnection);
}

void TreeMirror::Hold() {
    held_ = true;
    remake_ = false;
}

void TreeMirror::Release() {
    Flush();
    if (remake_) Remake();
    held_ = remake_ = false;
}

void TreeMirror::Remake() {
    ++version_;
    tree_.setUpdatesEnabled(false);
    tree_.clear();
    items_.clear();
    // Put together away from the view, which then takes it at once: a node's parent comes
    // before it in the model.
    const std::vector<TreeNode>& nodes = model_.Nodes();
    std::vector<QTreeWidgetItem*> made(nodes.size());
    QList<QTreeWidgetItem*> roots;
    items_.reserve(static_cast<qsizetype>(nodes.size()));
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const TreeNode& node = nodes[n];
        auto* item = new QTreeWidgetItem(QStringList{node.text});
        item->setIcon(0, images_.value(node.image));
        item->setData(0, kKeyRole, node.key);
        items_.insert(node.key, item);
        made[n] = item;
        if (node.parent < 0)
            roots.append(item);
        else
            made[static_cast<std::size_t>(node.parent)]->addChild(item);
    }
    tree_.addTopLevelItems(roots);
    for (std::size_t n = 0; n < nodes.size(); ++n)
        if (nodes[n].expanded) made[n]->setExpanded(true);
    tree_.setUpdatesEnabled(true);
}

void TreeMirror::Flush() {
    std::vector<Note> notes;
    {
        QMutexLocker lock(&mutex_);
        notes.swap(pending_);
    }
    if (notes.empty()) return;
    ++version_;
    tree_.setUpdatesEnabled(false);
    for (Note& note : notes) {
        switch (note.kind) {
            case Note::Clear:
                items_.clear();
                tree_.clear();
                break;
            case Note::Add: {
                QTreeWidgetItem* parent =
                    note.parent.isEmpty() ? tree_.invisibleRootItem() : items_.value(note.parent);
                if (!parent) break;
                auto* item = new QTreeWidgetItem(parent, QStringList{note.text});
                item->setIcon(0, images_.value(note.image));
                item->setData(0, kKeyRole, note.key);
                items_.insert(note.key, item);
                break;
            }
            case Note::Text:
                if (QTreeWidgetItem* item = items_.value(note.key)) item->setText(0, note.text);
                break;
            case Note::Expand:
                if (QTreeWidgetItem* item = items_.value(note.key)) item->setExpanded(true);
                break;
        }
    }
    tree_.setUpdatesEnabled(true);
}

}  // namespace cfg
