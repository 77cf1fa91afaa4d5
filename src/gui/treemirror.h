#pragma once

#include <QHash>
#include <QIcon>
#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>
#include <vector>

#include "core/model/configmodel.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace cfg {

// Mirrors the model's tree in a tree view, an item per node index. The model may be changed on
// the worker thread: each change is noted with the data the view needs and the notes are
// applied on the window thread in batches, so the view never reads the model while it changes.
// A read, held, is not noted node by node: the view is emptied as it starts and made from the
// model in one go once it is over. The owner of the model adds the mirror as its observer, and
// removes it, where the model is changed.
class TreeMirror : public QObject, public ModelObserver {
  public:
    // Role of the node index in the view's items.
    static constexpr int kNodeRole = Qt::UserRole;
    // The node index of a view's item; -1 for none.
    static int NodeOf(const QTreeWidgetItem* item);

    TreeMirror(const ConfigModel& model, QTreeWidget& tree, QHash<QString, QIcon> images);
    ~TreeMirror() override;

    void TreeCleared() override;
    void NodeAdded(int node) override;
    void NodeTextChanged(int node) override;
    void NodeExpanded(int node) override;

    // Applies the pending notes now (window thread).
    void Flush();
    // Held, a tree cleared and made again is not noted node by node; released (window thread,
    // the model idle again), the view is made from the model at once. The part of the tree of
    // the shape the view had (a network read again) is shown on the items it had, as they were
    // left: the owner leaves none of them hidden or coloured.
    void Hold();
    void Release();
    // The view's item of node `node` once the notes are applied; none for -1.
    QTreeWidgetItem* Item(int node) const;
    // Grows whenever notes are applied: the view's nodes or texts may differ since.
    quint64 Version() const { return version_; }

  private:
    struct Note {
        // Clear: the view emptied; when `held`, its items are kept for the tree made again.
        enum Kind { Clear, Add, Text, Expand } kind;
        int node = -1;
        int parent = -1;
        QString text;
        QString image;
        bool held = false;
    };
    void Post(Note note);
    // Notes are not kept: the tree is made anew while held.
    bool Remaking() const { return held_ && remake_; }
    void Remake();
    // Keeps the items of `spare_` that hang together as `nodes` do, from the first on, and drops
    // the rest: how many are kept.
    std::size_t TakeUp(const std::vector<TreeNode>& nodes);
    QTreeWidgetItem* NewItem(int node) const;
    void Show(QTreeWidgetItem& item, const QString& text, const QString& image) const;
    void DropSpare();

    const ConfigModel& model_;
    QTreeWidget& tree_;
    const QHash<QString, QIcon> images_;
    QMutex mutex_;
    std::vector<Note> pending_;
    std::vector<QTreeWidgetItem*> items_;  // by node index
    std::vector<QTreeWidgetItem*> spare_;  // out of the view, by the node index they had
    quint64 version_ = 0;
    std::atomic<bool> held_ = false, remake_ = false;
};

}  // namespace cfg
