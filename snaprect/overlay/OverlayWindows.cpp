#include "OverlayWindows.h"

#include "OverlayScene.h"
#include "PlaceBeside.h"
#include "TSnapRectForm.h"
#include "TSnapRectSurface.h"
#include "TSnapRectToolForm.h"
#include "platform/ScreenGrabber.h"
#include "platform/ServerPainter.h"

#include <QBackingStore>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The smallest rectangle of whole pixels that holds \a rect times \a factor.
QRect scaledOutwards(const QRect &rect, qreal factor)
{
    return QRect(QPoint(int(std::floor(rect.left() * factor)), int(std::floor(rect.top() * factor))),
                 QPoint(int(std::ceil((rect.right() + 1) * factor)) - 1,
                        int(std::ceil((rect.bottom() + 1) * factor)) - 1));
}

QRect toLogical(const QRect &rect, qreal ratio)
{
    return scaledOutwards(rect, 1 / ratio);
}

// The top-left corner of \a box moved left and up just enough that the box
// ends within \a bounds, but never past their top-left corner.
QPoint keptWithin(const QRect &box, const QRect &bounds)
{
    const int x = std::max(bounds.left(), std::min(box.left(), bounds.right() + 1 - box.width()));
    const int y = std::max(bounds.top(), std::min(box.top(), bounds.bottom() + 1 - box.height()));
    return QPoint(x, y);
}

} // namespace

OverlayWindows::OverlayWindows(TSnapRectForm *form)
    : m_form(form)
{
}

OverlayWindows::~OverlayWindows()
{
    dropServerPainters();
    // Surfaces without a parent window are not deleted with the form.
    qDeleteAll(m_surfaces);
}

TSnapRectToolForm *OverlayWindows::toolbar() const
{
    return m_form->toolForm();
}

QList<QWidget *> OverlayWindows::all() const
{
    QList<QWidget *> all{m_form};
    for (TSnapRectSurface *surface : m_surfaces)
        all.append(surface);
    return all;
}

void OverlayWindows::cover(const ScreenGrabber &grabber)
{
    // The toolbar may live in a surface of the last capture.
    if (!toolbar()->isWindow() && toolbar()->parentWidget() != m_form)
        toolbar()->setParent(m_form);
    // Nothing is then left to paint into a window that goes.
    dropServerPainters();
    qDeleteAll(m_surfaces);
    m_surfaces.clear();
    QScreen *primary = QGuiApplication::primaryScreen();
    m_scale = grabber.pixelsPerUnit(primary);
    const QList<QScreen *> screens = QGuiApplication::screens();
    QRect captured;
    for (const QScreen *screen : screens)
        captured |= grabber.screenArea(screen);
    m_desktopSize = QSize(captured.right() + 1, captured.bottom() + 1);
    m_primaryArea = grabber.screenArea(primary);

    if (!grabber.needsWindowPerScreen()) {
        m_origin = QPoint(0, 0);
        const QRect desktop = grabber.desktopGeometry();
        m_form->move(desktop.topLeft());
        m_form->resize(desktop.size());
        return;
    }
    // The form over the primary screen, where the toolbar first appears.
    const bool fullScreen = !grabber.canPlaceWindows();
    m_origin = grabber.screenArea(primary).topLeft();
    placeOnScreen(m_form, primary, fullScreen);
    for (QScreen *screen : screens) {
        if (screen == primary)
            continue;
        auto *surface = new TSnapRectSurface(m_form, grabber.screenArea(screen).topLeft(),
                                             grabber.pixelsPerUnit(screen), fullScreen);
        placeOnScreen(surface, screen, fullScreen);
        m_surfaces.append(surface);
    }
    // A toolbar window could not be placed at the release point: it goes
    // inside the overlay, in the middle of the primary screen at the start of
    // each capture, wherever the last one left it.
    if (fullScreen) {
        embedToolbar(m_form, QRect(QPoint(0, 0), primary->geometry().size()).center()
                                 - QPoint(toolbar()->width(), toolbar()->height()) / 2);
    }
}

void OverlayWindows::placeOnScreen(QWidget *window, QScreen *screen, bool fullScreen)
{
    window->setScreen(screen);
    window->setGeometry(screen->geometry());
    // A compositor puts a full-screen window on the screen that the window
    // asks for; its position alone means nothing there.
    if (fullScreen)
        window->setWindowState(window->windowState() | Qt::WindowFullScreen);
}

