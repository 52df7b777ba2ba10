#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace registrator::ui {

// The top-left corner for a window frame of `frame` size meant to stand at `designed` within a
// screen's `available` area: as designed where it fits, else moved just enough to fit; a frame
// larger than the area keeps its left and top edges on it.
QPoint PlacedWithin(QPoint designed, QSize frame, const QRect& available);

// Puts the window's frame at `designed`, moved just enough to lie within the available area of the
// screen there, frame included once the window is shown; every later showing fits it again. The
// window's size must be set before.
void MoveToDesignPosition(QWidget& window, QPoint designed);

} // namespace registrator::ui
