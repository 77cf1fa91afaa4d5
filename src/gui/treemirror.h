#pragma once

#include <QHash>
#include <QIcon>
#include <QMutex>
#include <QObject>
#include <QString>
#include <vector>

#include "core/model/configmodel.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace cfg {

// Mirrors the model's tree in a tree view. The model may be changed on the worker thread: each
// change is noted with the data the view needs and the notes are applied on the window thread
// in batches, so the view never reads the model and never searches or rebuilds the tree.
class TreeMirror : public QObject, public ModelObserver {
  public:
    // Role of the node key in the view's items.
    static constexpr int kKeyRole = Qt::UserRole;

    TreeMirror(ConfigModel& model, QTreeWidget& tree, QHash<QString, QIcon> images);
    ~TreeMirror() override;

    void TreeCleared() override;
    void NodeAdded(int node) override;
    void NodeTextChanged(int node) override;
    void NodeExpanded(int node) override;

    // Applies the pending notes now (window thread).
    void Flush();
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

    ConfigModel& model_;
    QTreeWidget& tree_;
    const QHash<QString, QIcon> images_;
    QMutex mutex_;
    std::vector<Note> pending_;
    QHash<QString, QTreeWidgetItem*> items_;
    quint64 version_ = 0;
};

}  // namespace cfg
