#include "Selection.h"

#include <QtGlobal>

#include <cstdlib>

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

bool Selection::press(const QPoint &p)
{
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
    // Held at an edge, the rectangle lets the pointer slide over it and
    // follows again at once on the way back.
    shift(p - m_lastPos);
    m_lastPos = p;
}

bool Selection::release()
{
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
