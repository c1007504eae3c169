#pragma once

#include "display/picture.h"

#include <QTableWidget>

namespace vardex::display {

// The picture editor: one 8 x 8 cell per dot, "0" and black when lit, empty and
// white when dark; a click toggles the cell.
class PictureGrid : public QTableWidget {
    Q_OBJECT
public:
    static constexpr int kCell = 8;

    explicit PictureGrid(QWidget *parent = nullptr);

    const Picture &picture() const { return m_picture; }
    void setPicture(const Picture &picture);
    void clearCells();
    // What a click on the cell does.
    void toggle(int column, int row);

private:
    void showCell(int column, int row);

    Picture m_picture;
};

} // namespace vardex::display
