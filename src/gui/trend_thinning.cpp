#include "trend_thinning.h"

namespace pmv::gui {

QList<QPointF> Thinned(const QList<QPointF>& points, qreal from, qreal length, int columns)
{
    if (columns <= 0 || points.size() <= 2 * columns)
        return points;
    QList<QPointF> out;
    out.reserve(2 * columns);
    int column = -1;
    QPointF low, high;
    const auto flush = [&] {
        if (column < 0)
            return;
        out.append(low.x() <= high.x() ? low : high);
        if (low != high)
            out.append(low.x() <= high.x() ? high : low);
    };
    for (const QPointF& p : points) {
        const int c = static_cast<int>((p.x() - from) * columns / length);
        if (c != column) {
            flush();
            column = c;
            low = high = p;
        } else if (p.y() < low.y()) {
            low = p;
        } else if (p.y() > high.y()) {
            high = p;
        }
    }
    flush();
    return out;
}

}  // namespace pmv::gui
