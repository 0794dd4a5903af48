#include "MarkEditor.h"

#include "MarkDocument.h"

#include <utility>

namespace {

/// How far from a handle's centre a press still grabs it, in device pixels:
/// a little beyond its square.
constexpr int grabReach = 6;

QRect square(const QPoint &centre)
{
    const int half = MarkEditor::handleSide / 2;
    return QRect(centre - QPoint(half, half), QSize(MarkEditor::handleSide, MarkEditor::handleSide));
}

} // namespace

MarkEditor::MarkEditor(MarkDocument *document)
    : m_document(document)
{
}

int MarkEditor::grabRadius(qreal pixelsPerUnit, qreal devicePixelRatio)
{
    return qMax(1, qRound(grabReach * pixelsPerUnit / devicePixelRatio));
}

void MarkEditor::select(int index)
{
    release();
    m_selected = index >= 0 && index < m_document->count() ? index : -1;
}

bool MarkEditor::hasSelection() const
{
    return m_selected >= 0 && m_selected < m_document->count();
}

bool MarkEditor::press(const QPoint &p, int grabRadius)
{
    m_handle = -1;
    if (hasSelection()) {
        const QList<QPoint> handles = m_document->mark(m_selected).handles();
        for (int i = 0; i < handles.size() && m_handle < 0; ++i) {
            const QPoint d = p - handles[i];
            if (qMax(qAbs(d.x()), qAbs(d.y())) <= grabRadius)
                m_handle = i;
        }
    }
    if (m_handle < 0)
        select(m_document->markAt(p));
    if (!hasSelection())
        return false;
    m_pressedAt = p;
    m_original = m_document->mark(m_selected).moved(QPoint());
    m_changed = false;
    return true;
}

void MarkEditor::dragTo(const QPoint &p)
{
    if (!m_original || !hasSelection() || (!m_changed && p == m_pressedAt))
        return;
    const QPoint d = p - m_pressedAt;
    std::unique_ptr<Mark> mark
        = m_handle < 0 ? m_original->moved(d) : m_original->withHandleAt(m_handle, m_original->handles()[m_handle] + d);
    if (std::exchange(m_changed, true))
        m_document->reshape(m_selected, std::move(mark));
    else
        m_document->replace(m_selected, std::move(mark));
}

void MarkEditor::release()
{
    m_original.reset();
}

void MarkEditor::nudge(const QPoint &d)
{
    if (hasSelection())
        change(m_document->mark(m_selected).moved(d));
}

void MarkEditor::removeSelected()
{
    if (!hasSelection())
        return;
    const int index = m_selected;
    select(-1);
    m_document->remove(index);
}

void MarkEditor::recolour(const QColor &colour)
{
    if (!hasSelection())
        return;
    const Mark &mark = m_document->mark(m_selected);
    if (colour != mark.style().colour)
        change(mark.restyled(MarkStyle{colour, mark.style().width}));
}

int MarkEditor::widen(int by)
{
    if (!hasSelection())
        return 0;
    const Mark &mark = m_document->mark(m_selected);
    const int width = qBound(MarkStyle::minimumWidth, mark.style().width + by, MarkStyle::maximumWidth);
    // The widest made wider is no step.
    if (width != mark.style().width)
        change(mark.restyled(MarkStyle{mark.style().colour, width}));
    return width;
}

void MarkEditor::change(std::unique_ptr<Mark> mark)
{
    release();
    m_document->replace(m_selected, std::move(mark));
}

QList<QRect> MarkEditor::squares() const
{
    if (!hasSelection())
        return {};
    const Mark &mark = m_document->mark(m_selected);
    QList<QPoint> centres = mark.handles();
    if (centres.isEmpty()) {
        const QRect area = mark.area();
        centres = {area.topLeft(), area.topRight(), area.bottomRight(), area.bottomLeft()};
    }
    QList<QRect> squares;
    for (const QPoint &centre : std::as_const(centres))
        squares << square(centre);
    return squares;
}
