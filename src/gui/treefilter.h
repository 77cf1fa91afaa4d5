#pragma once

#include <QSet>
#include <QString>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace cfg {

// Narrows a tree view to the nodes whose text holds every word typed (case and accents
// ignored), with their ancestors, expanded; an empty filter gives the whole tree back as it
// was before filtering, the current node kept in view. A current node the filter hides stops
// being current (nothing hidden may stay highlighted) and is current again when the filter is
// emptied, unless another node was chosen meanwhile. It works on the view alone.
class TreeFilter {
  public:
    explicit TreeFilter(QTreeWidget& tree) : tree_(tree) {}

    // The number of nodes that hold every word; -1 for an empty filter. `version` tells the
    // view's texts apart: the texts as searched are kept until it changes.
    int Apply(const QString& text, quint64 version);
    // Folds every node's text as a search compares it, once per `version` of the view's texts,
    // so that keystrokes only compare; done as the filter box takes the focus.
    void Prepare(quint64 version);
    // The view was rebuilt: what was expanded before filtering no longer applies.
    void Forget();

  private:
    bool Narrow(QTreeWidgetItem* item, const QStringList& words, int& matches, std::size_t& at);
    void Restore(QTreeWidgetItem* item);

    QTreeWidget& tree_;
    bool active_ = false;
    QSet<const QTreeWidgetItem*> expanded_;  // before filtering
    QTreeWidgetItem* hiddenCurrent_ = nullptr;
    std::vector<QString> folded_;  // every node's text as searched, in tree order
    quint64 version_ = 0;
};

}  // namespace cfg
