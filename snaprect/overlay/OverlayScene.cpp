#include "OverlayScene.h"

#include "MarkDocument.h"
#include "PlaceBeside.h"
#include "platform/ServerPainter.h"

#include <QPainter>

namespace {

// The shade over the picture: black at this opacity out of 255.
constexpr int shadeAlpha = 100;

// The band of \a width along the inside of \a area's edges.
QRegion outline(const QRect &area, int width)
{
    return QRegion(area).subtracted(area.adjusted(width, width, -width, -width));
}

} // namespace

OverlayScene::OverlayScene(const MarkDocument *marks)
    : m_marks(marks)
{
}

void OverlayScene::reset(const QSize &desktop, qreal pixelsPerUnit)
{
    m_desktop = desktop;
    m_frameWidth = qMax(1, qRound(pixelsPerUnit));
    m_readout = SelectionReadout(pixelsPerUnit);
    m_magnifier = Magnifier(pixelsPerUnit);
    m_keyHelp = KeyHelp(pixelsPerUnit);
    m_selection = QRect(-1, -1, 0, 0);
    m_handles.clear();
    m_magnifying = m_keyHelpShown = m_hintShown = false;
}

QRegion OverlayScene::setSelection(const QRect &box)
{
    // Only what changed is painted again: what came into the selection or
    // left it, and both frames. A drag then costs what the pointer swept,
    // not the size of the selection.
    const QRect before = selectionArea();
    const QRegion readoutBefore = m_readout.area(m_selection, m_desktop);
    m_selection = box;
    const QRect after = selectionArea();
    const int k = m_frameWidth;
    return QRegion(before).xored(after) + outline(before, k) + outline(after, k) + readoutBefore
           + m_readout.area(m_selection, m_desktop);
}

QRect OverlayScene::selectionArea() const
{
    // The frame lies on the first column and row and just past the last ones.
    return m_selection.adjusted(0, 0, m_frameWidth, m_frameWidth);
}

QRegion OverlayScene::setMagnifier(bool shown, const QPoint &p)
{
    const QRect before = magnifierArea();
    // Not where the pointer is on none of the overlay's windows.
    m_magnifying = shown && p.x() >= 0;
    m_pointer = p;
    const QRect after = magnifierArea();
    return after == before ? QRegion() : QRegion(before) + after;
}

QRect OverlayScene::magnifierArea() const
{
    return m_magnifying ? m_magnifier.area(m_pointer, m_desktop) : QRect();
}

QRegion OverlayScene::setKeyHelp(bool shown, const QRect &screen, const QRect &avoid)
{
    QRegion changed;
    if (m_keyHelpShown)
        changed += m_keyHelp.area(m_keyHelpCentre);
    m_keyHelpShown = shown;
    m_keyHelpCentre = screen.topLeft() + QPoint(screen.width(), screen.height()) / 2;
    const QRect centred = m_keyHelp.area(m_keyHelpCentre);
    if (centred.intersects(avoid)) {
        if (const std::optional<QRect> beside = placeBeside(avoid, centred.size(), screen))
            m_keyHelpCentre = beside->center();
    }
    if (m_keyHelpShown)
        changed += m_keyHelp.area(m_keyHelpCentre);
    return changed;
}

QRegion OverlayScene::setHint(bool shown, const QRect &screen)
{
    QRegion changed;
    if (m_hintShown)
        changed += m_keyHelp.hintArea(m_hintScreen);
    m_hintShown = shown;
    m_hintScreen = screen;
    if (m_hintShown)
        changed += m_keyHelp.hintArea(m_hintScreen);
    return changed;
}

QRegion OverlayScene::setReadoutNote(const QString &note)
{
    const QRect before = m_readout.area(m_selection, m_desktop);
    m_readout.setNote(note);
    return QRegion(before) + m_readout.area(m_selection, m_desktop);
}

QRegion OverlayScene::setHandles(const QList<QRect> &squares)
{
    QRegion changed;
    for (const QRect &square : std::as_const(m_handles) + squares)
        changed += square;
    m_handles = squares;
    return changed;
}

