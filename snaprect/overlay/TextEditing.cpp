#include "TextEditing.h"

#include "MarkDocument.h"
#include "OverlayWindows.h"
#include "TextBox.h"

TextEditing::TextEditing(MarkDocument *marks, const OverlayWindows *windows)
    : m_marks(marks)
    , m_windows(windows)
{
}

int TextEditing::textAt(const QPoint &p) const
{
    const int index = m_marks->markAt(p);
    return index >= 0 && m_marks->mark(index).text() ? index : -1;
}

void TextEditing::open(QWidget *surface, const QPoint &p, const MarkStyle &style)
{
    place();
    show(surface, MarkText{QString(), p, style}, -1);
}

void TextEditing::edit(int markIndex)
{
    if (markIndex < 0 || markIndex >= m_marks->count())
        return;
    // Placing the open box may remove the mark it changed, and move those
    // after it down.
    const Mark *edited = &m_marks->mark(markIndex);
    place();
    markIndex = m_marks->count() - 1;
    while (markIndex >= 0 && &m_marks->mark(markIndex) != edited)
        --markIndex;
    const std::optional<MarkText> text = markIndex >= 0 ? edited->text() : std::nullopt;
    if (!text)
        return;
    m_marks->setSetAside(markIndex);
    show(m_windows->surfaceAt(text->topLeft), *text, markIndex);
}

void TextEditing::show(QWidget *surface, const MarkText &text, int edited)
{
    m_edited = edited;
    m_box = new TextBox(surface, text, m_windows->scaleOf(surface), m_windows->toSurface(surface, text.topLeft));
    connect(m_box, &TextBox::placeRequested, this, &TextEditing::place);
    connect(m_box, &TextBox::dropRequested, this, &TextEditing::close);
    m_box->show();
    surface->activateWindow();
    m_box->setFocus();
}

void TextEditing::place()
{
    if (!m_box)
        return;
    const MarkText text = m_box->text();
    const int edited = m_edited;
    close();
    if (edited < 0)
        m_marks->place(Mark::makeText(text));
    else if (text.text.trimmed().isEmpty())
        m_marks->remove(edited);
    else if (!(m_marks->mark(edited).text() == text))
        m_marks->replace(edited, Mark::makeText(text));
}

void TextEditing::close()
{
    if (!m_box)
        return;
    QWidget *surface = m_box->parentWidget();
    // Not deleted at once: the box may be the one asking.
    m_box->hide();
    m_box->deleteLater();
    m_box = nullptr;
    m_edited = -1;
    m_marks->setSetAside(-1);
    // The overlay's keys act again.
    surface->setFocus();
}
