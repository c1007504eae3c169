#include "display/widgets/picture_grid.h"

#include <QHeaderView>

namespace vardex::display {

PictureGrid::PictureGrid(QWidget *parent) : QTableWidget(parent)
{
    setObjectName(QStringLiteral("GraphStringGrid"));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(kCell);
    verticalHeader()->setDefaultSectionSize(kCell);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    // The selection is allowed but must not hide a cell's colour.
    setStyleSheet(QStringLiteral("QTableWidget { gridline-color: #a0a0a0; }"
                                 "QTableWidget::item:selected { background: transparent; }"));
    const int side = kPictureSide * kCell + 2 * frameWidth() + 1;
    setFixedSize(side, side);
    connect(this, &QTableWidget::cellClicked, this,
            [this](int row, int column) { toggle(column, row); });
    setPicture(Picture());
}

void PictureGrid::setPicture(const Picture &picture)
{
    m_picture = picture;
    setColumnCount(picture.columns());
    setRowCount(picture.rows());
    for (int c = 0; c < picture.columns(); ++c) {
        for (int r = 0; r < picture.rows(); ++r)
            showCell(c, r);
    }
}

void PictureGrid::clearCells()
{
    m_picture.clear();
    setPicture(m_picture);
}

void PictureGrid::toggle(int column, int row)
{
    m_picture.toggle(column, row);
    showCell(column, row);
}

void PictureGrid::showCell(int column, int row)
{
    QTableWidgetItem *it = item(row, column);
    if (!it) {
        it = new QTableWidgetItem;
        setItem(row, column, it);
    }
    const bool lit = m_picture.lit(column, row);
    it->setText(lit ? QStringLiteral("0") : QString());
    it->setBackground(lit ? Qt::black : Qt::white);
    it->setForeground(lit ? Qt::black : Qt::white);
}

} // namespace vardex::display
