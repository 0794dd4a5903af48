#pragma once

#include "Mark.h"

#include <QList>
#include <QPoint>
#include <QRect>

#include <memory>

class MarkDocument;

/// Changes placed marks: picks one by a press on it and shows its handles,
/// moves it by a drag or by the arrow keys, reshapes it by a drag on a
/// handle, restyles or removes it. Each change is one undo step on the
/// document: a drag is one however many moves it makes. Positions are in
/// the capture's pixels, which are the screen's device pixels.
class MarkEditor
{
public:
    /// The side of a handle's square, in device pixels.
    static constexpr int handleSide = 9;

    explicit MarkEditor(MarkDocument *document);

    /// How far from a handle, in the capture's pixels along either axis, a
    /// press grabs it, on a window with \a pixelsPerUnit of the capture's
    /// pixels and \a devicePixelRatio of its own device pixels per unit: the
    /// same number of device pixels at every scale.
    static int grabRadius(qreal pixelsPerUnit, qreal devicePixelRatio);

    /// The index of the selected mark, or -1.
    int selected() const { return m_selected; }
    /// Selects the placed mark at \a index; -1 selects none.
    void select(int index);
    bool isDragging() const { return m_original != nullptr; }

    /// A press at \a p: on a handle of the selected mark (within
    /// \a grabRadius) it grabs the handle, on a mark it selects the topmost
    /// there and grabs it to move; elsewhere it selects none. Returns whether
    /// a mark was grabbed.
    bool press(const QPoint &p, int grabRadius);
    /// Takes what the press grabbed along with the pointer, now at \a p.
    void dragTo(const QPoint &p);
    void release();

    /// Moves the selected mark by \a d.
    void nudge(const QPoint &d);
    void removeSelected();
    /// Gives the selected mark \a colour, its width kept.
    void recolour(const QColor &colour);
    /// Makes the selected mark's width \a by wider (narrower when negative)
    /// and returns the new width; 0 when none is selected.
    int widen(int by);

    /// The squares that show the selection: the selected mark's handles, or
    /// the corners of its area when it has none.
    QList<QRect> squares() const;

private:
    bool hasSelection() const;
    void change(std::unique_ptr<Mark> mark);

    MarkDocument *m_document;
    int m_selected = -1;
    int m_handle = -1;                 // grabbed, or -1 for the whole mark
    QPoint m_pressedAt;
    std::unique_ptr<Mark> m_original; // as it was at the press, while dragged
    bool m_changed = false;           // by the drag under way
};
