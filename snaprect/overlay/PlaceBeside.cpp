#include "PlaceBeside.h"

#include <QtGlobal>

std::optional<QRect> placeBeside(const QRect &obstacle, const QSize &size, const QRect &bounds)
{
    // Lined up with the obstacle's far edge, pushed back inside the bounds
    // (a box larger than the bounds fits nowhere anyway).
    const int x = qMax(bounds.left(), qMin(obstacle.right(), bounds.right()) + 1 - size.width());
    const int y = qMax(bounds.top(), qMin(obstacle.bottom(), bounds.bottom()) + 1 - size.height());
    const QPoint places[] = {
        {x, obstacle.bottom() + 1},
        {x, obstacle.top() - size.height()},
        {obstacle.right() + 1, y},
        {obstacle.left() - size.width(), y},
    };
    for (const QPoint &place : places) {
        const QRect box(place, size);
        if (bounds.contains(box) && !box.intersects(obstacle))
            return box;
    }
    return std::nullopt;
}
