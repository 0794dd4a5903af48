#pragma once

#include <QFont>
#include <QRect>

class QPainter;

/// The label that tells a selection's size, "W × H", beside its top-left
/// corner on the overlay. Everything in the capture's pixels.
class SelectionReadout
{
public:
    /// \a pixelsPerUnit: the capture's pixels per unit of the primary screen,
    /// so that the label reads as large as other text there.
    explicit SelectionReadout(qreal pixelsPerUnit = 1);

    /// Where the label of \a selection lies on a desktop of \a desktop: just
    /// above the selection's top-left corner or, where there is no room above,
    /// inside it; never past the desktop's edges. Empty when nothing is
    /// selected (a negative position).
    QRect area(const QRect &selection, const QSize &desktop) const;

    /// A word shown after the size, such as the drawing width while it
    /// changes; none when empty.
    void setNote(const QString &note) { m_note = note; }

    /// Paints the label of \a selection with \a painter, whose coordinates
    /// are the capture's pixels less \a origin.
    void paint(QPainter &painter, const QRect &selection, const QSize &desktop, const QPoint &origin) const;

private:
    QString text(const QRect &selection) const;

    QFont m_font;
    QString m_note;
    int m_margin;
};
