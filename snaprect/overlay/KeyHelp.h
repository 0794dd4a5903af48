#pragma once

#include <QFont>
#include <QRect>

class QPainter;

/// The panel of the overlay's keys that F1 shows and hides, and the hint
/// that tells of it, in the capture's pixels.
class KeyHelp
{
public:
    /// \a pixelsPerUnit: the capture's pixels per unit of the screen that
    /// shows the panel.
    explicit KeyHelp(qreal pixelsPerUnit = 1);

    /// Where the panel lies when centred on \a centre.
    QRect area(const QPoint &centre) const;
    /// Paints it with \a painter, whose coordinates are the capture's pixels
    /// less \a origin.
    void paint(QPainter &painter, const QPoint &centre, const QPoint &origin) const;

    /// Where the hint lies on a screen whose area is \a screen: at the middle
    /// of its top.
    QRect hintArea(const QRect &screen) const;
    void paintHint(QPainter &painter, const QRect &screen, const QPoint &origin) const;

private:
    QFont m_font;
    int m_margin;
};
