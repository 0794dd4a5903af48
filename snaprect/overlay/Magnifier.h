#pragma once

#include <QFont>
#include <QRect>

class QPainter;
class QImage;

/// The loupe that the overlay shows beside the pointer while Shift is held:
/// the pixels around the pointer enlarged, the one under it framed, its
/// position and its colour. Everything in the capture's pixels.
class Magnifier
{
public:
    /// \a pixelsPerUnit: the capture's pixels per unit of the primary screen,
    /// so that the loupe looks alike at every scale.
    explicit Magnifier(qreal pixelsPerUnit = 1);

    /// Where the loupe for the pointer at \a p lies on a desktop of
    /// \a desktop: below and to the right of it, or on the other side where
    /// there is no room; never under the pointer.
    QRect area(const QPoint &p, const QSize &desktop) const;

    /// Paints the loupe for the pointer at \a p over \a picture with
    /// \a painter, whose coordinates are the capture's pixels less \a origin.
    void paint(QPainter &painter, const QImage &picture, const QPoint &p, const QSize &desktop,
               const QPoint &origin) const;

private:
    static constexpr int span = 15; // pixels across, the pointer's in the middle

    int m_zoom;
    int m_gap;
    QFont m_font;
};
