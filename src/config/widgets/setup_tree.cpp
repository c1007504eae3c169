#include "config/widgets/setup_tree.h"

#include "config/tree_nodes.h"
#include "config/widgets/icon_set.h"

#include <QHeaderView>

namespace vardex::config {

SetupTree::SetupTree(QWidget *parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("SetupTreeView"));
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(35);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(kIconSize, kIconSize));
    setMouseTracking(true); // hot-tracking
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    QTreeWidgetItem *parents[3] = {nullptr, nullptr, nullptr};
    for (const TreeNode &entry : treeNodes()) {
        QTreeWidgetItem *item = entry.level == 0 ? new QTreeWidgetItem(this)
                                                 : new QTreeWidgetItem(parents[entry.level - 1]);
        item->setText(0, QString::fromUtf8(entry.text));
        item->setIcon(0, nodeIcon(entry.image, entry.selectedImage));
        item->setData(0, Qt::UserRole, static_cast<int>(m_nodes.size()));
        parents[entry.level] = item;
        m_nodes.push_back(item);
        m_cut.push_back(false);
    }
    expandAll();

    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current, QTreeWidgetItem *) {
                const int index = indexOf(current);
                if (index >= 0)
                    emit nodeSelected(index);
            });
}

QTreeWidgetItem *SetupTree::node(int index) const
{
    return index >= 0 && index < static_cast<int>(m_nodes.size()) ? m_nodes[index] : nullptr;
}

int SetupTree::indexOf(const QTreeWidgetItem *item) const
{
    return item ? item->data(0, Qt::UserRole).toInt() : -1;
}

void SetupTree::selectNode(int index)
{
    if (QTreeWidgetItem *item = node(index))
        setCurrentItem(item);
}

void SetupTree::setOutputNodeLook(int index, bool enabled)
{
    QTreeWidgetItem *item = node(index);
    if (!item)
        return;
    const TreeNode &entry = treeNodes()[static_cast<std::size_t>(index)];
    m_cut[static_cast<std::size_t>(index)] = !enabled;
    QFont font = item->font(0);
    font.setBold(false);
    item->setFont(0, font);
    if (enabled) {
        item->setData(0, Qt::ForegroundRole, QVariant());
        item->setIcon(0, nodeIcon(entry.image, entry.selectedImage));
    } else {
        item->setForeground(0, palette().color(QPalette::Disabled, QPalette::Text));
        item->setIcon(0, cutIcon(entry.image));
    }
}

void SetupTree::drawBranches(QPainter *, const QRect &, const QModelIndex &) const
{
    // No expand buttons: the tree is always fully open.
}

bool SetupTree::isNodeCut(int index) const
{
    return index >= 0 && index < static_cast<int>(m_cut.size()) && m_cut[index];
}

} // namespace vardex::config
