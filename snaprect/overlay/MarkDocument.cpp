#include "MarkDocument.h"

#include "platform/LargeImage.h"

#include <QPainter>
#include <QUndoCommand>

#include <algorithm>

/// Places a mark on top of the others.
class PlaceMarkCommand : public QUndoCommand
{
public:
    PlaceMarkCommand(MarkDocument *document, std::shared_ptr<const Mark> mark)
        : m_document(document)
        , m_mark(std::move(mark))
        , m_index(document->count())
    {
    }

    void redo() override { m_document->insertMark(m_index, m_mark); }
    void undo() override { m_document->takeMark(m_index); }

private:
    MarkDocument *m_document;
    std::shared_ptr<const Mark> m_mark;
    int m_index;
};

/// Takes one mark away; undone, it returns to its place among the others.
class RemoveMarkCommand : public QUndoCommand
{
public:
    RemoveMarkCommand(MarkDocument *document, int index)
        : m_document(document)
        , m_mark(document->m_marks.at(index))
        , m_index(index)
    {
    }

    void redo() override { m_document->takeMark(m_index); }
    void undo() override { m_document->insertMark(m_index, m_mark); }

private:
    MarkDocument *m_document;
    std::shared_ptr<const Mark> m_mark;
    int m_index;
};

/// Swaps one mark for a changed one; undone, the earlier one returns.
class ReplaceMarkCommand : public QUndoCommand
{
public:
    ReplaceMarkCommand(MarkDocument *document, int index, std::shared_ptr<const Mark> mark)
        : m_document(document)
        , m_before(document->m_marks.at(index))
        , m_after(std::move(mark))
        , m_index(index)
    {
    }

    void redo() override { m_document->swapMark(m_index, m_after); }
    void undo() override { m_document->swapMark(m_index, m_before); }

    int index() const { return m_index; }
    /// Leaves \a mark rather than the last one, at once.
    void amend(std::shared_ptr<const Mark> mark)
    {
        m_after = std::move(mark);
        redo();
    }

private:
    MarkDocument *m_document;
    std::shared_ptr<const Mark> m_before;
    std::shared_ptr<const Mark> m_after;
    int m_index;
};

MarkDocument::MarkDocument(QObject *parent)
    : QObject(parent)
{
}

MarkDocument::~MarkDocument() = default;

void MarkDocument::setCapture(const QImage &capture)
{
    clear();
    m_capture = capture;
}

void MarkDocument::clear()
{
    m_undoStack.clear();
    m_marks.clear();
    m_current.reset();
    m_setAside = -1;
    m_marked = QImage();
}

QRect MarkDocument::begin(MarkTool tool, const MarkStyle &style, const QPoint &p)
{
    m_current = Mark::make(tool, style, p, m_capture);
    return !m_current || m_current->isDegenerate() ? QRect() : m_current->area();
}

QRect MarkDocument::extend(const QPoint &p, Qt::KeyboardModifiers modifiers)
{
    return m_current ? m_current->extend(p, modifiers) : QRect();
}

QRect MarkDocument::finish()
{
    if (!m_current)
        return QRect();
    const QRect area = m_current->area();
    place(std::move(m_current));
    return area;
}

void MarkDocument::place(std::unique_ptr<Mark> mark)
{
    if (mark && !mark->isDegenerate())
        m_undoStack.push(new PlaceMarkCommand(this, std::move(mark)));
}

QRect MarkDocument::cancel()
{
    const QRect area = m_current ? m_current->area() : QRect();
    m_current.reset();
    return area;
}

int MarkDocument::markAt(const QPoint &p) const
{
    for (int i = count() - 1; i >= 0; --i) {
        if (m_marks[i]->contains(p))
            return i;
    }
    return -1;
}

void MarkDocument::remove(int index)
{
    if (index >= 0 && index < count())
        m_undoStack.push(new RemoveMarkCommand(this, index));
}