QPoint OverlayWindows::originOf(const QWidget *surface) const
{
    return surface == m_form ? m_origin : static_cast<const TSnapRectSurface *>(surface)->origin();
}

qreal OverlayWindows::scaleOf(const QWidget *surface) const
{
    return surface == m_form ? m_scale : static_cast<const TSnapRectSurface *>(surface)->scale();
}

QRect OverlayWindows::toLocal(const QWidget *surface, const QRect &area) const
{
    return toLogical(area.translated(-originOf(surface)), scaleOf(surface));
}

QPoint OverlayWindows::toCapture(const QWidget *surface, const QPointF &position) const
{
    return originOf(surface) + (position * scaleOf(surface)).toPoint();
}

int OverlayWindows::toCapture(const QWidget *surface, int devicePixels) const
{
    // One to one where Qt draws at the capture's scale, as on X11.
    return std::max(1, int(std::lround(devicePixels * scaleOf(surface) / surface->devicePixelRatioF())));
}

QPointF OverlayWindows::toSurface(const QWidget *surface, const QPoint &p) const
{
    return QPointF(p - originOf(surface)) / scaleOf(surface);
}

QWidget *OverlayWindows::surfaceAt(const QPoint &p) const
{
    return surfaceAt(p, m_form);
}

QPointF OverlayWindows::exactPosition(const QMouseEvent *event)
{
    // Qt 6.4 rounds position() to whole units, which at scale 2 skips every
    // other device pixel; the scene position keeps the fraction. Every window
    // of the overlay is a top-level one, so its scene is the window itself.
    return event->scenePosition();
}

QPoint OverlayWindows::pointerInCapture() const
{
    const QPoint global = QCursor::pos();
    for (QWidget *surface : all()) {
        if (surface->geometry().contains(global))
            return toCapture(surface, surface->mapFromGlobal(QPointF(global)));
    }
    return QPoint(-1, -1);
}

QWidget *OverlayWindows::surfaceAt(const QPoint &p, QWidget *fallback) const
{
    for (QWidget *surface : all()) {
        const QRect area(originOf(surface), (QSizeF(surface->size()) * scaleOf(surface)).toSize());
        if (area.contains(p))
            return surface;
    }
    return fallback;
}

void OverlayWindows::paintServerDirty(const OverlayScene &scene) const
{
    for (const auto &[surface, region] : std::exchange(m_serverDirty, {})) {
        if (const auto server = m_serverPainters.find(surface); server != m_serverPainters.end())
            paintOnServer(const_cast<QWidget *>(surface), *server->second, region, scene);
    }
}

void OverlayWindows::repaint(const QRegion &changed) const
{
    for (QWidget *surface : all()) {
        const qreal scale = scaleOf(surface);
        // A pixel to spare for the window system's own rounding at
        // fractional scales.
        const int spare = qFuzzyCompare(scale, std::round(scale)) ? 0 : 1;
        QRegion dirty;
        for (const QRect &rect : changed)
            dirty += toLocal(surface, rect).adjusted(-spare, -spare, spare, spare);
        surface->update(dirty & surface->rect());
    }
}

void OverlayWindows::paintOnServer(const ScreenGrabber &grabber, const QImage &picture)
{
    dropServerPainters();
    for (QWidget *surface : all()) {
        // Only where the window's pixels are the capture's, one to one.
        if (!qFuzzyCompare(scaleOf(surface), surface->devicePixelRatio()))
            continue;
        if (std::unique_ptr<ServerPainter> painter = grabber.serverPainter(picture, surface)) {
            // Painted by the server, the window needs no buffer: Qt hands
            // its paint events over without one (see paintEngine()).
            surface->setAttribute(Qt::WA_PaintOnScreen);
            m_serverPainters[surface] = std::move(painter);
        }
    }
}

void OverlayWindows::childShown(QWidget *surface, const QObject *child)
{
    const auto server = m_serverPainters.find(surface);
    if (server == m_serverPainters.end() || !child->isWidgetType() || static_cast<const QWidget *>(child)->isWindow())
        return;
    surface->setAttribute(Qt::WA_PaintOnScreen, false);
    m_serverPainters.erase(server);
    surface->update();
}

