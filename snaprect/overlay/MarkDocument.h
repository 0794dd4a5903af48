#pragma once

#include "Mark.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QUndoStack>

#include <memory>

class QPainter;

/// The marks drawn over one capture, in the capture's pixels, and the
/// picture they make with it.
///
/// Placed marks change only through commands on undoStack(), one per mark
/// placed, removed or changed; a command holds the mark, never a picture. The capture
/// with the placed marks drawn in is kept as a layer that is redrawn only
/// where they change, so that a view copies it while the next mark is drawn
/// rather than painting every mark again; it is made with the first mark and
/// let go when none is left, and until then the capture itself serves.
///
/// A drag draws a mark: begin() where it starts, extend() at each move,
/// finish() at the release (or cancel()). Each returns the capture's area
/// to repaint; paintCurrent() paints the mark being drawn over marked().
/// changed() tells a view where placed marks changed. A view repaints an
/// area with its painter clipped to it (or the widget's paint event does):
/// a long stroke then paints only its pieces there.
///
/// Numbered marks show their place among the numbered marks that remain, so
/// that removing or undoing one renumbers those after it.
class MarkDocument : public QObject
{
    Q_OBJECT

public:
    explicit MarkDocument(QObject *parent = nullptr);
    ~MarkDocument() override;

    /// Takes a new capture to mark, without any marks. The picture is
    /// implicitly shared, never copied (the mosaic reads it); a null one lets
    /// the last go.
    void setCapture(const QImage &capture);
    /// Drops every mark, the one being drawn and the undo steps, and the
    /// layer with them; keeps the capture.
    void clear();

    /// Starts a mark of \a tool with \a style at \a p, dropping one still
    /// being drawn; returns the area it shows at once (a number's circle, a
    /// stroke's dot).
    QRect begin(MarkTool tool, const MarkStyle &style, const QPoint &p);
    /// Takes the mark being drawn to \a p, held with \a modifiers (Shift
    /// keeps lines at multiples of 45° and boxes square); returns the area
    /// whose pixels changed. Without a mark being drawn, nothing happens.
    QRect extend(const QPoint &p, Qt::KeyboardModifiers modifiers);
    /// Places the mark being drawn as one undo step, unless it has nothing
    /// to show (a click with a tool that needs a drag); returns its area.
    /// A click with the number tool places a number, a drag places it
    /// where the drag ends.
    QRect finish();
    /// Drops the mark being drawn; returns its area.
    QRect cancel();
    bool isDrawing() const { return m_current != nullptr; }

    /// Places \a mark on top of the others as one undo step, unless it has
    /// nothing to show (an empty text).
    void place(std::unique_ptr<Mark> mark);

    /// The index of the topmost placed mark at \a p, or -1.
    int markAt(const QPoint &p) const;
    /// Removes the placed mark at \a index as one undo step.
    void remove(int index);
    /// Puts \a mark in the place of the placed mark at \a index, among the
    /// others as it was, as one undo step.
    void replace(int index, std::shared_ptr<const Mark> mark);
    /// As replace(), but when the last step done replaced the mark at
    /// \a index, changes what that step leaves instead: a drag is one step
    /// however many moves it makes.
    void reshape(int index, std::shared_ptr<const Mark> mark);
    /// The placed mark at \a index, 0 to count() - 1.
    const Mark &mark(int index) const { return *m_marks.at(index); }
    /// Leaves the placed mark at \a index out of marked() while it is being
    /// changed where the user sees it (a text opened again in its box); -1
    /// for none. Not an undo step: the change that follows is.
    void setSetAside(int index);

    QUndoStack *undoStack() { return &m_undoStack; }
    /// True when no mark is placed.
    bool isEmpty() const { return m_marks.isEmpty(); }
    int count() const { return int(m_marks.size()); }

    /// Paints the mark being drawn with \a painter, whose coordinates are the
    /// capture's pixels.
    void paintCurrent(QPainter &painter) const;
    /// The capture with the placed marks drawn in: the capture itself while
    /// there are none. It has the capture's device pixel ratio: draw it by
    /// pixels, as paintMarked() does.
    const QImage &marked() const { return m_marked.isNull() ? m_capture : m_marked; }
    /// Draws \a area of marked() with \a painter, whose coordinates are the
    /// capture's pixels.
    void paintMarked(QPainter &painter, const QRect &area) const;
    /// \a area of the capture with the placed marks, exactly as
    /// paintMarked() shows it, with the capture's device pixel ratio: what
    /// is saved or copied.
    QImage picture(const QRect &area) const;

signals:
    /// Placed marks changed (placed, removed, undone, redone) within
    /// \a captureArea.
    void changed(const QRect &captureArea);

private:
    friend class PlaceMarkCommand;
    friend class RemoveMarkCommand;
    friend class ReplaceMarkCommand;
    using MarkPointer = std::shared_ptr<const Mark>;

    void insertMark(int index, const MarkPointer &mark);
    void takeMark(int index);
    void swapMark(int index, const MarkPointer &mark);
    /// The area of the mark at \a index and, when it is numbered, of every
    /// numbered mark after it, whose numbers follow it.
    QRect reach(int index) const;
    int numberBefore(int index) const;
    void redraw(const QRect &area);

    QImage m_capture;
    QImage m_marked;
    QList<MarkPointer> m_marks;
    std::unique_ptr<Mark> m_current;
    int m_setAside = -1;
    QUndoStack m_undoStack;
};
