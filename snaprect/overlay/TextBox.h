#pragma once

#include "Mark.h"

#include <QPlainTextEdit>

/// The box in which a text mark is typed, over the overlay's window at the
/// mark's place: an editor without frame or background that shows the text
/// in the face, size and colour that the mark will have, and takes the input
/// method as Qt's editors do (the pre-edit text in place, the candidate
/// window at the caret, the committed text inserted). Return breaks the
/// line; Ctrl+Return asks for the text to be placed, Escape for the box to
/// be dropped. Every other key stays with the box, so that none of the
/// overlay's keys acts while a text is typed.
class TextBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    /// A box on \a surface, whose units hold \a scale of the capture's
    /// pixels, for \a text, whose first line starts at \a at in the
    /// surface's units.
    TextBox(QWidget *surface, const MarkText &text, qreal scale, const QPointF &at);

    /// What the box holds, as the mark to place.
    MarkText text() const;

signals:
    void placeRequested();
    void dropRequested();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    void fitText();

    MarkText m_text; ///< where the text lies and its style
    QString m_preedit;
};
