#pragma once

#include "Mark.h"

#include <QObject>
#include <QPointer>

class MarkDocument;
class OverlayWindows;
class TextBox;

/// The text being typed on the overlay, in one TextBox at a time: opened by
/// a click with the text tool, or on a placed text to change it, and then
/// placed as one undo step (a new mark, or one in the place of the text it
/// changes, which stays out of sight meanwhile) or dropped.
class TextEditing : public QObject
{
    Q_OBJECT

public:
    TextEditing(MarkDocument *marks, const OverlayWindows *windows);

    bool isOpen() const { return !m_box.isNull(); }
    /// The index of the topmost placed text mark at \a p, or -1.
    int textAt(const QPoint &p) const;
    /// Opens a box for a new text at \a p, in the capture's pixels, on
    /// \a surface, placing the open one first.
    void open(QWidget *surface, const QPoint &p, const MarkStyle &style);
    /// Opens the placed text mark at \a markIndex again, placing the open
    /// box first; placed, the text replaces the mark, and an emptied one
    /// removes it.
    void edit(int markIndex);

public slots:
    /// Places the open box's text, if any.
    void place();
    /// Drops the open box, if any, and what was typed in it.
    void close();

private:
    void show(QWidget *surface, const MarkText &text, int edited);

    MarkDocument *m_marks;
    const OverlayWindows *m_windows;
    QPointer<TextBox> m_box;
    int m_edited = -1; ///< the placed mark that the box changes, or -1
};
