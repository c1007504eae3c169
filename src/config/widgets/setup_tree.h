#pragma once

#include <QTreeWidget>

#include <vector>

namespace vardex::config {

// The navigation tree of the configuration tab: 36 nodes addressed by their
// absolute index (see tree_nodes.h). Read-only, hot-tracking, no expand buttons.
class SetupTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit SetupTree(QWidget *parent = nullptr);

    QTreeWidgetItem *node(int index) const;
    int indexOf(const QTreeWidgetItem *item) const;
    void selectNode(int index);

    // Normal look for an enabled output, greyed ("cut") otherwise; never bold.
    void setOutputNodeLook(int index, bool enabled);
    bool isNodeCut(int index) const;

protected:
    void drawBranches(QPainter *painter, const QRect &rect,
                      const QModelIndex &index) const override;

signals:
    void nodeSelected(int index);

private:
    std::vector<QTreeWidgetItem *> m_nodes;
    std::vector<bool> m_cut;
};

} // namespace vardex::config
