#include "TextBox.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QtMath>

namespace {

/// Room round the text for the box's dashed outline, in the surface's units.
constexpr int outlineRoom = 3;

} // namespace

TextBox::TextBox(QWidget *surface, const MarkText &text, qreal scale, const QPointF &at)
    : QPlainTextEdit(surface)
    , m_text(text)
{
    setAccessibleName(QStringLiteral("文字"));
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setContextMenuPolicy(Qt::NoContextMenu);
    setViewportMargins(outlineRoom, outlineRoom, outlineRoom, outlineRoom);
    document()->setDocumentMargin(0);
    // The overlay's picture shows through.
    viewport()->setAutoFillBackground(false);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Text, text.style.colour);
    setPalette(colours);
    // The mark's size in the capture's pixels, in the surface's units: by
    // points, which unlike pixels may be fractional at scale 1.5.
    QFont face = MarkText::font(text.style.width);
    face.setPointSizeF(face.pixelSize() / scale * 72 / logicalDpiY());
    setFont(face);
    setPlainText(text.text);
    moveCursor(QTextCursor::End);
    fitText();
    // The first line's top-left, where the mark will start.
    const QPoint textOrigin = viewport()->mapTo(this, cursorRect(QTextCursor(document())).topLeft());
    move((at - QPointF(textOrigin)).toPoint());
    connect(this, &QPlainTextEdit::textChanged, this, &TextBox::fitText);
}

MarkText TextBox::text() const
{
    MarkText text = m_text;
    text.text = toPlainText();
    return text;
}

bool TextBox::event(QEvent *event)
{
    // The key comes to the box as a key press rather than as a shortcut of
    // the overlay or its toolbar.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    const bool handled = QPlainTextEdit::event(event);
    // An outline round the text, so that an empty box shows where the text
    // goes (the viewport's own painting is paintEvent()'s).
    if (event->type() == QEvent::Paint) {
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::Text), 0, Qt::DashLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    return handled;
}

void TextBox::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & Qt::ControlModifier))
        emit placeRequested();
    else if (event->key() == Qt::Key_Escape)
        emit dropRequested();
    else
        QPlainTextEdit::keyPressEvent(event);
    // Also a key the editor had no use for (an arrow at the text's end).
    event->accept();
}

void TextBox::keyReleaseEvent(QKeyEvent *event)
{
    QPlainTextEdit::keyReleaseEvent(event);
    event->accept();
}

void TextBox::inputMethodEvent(QInputMethodEvent *event)
{
    QPlainTextEdit::inputMethodEvent(event);
    m_preedit = event->preeditString();
    fitText();
}

void TextBox::fitText()
{
    // As wide as the widest line with the pre-edit text and room for the
    // caret, so that nothing scrolls out of sight while typing.
    const QFontMetricsF metrics(font());
    qreal width = 0;
    for (const QString &line : toPlainText().split('\n'))
        width = qMax(width, metrics.horizontalAdvance(line));
    width += metrics.horizontalAdvance(m_preedit) + metrics.averageCharWidth() + cursorWidth();
    // As tall as the editor lays the lines out, which may be more than the
    // face's line spacing.
    qreal height = 0;
    for (QTextBlock block = document()->firstBlock(); block.isValid(); block = block.next())
        height += blockBoundingRect(block).height();
    resize(qCeil(width) + 2 * outlineRoom, qCeil(height) + 2 * outlineRoom);
    // The editor scrolled to the caret while the box was still too small.
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}
