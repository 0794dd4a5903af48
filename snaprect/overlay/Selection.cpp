#include "Selection.h"

#include <QtGlobal>

#include <algorithm>
#include <cstdlib>

namespace {

// -1 when \a v lies within reach of the line \a low, 1 of the line \a high,
// 0 otherwise. Between the lines the reach is at most a third of the space
// between them, which never lets both claim a point.
int nearLine(int v, int low, int high, int reach)
{
    const int inward = std::min(reach, (high - low - 1) / 3);
    if (v <= low)
        return low - v <= reach ? -1 : 0;
    if (v >= high)
        return v - high <= reach ? 1 : 0;
    return v - low <= inward ? -1 : high - v <= inward ? 1 : 0;
}

bool withinReach(int v, int low, int high, int reach)
{
    return low - reach <= v && v <= high + reach;
}

} // namespace

Selection::Selection(const QSize &desktop)
    : m_desktop(desktop)
{
}

void Selection::clear()
{
    m_left = m_top = m_right = m_bottom = -1;
    m_startPos = m_lastPos = QPoint(-1, -1);
    m_state = Selecting;
    m_before = box();
    m_stateBefore = Selecting;
}

bool Selection::press(const QPoint &p, int reach)
{
    m_held = edgesAt(p, reach);
    if (m_held != NoEdge) {
        m_heldAt = p;
        m_heldFrom = box();
        return true;
    }
    if (m_state == Selected && isStrictlyInside(p)) {
        m_lastPos = p;
        return true;
    }
    m_before = box();
    m_stateBefore = m_state;
    m_startPos = m_lastPos = p;
    m_state = Selecting;
    return false;
}

void Selection::dragTo(const QPoint &p)
{
    if (m_state == Selecting) {
        m_lastPos = p;
        if (!isDrawnWithArea()) {
            select(m_before);
            m_state = Selecting;
            return;
        }
        m_left = qMin(m_startPos.x(), p.x());
        m_top = qMin(m_startPos.y(), p.y());
        m_right = qMax(m_startPos.x(), p.x());
        m_bottom = qMax(m_startPos.y(), p.y());
        return;
    }
    if (m_held != NoEdge) {
        dragEdges(p);
        return;
    }
    // Held at an edge, the rectangle lets the pointer slide over it and
    // follows again at once on the way back.
    shift(p - m_lastPos);
    m_lastPos = p;
}

void Selection::dragEdges(const QPoint &p)
{
    // From the press rather than step by step: an edge stopped by the
    // desktop or by the opposite edge is under the pointer again once the
    // pointer comes back.
    const QPoint d = p - m_heldAt;
    const QRect from = m_heldFrom;
    if (m_held & LeftEdge)
        m_left = qBound(0, from.left() + d.x(), m_right - 1);
    if (m_held & RightEdge)
        m_right = qBound(m_left + 1, from.left() + from.width() + d.x(), m_desktop.width());
    if (m_held & TopEdge)
        m_top = qBound(0, from.top() + d.y(), m_bottom - 1);
    if (m_held & BottomEdge)
        m_bottom = qBound(m_top + 1, from.top() + from.height() + d.y(), m_desktop.height());
}

bool Selection::release()
{
    m_held = NoEdge;
    if (m_state == Selecting && !isDrawnWithArea()) {
        m_state = m_stateBefore;
        return false;
    }
    const bool drawn = m_state == Selecting;
    m_state = Selected;
    return drawn;
}

bool Selection::isDrawnWithArea() const
{
    return m_startPos.x() != m_lastPos.x() && m_startPos.y() != m_lastPos.y();
}

void Selection::shift(const QPoint &d)
{
    m_left += d.x();
    m_right += d.x();
    m_top += d.y();
    m_bottom += d.y();
    const int w = std::abs(m_right - m_left);
    const int h = std::abs(m_bottom - m_top);
    // Left and top first, then right and bottom.
    if (m_left < 0) {
        m_left = 0;
        m_right = w;
    }
    if (m_top < 0) {
        m_top = 0;
        m_bottom = h;
    }
    if (m_right > m_desktop.width()) {
        m_right = m_desktop.width();
        m_left = m_desktop.width() - w;
    }
    if (m_bottom > m_desktop.height()) {
        m_bottom = m_desktop.height();
        m_top = m_desktop.height() - h;
    }
}

void Selection::resize(const QPoint &d)
{
    // A rectangle of no width held at the right edge gives up its last column.
    m_left = qMin(m_left, m_desktop.width() - 1);
    m_top = qMin(m_top, m_desktop.height() - 1);
    m_right = qBound(m_left + 1, m_right + d.x(), m_desktop.width());
    m_bottom = qBound(m_top + 1, m_bottom + d.y(), m_desktop.height());
}

void Selection::select(const QRect &area)
{
    m_left = area.left();
    m_top = area.top();
    m_right = area.right() + 1;
    m_bottom = area.bottom() + 1;
    m_state = Selected;
}

bool Selection::isStrictlyInside(const QPoint &p) const
{
    return m_left < p.x() && p.x() < m_right && m_top < p.y() && p.y() < m_bottom;
}

int Selection::edgesAt(const QPoint &p, int reach) const
{
    if (m_state != Selected || isClear() || !withinReach(p.x(), m_left, m_right, reach)
        || !withinReach(p.y(), m_top, m_bottom, reach))
        return NoEdge;
    const int x = nearLine(p.x(), m_left, m_right, reach);
    const int y = nearLine(p.y(), m_top, m_bottom, reach);
    return (x < 0 ? LeftEdge : x > 0 ? RightEdge : NoEdge) | (y < 0 ? TopEdge : y > 0 ? BottomEdge : NoEdge);
}

Qt::CursorShape Selection::shapeAt(const QPoint &p, int reach) const
{
    switch (m_held != NoEdge ? m_held : edgesAt(p, reach)) {
    case LeftEdge:
    case RightEdge:
        return Qt::SizeHorCursor;
    case TopEdge:
    case BottomEdge:
        return Qt::SizeVerCursor;
    case LeftEdge | TopEdge:
    case RightEdge | BottomEdge:
        return Qt::SizeFDiagCursor;
    case RightEdge | TopEdge:
    case LeftEdge | BottomEdge:
        return Qt::SizeBDiagCursor;
    default:
        return m_state == Selected && isStrictlyInside(p) ? Qt::SizeAllCursor : Qt::CrossCursor;
    }
}