void OverlayScene::paint(QPainter &painter, const QList<QRect> &areas, const QPoint &origin) const
{
    const QImage &picture = m_marks->marked();
    const QRect whole(-origin, picture.size());
    for (const QRect &area : areas) {
        const QRect shown = area & whole;
        if (shown != area)
            painter.fillRect(area, Qt::black);
        if (!shown.isEmpty())
            painter.drawImage(shown, picture, shown.translated(origin));
    }
    if (m_marks->isDrawing()) {
        painter.save();
        painter.translate(-origin);
        m_marks->paintCurrent(painter);
        painter.restore();
    }
    // Over the marks too, as they are part of the picture; once where areas
    // overlap (at fractional scales).
    QRegion dimmed;
    for (const QRect &area : areas)
        dimmed += area & whole;
    for (const QRect &outside : dimmed.subtracted(m_selection.translated(-origin)))
        painter.fillRect(outside, QColor(0, 0, 0, shadeAlpha));
    paintFrame(painter, origin);
    // White with a dark rim, to be seen on any picture.
    for (const QRect &square : m_handles) {
        painter.fillRect(square.translated(-origin), QColor(40, 40, 40));
        painter.fillRect(square.translated(-origin).adjusted(1, 1, -1, -1), Qt::white);
    }
    if (m_hintShown)
        m_keyHelp.paintHint(painter, m_hintScreen, origin);
    if (m_keyHelpShown)
        m_keyHelp.paint(painter, m_keyHelpCentre, origin);
    // Over everything, the frame and its label too.
    if (m_magnifying)
        m_magnifier.paint(painter, picture, m_pointer, m_desktop, origin);
}

QList<QRect> OverlayScene::frameRects() const
{
    // Nothing is selected after a reset, which puts the edges at -1.
    if (m_selection.left() < 0 || m_selection.top() < 0)
        return {};
    // One pixel wide at scale 1: on the selection's first column and row and
    // on the ones just past its last.
    const int k = m_frameWidth;
    const int width = m_selection.width(), height = m_selection.height();
    const QPoint topLeft = m_selection.topLeft();
    return {QRect(topLeft, QSize(width + k, k)), QRect(topLeft + QPoint(0, height), QSize(width + k, k)),
            QRect(topLeft, QSize(k, height + k)), QRect(topLeft + QPoint(width, 0), QSize(k, height + k))};
}

void OverlayScene::paintFrame(QPainter &painter, const QPoint &origin) const
{
    const QList<QRect> sides = frameRects();
    if (sides.isEmpty())
        return;
    for (const QRect &side : sides)
        painter.fillRect(side.translated(-origin), Qt::green);
    m_readout.paint(painter, m_selection, m_desktop, origin);
}

QRegion OverlayScene::painterArea() const
{
    if (!m_marks->isEmpty() || m_marks->isDrawing())
        return QRect(QPoint(0, 0), m_marks->marked().size());
    QRegion area = m_readout.area(m_selection, m_desktop);
    if (m_hintShown)
        area += m_keyHelp.hintArea(m_hintScreen);
    if (m_keyHelpShown)
        area += m_keyHelp.area(m_keyHelpCentre);
    for (const QRect &square : m_handles)
        area += square;
    return area + magnifierArea();
}

void OverlayScene::paintOnServer(ServerPainter &painter, const QRect &area, const QPoint &origin) const
{
    const QRect shown = area & QRect(-origin, m_marks->marked().size());
    const QRegion beyond = QRegion(area).subtracted(shown);
    painter.fill(QList<QRect>(beyond.begin(), beyond.end()), Qt::black);
    if (!shown.isEmpty())
        painter.copyPicture(shown.translated(origin), shown.topLeft());
    const QRegion dimmed = QRegion(shown).subtracted(m_selection.translated(-origin));
    painter.fill(QList<QRect>(dimmed.begin(), dimmed.end()), QColor(0, 0, 0, shadeAlpha));
    QList<QRect> sides;
    for (const QRect &side : frameRects())
        sides.append(side.translated(-origin) & area);
    painter.fill(sides, Qt::green);
}