void MarkDocument::replace(int index, std::shared_ptr<const Mark> mark)
{
    if (index >= 0 && index < count() && mark)
        m_undoStack.push(new ReplaceMarkCommand(this, index, std::move(mark)));
}

void MarkDocument::reshape(int index, std::shared_ptr<const Mark> mark)
{
    const int done = m_undoStack.index();
    const auto *last = done > 0 ? dynamic_cast<const ReplaceMarkCommand *>(m_undoStack.command(done - 1)) : nullptr;
    if (last && last->index() == index && mark)
        const_cast<ReplaceMarkCommand *>(last)->amend(std::move(mark));
    else
        replace(index, std::move(mark));
}

void MarkDocument::setSetAside(int index)
{
    if (index == m_setAside)
        return;
    QRect area;
    for (int each : {m_setAside, index}) {
        if (each >= 0 && each < count())
            area |= m_marks[each]->area();
    }
    m_setAside = index;
    redraw(area);
    emit changed(area);
}

void MarkDocument::paintCurrent(QPainter &painter) const
{
    if (!m_current)
        return;
    // As on the layer, whatever the view's painter was left with.
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1);
    m_current->paint(painter, numberBefore(count()) + 1);
    painter.restore();
}

void MarkDocument::paintMarked(QPainter &painter, const QRect &area) const
{
    // By pixels: drawn at a point, an image is scaled by its pixel ratio.
    painter.drawImage(area, marked(), area);
}

QImage MarkDocument::picture(const QRect &area) const
{
    return marked().copy(area);
}

void MarkDocument::insertMark(int index, const MarkPointer &mark)
{
    m_marks.insert(index, mark);
    const QRect area = reach(index);
    redraw(area);
    emit changed(area);
}

void MarkDocument::takeMark(int index)
{
    const QRect area = reach(index);
    m_marks.removeAt(index);
    redraw(area);
    emit changed(area);
}

void MarkDocument::swapMark(int index, const MarkPointer &mark)
{
    QRect area = reach(index);
    m_marks[index] = mark;
    area |= reach(index);
    redraw(area);
    emit changed(area);
}

QRect MarkDocument::reach(int index) const
{
    QRect area = m_marks[index]->area();
    if (m_marks[index]->isNumbered()) {
        for (qsizetype i = index + 1; i < m_marks.size(); ++i) {
            if (m_marks[i]->isNumbered())
                area |= m_marks[i]->area();
        }
    }
    return area;
}

int MarkDocument::numberBefore(int index) const
{
    return int(std::count_if(m_marks.cbegin(), m_marks.cbegin() + index,
                             [](const MarkPointer &mark) { return mark->isNumbered(); }));
}

void MarkDocument::redraw(const QRect &area)
{
    if (m_marks.isEmpty()) {
        m_marked = QImage();
        return;
    }
    QRect dirty = area & m_capture.rect();
    if (m_marked.isNull()) {
        const bool paintable = m_capture.format() == QImage::Format_RGB32
            || m_capture.format() == QImage::Format_ARGB32_Premultiplied;
        m_marked = newLargeImage(m_capture.size(), paintable ? m_capture.format() : QImage::Format_RGB32);
        dirty = m_capture.rect();
    }
    if (m_marked.isNull() || dirty.isEmpty())
        return;
    // Painted pixel for pixel: a painter on an image scales by its ratio.
    m_marked.setDevicePixelRatio(1);
    {
        QPainter painter(&m_marked);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(dirty, m_capture, dirty);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setClipRect(dirty);
        int number = 0;
        for (qsizetype i = 0; i < m_marks.size(); ++i) {
            const MarkPointer &mark = m_marks[i];
            if (mark->isNumbered())
                ++number;
            if (i != m_setAside && mark->area().intersects(dirty))
                mark->paint(painter, number);
        }
    }
    m_marked.setDevicePixelRatio(m_capture.devicePixelRatio());
}
