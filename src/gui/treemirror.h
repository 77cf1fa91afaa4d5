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

// Mirrors the model's tree in a tree view. The model may be changed on the worker thread: each
// change is noted with the data the view needs and the notes are applied on the window thread
// in batches, so the view never reads the model while it changes. A read, held, is not noted
// node by node: the view is made from the model in one go once it is over. The owner of the
// model adds the mirror as its observer, and removes it, where the model is changed.
class TreeMirror : public QObject, public ModelObserver {
  public:
    // Role of the node key in the view's items.
    static constexpr int kKeyRole = Qt::UserRole;

    TreeMirror(const ConfigModel& model, QTreeWidget& tree, QHash<QString, QIcon> images);
    ~TreeMirror() override;

    void TreeCleared() override;
    void NodeAdded(int node) override;
    void NodeTextChanged(int node) override;
    void NodeExpanded(int node) override;

    // Applies the pending notes now (window thread).
    void Flush();
    // Held, a tree cleared and made again is not noted node by node; released (window thread,
    // the model idle again), the view is made from the model at once.
    void Hold();
    void Release();
    QTreeWidgetItem* Find(const QString& key) const { return items_.value(key); }
    // Grows whenever notes are applied: the view's nodes or texts may differ since.
    quint64 Version() const { return version_; }

  private:
    struct Note {
        enum Kind { Clear, Add, Text, Expand } kind;
        QString key;
        QString parent;
        QString text;
        QString image;
    };
    void Post(Note note);
    // Notes are not kept: the tree is made anew while held.
    bool Remaking() const { return held_ && remake_; }
    void Remake();

    const ConfigModel& model_;
    QTreeWidget& tree_;
    const QHash<QString, QIcon> images_;
    QMutex mutex_;
    std::vector<Note> pending_;
    QHash<QString, QTreeWidgetItem*> items_;
    quint64 version_ = 0;
    std::atomic<bool> held_ = false, remake_ = false;
};

}  // namespace cfg
