#include "gui/treemirror.h"

#include <QMutexLocker>
#include <QTreeWidget>

namespace cfg {

namespace {
// The view keeps texts of its own. Sharing the model's, the window thread and the worker
// counted references on the same memory, and the worker, clearing the model at the next read,
// took a quarter longer over it.
QString Own(const QString& text) {
    return QString(text.constData(), text.size());
}

// Only what differs is set: an item filled again mostly shows what it showed.
void ShowText(QTreeWidgetItem& item, const QString& text) {
    if (item.text(0) != text) item.setText(0, Own(text));
}

std::size_t At(int node) {
    return static_cast<std::size_t>(node);
}
}  // namespace

int TreeMirror::NodeOf(const QTreeWidgetItem* item) {
    const QVariant node = item ? item->data(0, kNodeRole) : QVariant();
    return node.isValid() ? node.toInt() : -1;
}

TreeMirror::TreeMirror(const ConfigModel& model, QTreeWidget& tree, QHash<QString, QIcon> images)
    : model_(model), tree_(tree), images_(std::move(images)) {}

TreeMirror::~TreeMirror() {
    DropSpare();
}

void TreeMirror::TreeCleared() {
    const bool held = held_;
    if (held) remake_ = true;
    Post({Note::Clear, -1, -1, {}, {}, held});
}

void TreeMirror::NodeAdded(int node) {
    if (Remaking()) return;
    const TreeNode& n = model_.Node(node);
    Post({Note::Add, node, n.parent, n.text, n.image, false});
}

void TreeMirror::NodeTextChanged(int node) {
    if (Remaking()) return;
    Post({Note::Text, node, -1, model_.Node(node).text, {}, false});
}

void TreeMirror::NodeExpanded(int node) {
    if (Remaking()) return;
    Post({Note::Expand, node, -1, {}, {}, false});
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

QTreeWidgetItem* TreeMirror::Item(int node) const {
    return node >= 0 && At(node) < items_.size() ? items_[At(node)] : nullptr;
}

QTreeWidgetItem* TreeMirror::NewItem(int node) const {
    auto* item = new QTreeWidgetItem;
    item->setData(0, kNodeRole, node);
    return item;
}

void TreeMirror::Show(QTreeWidgetItem& item, const QString& text, const QString& image) const {
    ShowText(item, text);
    const QIcon icon = images_.value(image);
    if (item.icon(0).cacheKey() != icon.cacheKey()) item.setIcon(0, icon);
}

void TreeMirror::DropSpare() {
    // Deleting an item deletes what hangs from it: only the tops go.
    std::vector<QTreeWidgetItem*> tops;
    for (QTreeWidgetItem* item : spare_)
        if (item && !item->parent()) tops.push_back(item);
    qDeleteAll(tops);
    spare_.clear();
}

std::size_t TreeMirror::TakeUp(const std::vector<TreeNode>& nodes) {
    // Every item of the view is in `spare_`, each after its parent: nodes hanging from the same
    // parents as the items of their index are the same tree so far.
    std::size_t kept = 0;
    for (; kept < nodes.size() && kept < spare_.size(); ++kept) {
        const int parent = nodes[kept].parent;
        if (!spare_[kept] || spare_[kept]->parent() != (parent < 0 ? nullptr : spare_[At(parent)]))
            break;
    }
    // What is not kept goes: the tops among it, and what hangs from a kept item, last children
    // first (a kept item's children come before the rest).
    std::vector<QTreeWidgetItem*> gone;
    for (std::size_t n = kept; n < spare_.size(); ++n)
        if (spare_[n] && !spare_[n]->parent()) gone.push_back(spare_[n]);
    for (std::size_t n = 0; n < kept; ++n)
        for (QTreeWidgetItem* item = spare_[n];
             item->childCount() > 0 && At(NodeOf(item->child(item->childCount() - 1))) >= kept;)
            gone.push_back(item->takeChild(item->childCount() - 1));
    qDeleteAll(gone);
    spare_.resize(kept);
    return kept;
}

void TreeMirror::Remake() {
    ++version_;
    tree_.setUpdatesEnabled(false);
    tree_.clear();
    const std::vector<TreeNode>& nodes = model_.Nodes();
    // A network read again mostly keeps its shape (a read cancelled, the shape so far): its
    // items are filled again where they hang, a fraction of what making 25,000 new ones costs.
    const std::size_t kept = TakeUp(nodes);
    items_ = std::exchange(spare_, {});
    items_.resize(nodes.size(), nullptr);
    // Put together away from the view, which then takes it at once: a node's parent comes
    // before it in the model.
    QList<QTreeWidgetItem*> roots;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const TreeNode& node = nodes[n];
        if (n >= kept) {
            items_[n] = NewItem(static_cast<int>(n));
            if (node.parent >= 0) items_[At(node.parent)]->addChild(items_[n]);
        }
        Show(*items_[n], node.text, node.image);
        if (node.parent < 0) roots.append(items_[n]);
    }
    tree_.addTopLevelItems(roots);
    for (std::size_t n = 0; n < nodes.size(); ++n)
        if (nodes[n].expanded) items_[n]->setExpanded(true);
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
                DropSpare();
                if (note.held) {
                    // Out of the view whole, to be filled again.
                    for (int i = tree_.topLevelItemCount(); i-- > 0;) tree_.takeTopLevelItem(i);
                    spare_ = std::move(items_);
                } else {
                    tree_.clear();
                }
                items_.clear();
                break;
            case Note::Add: {
                QTreeWidgetItem* parent =
                    note.parent < 0 ? tree_.invisibleRootItem() : Item(note.parent);
                if (!parent || note.node < 0) break;
                QTreeWidgetItem* item = NewItem(note.node);
                Show(*item, note.text, note.image);
                parent->addChild(item);
                if (items_.size() <= At(note.node)) items_.resize(At(note.node) + 1, nullptr);
                items_[At(note.node)] = item;
                break;
            }
            case Note::Text:
                if (QTreeWidgetItem* item = Item(note.node)) ShowText(*item, note.text);
                break;
            case Note::Expand:
                if (QTreeWidgetItem* item = Item(note.node)) item->setExpanded(true);
                break;
        }
    }
    tree_.setUpdatesEnabled(true);
}

}  // namespace cfg
