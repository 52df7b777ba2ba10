#pragma once

#include <QTableView>

class QAbstractItemModel;

namespace registrator::ui {

// A table in the look of the design's string grids: no headers, 14-pixel rows, fixed columns of
// `columnWidth`, bold 11-pixel type, always a vertical scroll bar, read-only.
QTableView* MakeStringGrid(QAbstractItemModel* model, int columnWidth, QWidget* parent = nullptr);

} // namespace registrator::ui