void OverlayWindows::dropServerPainters()
{
    for (const auto &[surface, painter] : m_serverPainters)
        const_cast<QWidget *>(surface)->setAttribute(Qt::WA_PaintOnScreen, false);
    m_serverPainters.clear();
    // Qt paints those windows from now on, what was gathered as well.
    for (const auto &[surface, region] : std::exchange(m_serverDirty, {}))
        const_cast<QWidget *>(surface)->update(region);
}

void OverlayWindows::paintOnServer(QWidget *surface, ServerPainter &painter, const QRegion &region,
                                   const OverlayScene &scene) const
{
    const QPoint origin = originOf(surface);
    const qreal ratio = scaleOf(surface);
    const QRect window = scaledOutwards(surface->rect(), ratio);
    QRegion areas;
    for (const QRect &dirty : region)
        areas += scaledOutwards(dirty, ratio) & window;
    const QRegion byHand = scene.painterArea().translated(-origin) & areas;
    for (const QRect &area : areas.subtracted(byHand))
        scene.paintOnServer(painter, area, origin);
    // Texts and marks as QPainter draws them in a window's buffer, in
    // pieces as large as they are.
    for (const QRect &area : byHand) {
        QImage piece(area.size(), QImage::Format_RGB32);
        {
            QPainter piecePainter(&piece);
            piecePainter.translate(-area.topLeft());
            piecePainter.setClipRect(area);
            scene.paint(piecePainter, {area}, origin);
        }
        painter.put(piece, area.topLeft());
    }
    painter.flush();
}

void OverlayWindows::paint(QWidget *surface, const QRegion &region, const OverlayScene &scene) const
{
    if (m_serverPainters.count(surface)) {
        // A window that Qt maps gets an expose of Qt's own at the map, then
        // the server's, and the update asked for before: for the server each
        // a copy of the whole screen and a shade over it. Gathered, they are
        // painted once, when the events queued meanwhile have been handled.
        const bool scheduled = !m_serverDirty.empty();
        m_serverDirty[surface] += region;
        if (!scheduled)
            QMetaObject::invokeMethod(m_form, [this, &scene] { paintServerDirty(scene); }, Qt::QueuedConnection);
        return;
    }
    QPainter painter(surface);
    // The capture's pixels per unit; where it differs from the window's own
    // ratio (a compositor that scales by 1.5 while Qt draws at 2), the
    // picture is scaled into the window's buffer.
    const qreal ratio = scaleOf(surface);
    if (!qFuzzyCompare(ratio, surface->devicePixelRatio()))
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Everything is drawn in the capture's pixels, one to one with the
    // screen's, relative to the surface's origin.
    painter.setTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    QList<QRect> areas;
    for (const QRect &dirty : region)
        areas.append(scaledOutwards(dirty, ratio));
    scene.paint(painter, areas, originOf(surface));
}

void OverlayWindows::setCursor(Qt::CursorShape shape) const
{
    // Called at each move of the pointer: a window's cursor is set anew only
    // when its shape changes.
    for (QWidget *surface : all()) {
        if (surface->cursor().shape() != shape)
            surface->setCursor(shape);
    }
}

void OverlayWindows::hideToolbar()
{
    m_toolbarFrame = toolbarFrame();
    toolbar()->setVisible(false);
}

QMargins OverlayWindows::toolbarFrame() const
{
    // The window's own figure, which the widget's may lag behind; none while
    // the window manager has yet to frame the window again.
    const QWindow *window = toolbar()->isWindow() && toolbar()->isVisible() ? toolbar()->windowHandle() : nullptr;
    const QMargins seen = window ? window->frameMargins() : QMargins();
    return seen.isNull() ? m_toolbarFrame : seen;
}

void OverlayWindows::moveToolbarFrame(const QPoint &topLeft)
{
    // Qt places a window's frame by the frame that it last saw round it, and
    // a hidden window has none; the window is placed by its inside instead.
    toolbar()->setGeometry(QRect(topLeft + QPoint(m_toolbarFrame.left(), m_toolbarFrame.top()), toolbar()->size()));
}

