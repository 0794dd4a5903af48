#include "Magnifier.h"

#include <QFontMetrics>
#include <QPainter>
#include <QImage>

Magnifier::Magnifier(qreal pixelsPerUnit)
    : m_zoom(8 * qMax(1, qRound(pixelsPerUnit)))
    , m_gap(qRound(16 * pixelsPerUnit))
{
    m_font.setPixelSize(qRound(12 * pixelsPerUnit));
}

QRect Magnifier::area(const QPoint &p, const QSize &desktop) const
{
    // Two lines of text below the enlarged square.
    const QSize size(span * m_zoom, span * m_zoom + 2 * QFontMetrics(m_font).height());
    const int x = p.x() + m_gap + size.width() <= desktop.width() ? p.x() + m_gap : p.x() - m_gap - size.width();
    const int y = p.y() + m_gap + size.height() <= desktop.height() ? p.y() + m_gap : p.y() - m_gap - size.height();
    return QRect(QPoint(x, y), size);
}

void Magnifier::paint(QPainter &painter, const QImage &picture, const QPoint &p, const QSize &desktop,
                      const QPoint &origin) const
{
    const QRect box = area(p, desktop).translated(-origin);
    const QRect square(box.topLeft(), QSize(span * m_zoom, span * m_zoom));
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    // Whole pixels, unblended; what lies beyond the picture stays black.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.fillRect(box, Qt::black);
    painter.drawImage(square, picture, QRect(p - QPoint(span / 2, span / 2), QSize(span, span)));
    const QRect centre(square.topLeft() + QPoint(span / 2, span / 2) * m_zoom, QSize(m_zoom, m_zoom));
    painter.setPen(QPen(Qt::red, qMax(1, m_zoom / 8)));
    painter.drawLine(QPoint(square.left(), centre.center().y()), QPoint(centre.left() - 1, centre.center().y()));
    painter.drawLine(QPoint(centre.right() + 1, centre.center().y()), QPoint(square.right(), centre.center().y()));
    painter.drawLine(QPoint(centre.center().x(), square.top()), QPoint(centre.center().x(), centre.top() - 1));
    painter.drawLine(QPoint(centre.center().x(), centre.bottom() + 1), QPoint(centre.center().x(), square.bottom()));
    const QColor colour = picture.rect().contains(p) ? picture.pixelColor(p) : QColor(Qt::black);
    painter.setPen(Qt::white);
    painter.setFont(m_font);
    painter.drawText(QRect(square.bottomLeft() + QPoint(0, 1), QSize(box.width(), box.bottom() - square.bottom())),
                     Qt::AlignCenter,
                     QStringLiteral("%1, %2\n%3").arg(p.x()).arg(p.y()).arg(colour.name().toUpper()));
    painter.restore();
}
