#pragma once

#include <QList>
#include <QPointF>

namespace pmv::gui {

// At most the lowest and the highest point of each pixel column of a window [from, from+length)
// drawn `columns` pixels wide: a long window looks the same and the chart draws a fraction of
// its points.
QList<QPointF> Thinned(const QList<QPointF>& points, qreal from, qreal length, int columns);

}  // namespace pmv::gui