void OverlayWindows::placeToolbarAt(const QPoint &p, const QPoint &global, QWidget *receiver)
{
    QWidget *surface = surfaceAt(p, receiver);
    // The toolbar's frame goes to the release point, pushed back from the
    // screen's right and bottom edges as far as it would cross them: a
    // toolbar beyond the edge has buttons that no click reaches.
    if (toolbar()->isWindow()) {
        const QScreen *screen = QGuiApplication::screenAt(global);
        const QRect frame(global, toolbar()->size().grownBy(m_toolbarFrame));
        moveToolbarFrame(screen ? keptWithin(frame, screen->geometry()) : global);
        keepToolbarAbove(surface);
    } else {
        const QPoint at = (QPointF(p - originOf(surface)) / scaleOf(surface)).toPoint();
        embedToolbar(surface, keptWithin(QRect(at, toolbar()->size()), surface->rect()));
    }
}

void OverlayWindows::placeToolbarBeside(const QRect &selection, const QPoint &p, const QPoint &global,
                                        QWidget *receiver)
{
    QWidget *surface = surfaceAt(selection.center(), receiver);
    // A little apart, so that the frame stays in sight.
    QRect around = toLocal(surface, selection).adjusted(-4, -4, 4, 4);
    if (toolbar()->isWindow()) {
        // On the screen, its frame too, within the screen of the selection.
        around.translate(surface->geometry().topLeft());
        const QScreen *screen = QGuiApplication::screenAt(around.center());
        const QSize size = toolbar()->size().grownBy(m_toolbarFrame);
        const std::optional<QRect> place = screen ? placeBeside(around, size, screen->geometry()) : std::nullopt;
        if (!place)
            return placeToolbarAt(p, global, receiver);
        moveToolbarFrame(place->topLeft());
        keepToolbarAbove(surface);
        return;
    }
    // Each surface is one screen.
    const std::optional<QRect> place = placeBeside(around, toolbar()->size(), surface->rect());
    if (!place)
        return placeToolbarAt(p, global, receiver);
    embedToolbar(surface, place->topLeft());
}

QRect OverlayWindows::toolbarArea() const
{
    if (!toolbar()->isVisible())
        return {};
    const QWidget *surface = toolbar()->parentWidget();
    QRect area = toolbar()->geometry();
    if (toolbar()->isWindow()) {
        area = area.marginsAdded(toolbarFrame());
        surface = m_form;
        for (QWidget *candidate : all()) {
            if (candidate->geometry().contains(area.center()))
                surface = candidate;
        }
        area.translate(-surface->geometry().topLeft());
    }
    return QRect(toCapture(surface, area.topLeft()), toCapture(surface, area.bottomRight() + QPoint(1, 1)) - QPoint(1, 1));
}

void OverlayWindows::embedToolbar(QWidget *surface, const QPoint &at)
{
    if (toolbar()->parentWidget() != surface || toolbar()->isWindow()) {
        const bool visible = toolbar()->isVisible();
        toolbar()->setParent(surface, Qt::Widget);
        toolbar()->setVisible(visible);
    }
    toolbar()->move(at);
    toolbar()->raise();
}

QWidget *OverlayWindows::surfaceUnderToolbar() const
{
    // Never placed by the overlay, the toolbar first shows over the form.
    if (!toolbar()->testAttribute(Qt::WA_Moved))
        return m_form;
    const QScreen *screen = QGuiApplication::screenAt(toolbar()->frameGeometry().center());
    for (QWidget *surface : all()) {
        if (surface->screen() == screen)
            return surface;
    }
    return m_form;
}

void OverlayWindows::keepToolbarAbove()
{
    keepToolbarAbove(surfaceUnderToolbar());
}

void OverlayWindows::keepToolbarAbove(QWidget *surface)
{
    // A window manager keeps a dialog above the window that it is transient
    // for, also when that window is full-screen and has the focus: openbox
    // then lifts such a window over all others, the toolbar too unless it
    // belongs to that window. It takes effect when the toolbar is shown.
    toolbar()->winId(); // its window, made now if it has none yet
    if (surface->windowHandle())
        toolbar()->windowHandle()->setTransientParent(surface->windowHandle());
}

QWidget *OverlayWindows::dialogParent() const
{
    // The save dialog belongs over the screen the user is working on.
    for (TSnapRectSurface *surface : m_surfaces) {
        if (surface->isActiveWindow())
            return surface;
    }
    return m_form;
}

void OverlayWindows::releaseBuffers() const
{
    // A hidden window keeps a buffer as large as the screen it covered; the
    // next show makes a new one. (An empty size is not one that every
    // platform's buffer takes: one pixel is.)
    for (QWidget *surface : all()) {
        if (QBackingStore *store = surface->backingStore())
            store->resize(QSize(1, 1));
    }
}
