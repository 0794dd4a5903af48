#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

/// The rectangle that the user selects on the overlay, in the capture's
/// pixels: left and top inclusive, right and bottom exclusive, always
/// normalised. The mouse draws it (press, drag, release), grabs it from
/// strictly inside to move it, and the keys nudge it or its right and bottom
/// edges; moves keep it whole on the desktop.
class Selection
{
public:
    enum State { Selecting = 1, Selected = 2 };

    /// Nothing selected on a desktop of \a desktop pixels.
    explicit Selection(const QSize &desktop = QSize());

    void setDesktop(const QSize &desktop) { m_desktop = desktop; }

    /// Nothing selected: every edge at -1, ready for a new rectangle.
    void clear();
    /// True when nothing is selected, which shows no frame.
    bool isClear() const { return m_left < 0 || m_top < 0; }
    State state() const { return m_state; }

    /// The selection as a rectangle of its width and height.
    QRect box() const { return QRect(m_left, m_top, m_right - m_left, m_bottom - m_top); }
    /// The selection in the form that a copy of the picture takes: empty
    /// (the whole picture) when nothing is selected or it has no area.
    QRect rect() const { return QRect(QPoint(m_left, m_top), QPoint(m_right - 1, m_bottom - 1)); }

    /// A press at \a p: grabs a finished rectangle when \a p lies strictly
    /// inside it (its first column and row are outside, its last ones
    /// inside) and returns true; otherwise begins a new rectangle there.
    bool press(const QPoint &p);
    /// The pointer, its button held, at \a p: stretches the rectangle being
    /// drawn from where it began, or moves the grabbed one.
    void dragTo(const QPoint &p);
    /// The button released: the rectangle is finished.
    void release() { m_state = Selected; }

    /// Moves the rectangle by \a d, stopping whole at the desktop's edges.
    void shift(const QPoint &d);
    /// Moves the right and bottom edges by \a d, never to less than a pixel
    /// nor past the desktop.
    void resize(const QPoint &d);
    /// Selects \a area, finished.
    void select(const QRect &area);

    bool isStrictlyInside(const QPoint &p) const;

private:
    QSize m_desktop;
    int m_left = -1;
    int m_top = -1;
    int m_right = -1;
    int m_bottom = -1;
    QPoint m_lastPos;   // the pointer at the previous step of a move
    QPoint m_startPos;  // where the rectangle being drawn began
    State m_state = Selecting;
};
