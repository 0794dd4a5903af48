#include "SelectionReadout.h"

#include <QFontMetrics>
#include <QPainter>

SelectionReadout::SelectionReadout(qreal pixelsPerUnit)
    : m_margin(qMax(1, qRound(3 * pixelsPerUnit)))
{
    m_font.setPixelSize(qRound(12 * pixelsPerUnit));
}

QString SelectionReadout::text(const QRect &selection) const
{
    const QString size = QStringLiteral("%1 × %2").arg(selection.width()).arg(selection.height());
    return m_note.isEmpty() ? size : size + QStringLiteral("  ") + m_note;
}

QRect SelectionReadout::area(const QRect &selection, const QSize &desktop) const
{
    if (selection.left() < 0 || selection.top() < 0)
        return {};
    const QFontMetrics metrics(m_font);
    const QSize size(metrics.horizontalAdvance(text(selection)) + 2 * m_margin, metrics.height() + 2 * m_margin);
    // The frame's own pixels are left free: the label starts a margin away.
    const int above = selection.top() - m_margin - size.height();
    const int y = above >= 0 ? above : selection.top() + 2 * m_margin;
    // On a desktop smaller than the label (none yet), at its top left.
    return QRect(QPoint(qMax(0, qMin(selection.left(), desktop.width() - size.width())),
                        qMax(0, qMin(y, desktop.height() - size.height()))),
                 size);
}

void SelectionReadout::paint(QPainter &painter, const QRect &selection, const QSize &desktop,
                             const QPoint &origin) const
{
    const QRect box = area(selection, desktop).translated(-origin);
    if (box.isEmpty())
        return;
    painter.save();
    // Text drawn larger than measured (hinting at a fractional scale) must
    // not leave the area that the next repaint covers.
    painter.setClipRect(box, Qt::IntersectClip);
    painter.fillRect(box, QColor(32, 32, 32));
    painter.setPen(Qt::white);
    painter.setFont(m_font);
    painter.drawText(box, Qt::AlignCenter, text(selection));
    painter.restore();
}
