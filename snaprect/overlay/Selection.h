#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <Qt>

/// The rectangle that the user selects on the overlay, in the capture's
/// pixels: left and top inclusive, right and bottom exclusive, always
/// normalised. The mouse draws it (press, drag, release), grabs an edge or a
/// corner near its frame to drag them, grabs it from strictly inside to move
/// it, and the keys nudge it or its right and bottom edges; moves keep it
/// whole on the desktop. A selection is never less than a pixel wide and
/// high: a rectangle drawn without width or height is none, and what was
/// there before its press stays.
///
/// The frame lies on the columns left and right and the rows top and bottom
/// (the first ones outside the strict inside); a press within a reach of
/// them takes the nearest, except that inside the rectangle the reach never
/// exceeds a third of its width or height, so that a small one keeps a
/// middle to move it by.
class Selection
{
public:
    enum State { Selecting = 1, Selected = 2 };
    /// The edges that a press takes hold of: one, or two at a corner.
    enum Edge { NoEdge = 0, LeftEdge = 1, TopEdge = 2, RightEdge = 4, BottomEdge = 8 };

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

    /// A press at \a p: grabs the edges of a finished rectangle within
    /// \a reach pixels of \a p (see edgesAt()), or the rectangle when \a p
    /// lies strictly inside it (its first column and row are outside, its
    /// last ones inside), and returns true; otherwise begins a new rectangle
    /// there, which replaces the selection once it spans an area.
    bool press(const QPoint &p, int reach = 0);
    /// The pointer, its button held, at \a p: stretches the rectangle being
    /// drawn from where it began, moves the grabbed edges as far as the
    /// pointer moved since the press (never to less than a pixel nor past
    /// the desktop), or moves the grabbed rectangle.
    void dragTo(const QPoint &p);
    /// The button released: returns true when it finishes a new rectangle;
    /// one that spans no area leaves the selection as it was before the press.
    bool release();

    /// Moves the rectangle by \a d, stopping whole at the desktop's edges.
    void shift(const QPoint &d);
    /// Moves the right and bottom edges by \a d, never to less than a pixel
    /// nor past the desktop.
    void resize(const QPoint &d);
    /// Selects \a area, finished.
    void select(const QRect &area);

    bool isStrictlyInside(const QPoint &p) const;
    /// The Edge flags of the frame within \a reach pixels of \a p; none
    /// while nothing is selected.
    int edgesAt(const QPoint &p, int reach) const;
    /// The pointer's shape at \a p: the resize shape over an edge or corner
    /// (or while they are held), SizeAll strictly inside, a cross elsewhere.
    Qt::CursorShape shapeAt(const QPoint &p, int reach) const;

private:
    bool isDrawnWithArea() const;
    void dragEdges(const QPoint &p);

    QSize m_desktop;
    int m_left = -1;
    int m_top = -1;
    int m_right = -1;
    int m_bottom = -1;
    QPoint m_lastPos;   // the pointer at the previous step of a move or drawing
    QPoint m_startPos;  // where the rectangle being drawn began
    State m_state = Selecting;
    QRect m_before{-1, -1, 0, 0}; // the selection before the rectangle being drawn
    State m_stateBefore = Selecting;
    int m_held = NoEdge;   // the edges being dragged
    QPoint m_heldAt;       // where the press that took them was
    QRect m_heldFrom;      // the selection at that press
};
