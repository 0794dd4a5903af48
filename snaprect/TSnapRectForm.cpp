#include "TSnapRectForm.h"

#include "PixelOps.h"
#include "SaveImage.h"
#include "TSnapRectSurface.h"
#include "TSnapRectToolForm.h"
#include "platform/LargeImage.h"
#include "platform/ScreenGrabber.h"

#include <QAbstractButton>
#include <QBackingStore>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <cmath>
#include <cstdlib>

namespace {

// The shade over the picture: black at this opacity out of 255.
constexpr int shadeAlpha = 100;

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

// The band of \a width along the inside of \a area's edges.
QRegion outline(const QRect &area, int width)
{
    return QRegion(area).subtracted(area.adjusted(width, width, -width, -width));
}

} // namespace

TSnapRectForm::TSnapRectForm(QWidget *parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Framzel－局部截图"));
    setAccessibleName(QStringLiteral("局部截图"));
    // paintEvent() covers every pixel; the background need not be filled first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The magnifier follows the pointer also when no button is held.
    setMouseTracking(true);
    m_toolForm = new TSnapRectToolForm(this);
    connect(m_toolForm, &TSnapRectToolForm::onSave, this, &TSnapRectForm::onSave);
    connect(m_toolForm, &TSnapRectToolForm::onReSelect, this, &TSnapRectForm::onReSelect);
    connect(m_toolForm, &TSnapRectToolForm::onExit, this, &TSnapRectForm::onExit);
    connect(m_toolForm, &TSnapRectToolForm::otherKey, this, &TSnapRectForm::handleKey);
    // The whole-screen button has no signal of its own on the toolbar; a click
    // on it does what F does.
    connect(m_toolForm->fullScreenButton(), &QAbstractButton::clicked, this, &TSnapRectForm::fullScreenSave);
}

TSnapRectForm::~TSnapRectForm()
{
    waitForWindowMemory();
    // Surfaces without a parent window are not deleted with the form.
    qDeleteAll(m_surfaces);
}

QRect TSnapRectForm::selectionRect() const
{
    return QRect(QPoint(m_left, m_top), QPoint(m_right - 1, m_bottom - 1));
}

QList<QWidget *> TSnapRectForm::surfaces() const
{
    QList<QWidget *> all{const_cast<TSnapRectForm *>(this)};
    for (TSnapRectSurface *surface : m_surfaces)
        all.append(surface);
    return all;
}

void TSnapRectForm::snapRect()
{
    // The last capture's pictures go before the next one is taken, so that
    // a capture never holds two.
    releasePictures();
    snapRect(ScreenGrabber::instance().grabDesktop());
}

void TSnapRectForm::snapRect(const QPixmap &desktop)
{
    onReSelect();
    waitForWindowMemory();
    // Where the screens lie in the picture may depend on the picture (the
    // portal's scale), so they are covered once it is there.
    coverScreens(ScreenGrabber::instance());
    // The picture is dimmed where it is painted: a dimmed copy would be
    // another picture as large as the desktop to fill before the overlay can
    // show, and to keep while it does.
    m_fullPixmap = desktop;
    m_taken = QDateTime::currentDateTime();
    m_windows = ScreenGrabber::instance().windowsAtGrab();
    m_magnifying = m_keyHelpShown = false;
    for (QWidget *surface : surfaces())
        surface->update();
    // A toolbar window waits for the overlay's windows: see showEvent().
    if (!m_toolForm->isWindow() || isVisible())
        m_toolForm->setVisible(true);
}

void TSnapRectForm::coverScreens(const ScreenGrabber &grabber)
{
    // The toolbar may live in a surface of the last capture.
    if (!m_toolForm->isWindow() && m_toolForm->parentWidget() != this)
        m_toolForm->setParent(this);
    qDeleteAll(m_surfaces);
    m_surfaces.clear();
    QScreen *primary = QGuiApplication::primaryScreen();
    m_scale = grabber.pixelsPerUnit(primary);
    m_frameWidth = qMax(1, qRound(m_scale));
    m_readout = SelectionReadout(m_scale);
    m_magnifier = Magnifier(m_scale);
    m_keyHelp = KeyHelp(m_scale);
    const QList<QScreen *> screens = QGuiApplication::screens();
    QRect captured;
    for (const QScreen *screen : screens)
        captured |= grabber.screenArea(screen);
    m_desktopSize = QSize(captured.right() + 1, captured.bottom() + 1);

    if (!grabber.needsWindowPerScreen()) {
        m_origin = QPoint(0, 0);
        const QRect desktop = grabber.desktopGeometry();
        move(desktop.topLeft());
        resize(desktop.size());
        return;
    }
    // The form over the primary screen, where the toolbar first appears.
    const bool fullScreen = !grabber.canPlaceWindows();
    m_origin = grabber.screenArea(primary).topLeft();
    placeOnScreen(this, primary, fullScreen);
    for (QScreen *screen : screens) {
        if (screen == primary)
            continue;
        auto *surface = new TSnapRectSurface(this, grabber.screenArea(screen).topLeft(),
                                             grabber.pixelsPerUnit(screen), fullScreen);
        placeOnScreen(surface, screen, fullScreen);
        m_surfaces.append(surface);
    }
    // A toolbar window could not be placed at the release point: it goes
    // inside the overlay, in the middle of the primary screen at the start of
    // each capture, wherever the last one left it.
    if (fullScreen) {
        embedToolbar(this, QRect(QPoint(0, 0), primary->geometry().size()).center()
                               - QPoint(m_toolForm->width(), m_toolForm->height()) / 2);
    }
}

void TSnapRectForm::placeOnScreen(QWidget *window, QScreen *screen, bool fullScreen)
{
    window->setScreen(screen);
    window->setGeometry(screen->geometry());
    // A compositor puts a full-screen window on the screen that the window
    // asks for; its position alone means nothing there.
    if (fullScreen)
        window->setWindowState(window->windowState() | Qt::WindowFullScreen);
}

void TSnapRectForm::embedToolbar(QWidget *surface, const QPoint &at)
{
    if (m_toolForm->parentWidget() != surface || m_toolForm->isWindow()) {
        const bool visible = m_toolForm->isVisible();
        m_toolForm->setParent(surface, Qt::Widget);
        m_toolForm->setVisible(visible);
    }
    m_toolForm->move(at);
    m_toolForm->raise();
}

QWidget *TSnapRectForm::surfaceAt(const QPoint &p, QWidget *fallback) const
{
    for (QWidget *surface : surfaces()) {
        const qreal scale = scaleOf(surface);
        const QRect area(originOf(surface), (QSizeF(surface->size()) * scale).toSize());
        if (area.contains(p))
            return surface;
    }
    return fallback;
}

QWidget *TSnapRectForm::surfaceUnderToolbar() const
{
    // Never placed by the overlay, the toolbar first shows over the form.
    if (!m_toolForm->testAttribute(Qt::WA_Moved))
        return const_cast<TSnapRectForm *>(this);
    const QScreen *screen = QGuiApplication::screenAt(m_toolForm->frameGeometry().center());
    for (QWidget *surface : surfaces()) {
        if (surface->screen() == screen)
            return surface;
    }
    return const_cast<TSnapRectForm *>(this);
}

void TSnapRectForm::keepToolbarAbove(QWidget *surface)
{
    // A window manager keeps a dialog above the window that it is transient
    // for, also when that window is full-screen and has the focus: openbox
    // then lifts such a window over all others, the toolbar too unless it
    // belongs to that window. It takes effect when the toolbar is shown.
    m_toolForm->winId(); // its window, made now if it has none yet
    if (surface->windowHandle())
        m_toolForm->windowHandle()->setTransientParent(surface->windowHandle());
}

QWidget *TSnapRectForm::dialogParent()
{
    // The save dialog belongs over the screen the user is working on.
    for (TSnapRectSurface *surface : std::as_const(m_surfaces)) {
        if (surface->isActiveWindow())
            return surface;
    }
    return this;
}

void TSnapRectForm::releasePictures()
{
    m_fullPixmap = QPixmap();
}

void TSnapRectForm::prepare()
{
    ScreenGrabber &grabber = ScreenGrabber::instance();
    // Only where the window's place does not wait for the picture.
    if (grabber.canPlaceWindows() && !grabber.needsWindowPerScreen() && !isVisible()) {
        waitForWindowMemory();
        setGeometry(grabber.desktopGeometry());
        create();
        QBackingStore *store = backingStore();
        // The window's buffer, as large as the desktop, gets its memory in
        // one go rather than a page fault at a time during the first paint;
        // on another thread, while this one readies the grab.
        if (store) {
            store->resize(size());
            QPaintDevice *device = store->paintDevice();
            if (device && device->devType() == QInternal::Image) {
                const QImage buffer = *static_cast<QImage *>(device);
                m_windowMemory = std::async(std::launch::async, [buffer] { prefault(buffer); });
            }
        }
    }
    grabber.prepare();
}

void TSnapRectForm::waitForWindowMemory()
{
    // The buffer must stay while its memory is being readied.
    if (m_windowMemory.valid())
        m_windowMemory.get();
}

void TSnapRectForm::releaseWindowMemory()
{
    waitForWindowMemory();
    // A hidden window keeps a buffer as large as the screen it covered; the
    // next show makes a new one. (An empty size is not one that every
    // platform's buffer takes: one pixel is.)
    for (QWidget *surface : surfaces()) {
        if (QBackingStore *store = surface->backingStore())
            store->resize(QSize(1, 1));
    }
}

void TSnapRectForm::onSave()
{
    if (m_saveTakesSelection) {
        takeSelection();
        return;
    }
    if (!saveImage(dialogParent(), m_fullPixmap.copy(selectionRect()), m_taken).isEmpty())
        emit saved();
    takeKeyboardBack();
}

void TSnapRectForm::onReSelect()
{
    const QRect before = selectionArea();
    m_left = m_top = m_right = m_bottom = -1;
    m_startPos = QPoint(-1, -1);
    m_state = Selecting;
    repaintChange(before);
}

void TSnapRectForm::fullScreenSave()
{
    if (!saveImage(dialogParent(), m_fullPixmap, m_taken).isEmpty())
        emit saved();
    takeKeyboardBack();
}

void TSnapRectForm::takeKeyboardBack()
{
    // Without a window manager nobody hands the keyboard back to the overlay
    // when the save dialog closes, and S, F and Q would go nowhere.
    if (isVisible())
        activateWindow();
}

void TSnapRectForm::takeSelection()
{
    emit selectionTaken(m_fullPixmap.copy(selectionRect()));
    onExit();
}

void TSnapRectForm::onExit()
{
    close();
    m_toolForm->close();
    releasePictures();
}

void TSnapRectForm::beginRectangle(const QPoint &p)
{
    m_left = m_right = p.x();
    m_top = m_bottom = p.y();
    m_startPos = p;
    setSurfaceCursor(Qt::CrossCursor);
}

bool TSnapRectForm::isStrictlyInside(const QPoint &p) const
{
    return m_left < p.x() && p.x() < m_right && m_top < p.y() && p.y() < m_bottom;
}

void TSnapRectForm::moveRectangle(const QPoint &p)
{
    shiftRectangle(p - m_lastPos);
    m_lastPos = p;
}

void TSnapRectForm::shiftRectangle(const QPoint &d)
{
    m_left += d.x();
    m_right += d.x();
    m_top += d.y();
    m_bottom += d.y();
    const int w = std::abs(m_right - m_left);
    const int h = std::abs(m_bottom - m_top);
    // Left and top first, then right and bottom.
    if (m_left < 0) {
        m_left = 0;
        m_right = w;
    }
    if (m_top < 0) {
        m_top = 0;
        m_bottom = h;
    }
    if (m_right > m_desktopSize.width()) {
        m_right = m_desktopSize.width();
        m_left = m_desktopSize.width() - w;
    }
    if (m_bottom > m_desktopSize.height()) {
        m_bottom = m_desktopSize.height();
        m_top = m_desktopSize.height() - h;
    }
}

void TSnapRectForm::resizeRectangle(const QPoint &d)
{
    // Never less than one pixel, never past the desktop: a rectangle of no
    // width held at the right edge gives up its last column.
    m_left = qMin(m_left, m_desktopSize.width() - 1);
    m_top = qMin(m_top, m_desktopSize.height() - 1);
    m_right = qBound(m_left + 1, m_right + d.x(), m_desktopSize.width());
    m_bottom = qBound(m_top + 1, m_bottom + d.y(), m_desktopSize.height());
}

void TSnapRectForm::setSurfaceCursor(Qt::CursorShape shape)
{
    for (QWidget *surface : surfaces())
        surface->setCursor(shape);
}

QPoint TSnapRectForm::originOf(const QWidget *surface) const
{
    return surface == this ? m_origin : static_cast<const TSnapRectSurface *>(surface)->origin();
}

qreal TSnapRectForm::scaleOf(const QWidget *surface) const
{
    return surface == this ? m_scale : static_cast<const TSnapRectSurface *>(surface)->scale();
}

QPoint TSnapRectForm::toCapture(const QWidget *surface, const QPointF &position) const
{
    return originOf(surface) + (position * scaleOf(surface)).toPoint();
}

QRect TSnapRectForm::selectionBox() const
{
    return QRect(m_left, m_top, m_right - m_left, m_bottom - m_top);
}

QRect TSnapRectForm::selectionArea() const
{
    // The frame lies on the first column and row and just past the last ones.
    return QRect(m_left, m_top, m_right - m_left + m_frameWidth, m_bottom - m_top + m_frameWidth);
}

void TSnapRectForm::repaintChange(const QRect &before)
{
    // Only what changed is painted again: what came into the selection or
    // left it, and both frames. A drag then costs what the pointer swept,
    // not the size of the selection.
    const QRect after = selectionArea();
    const int k = m_frameWidth;
    describeSelection();
    repaintCapture(QRegion(before).xored(after) + outline(before, k) + outline(after, k)
                   + m_readout.area(before.adjusted(0, 0, -k, -k), m_desktopSize)
                   + m_readout.area(selectionBox(), m_desktopSize));
}

void TSnapRectForm::describeSelection()
{
    setAccessibleDescription(m_left < 0 ? QStringLiteral("未选择区域")
                                        : QStringLiteral("选区 %1 × %2 像素").arg(m_right - m_left).arg(m_bottom - m_top));
}

void TSnapRectForm::repaintCapture(const QRegion &changed)
{
    for (QWidget *surface : surfaces()) {
        const qreal scale = scaleOf(surface);
        // A pixel to spare for the window system's own rounding at
        // fractional scales.
        const int spare = qFuzzyCompare(scale, std::round(scale)) ? 0 : 1;
        QRegion dirty;
        for (const QRect &rect : changed)
            dirty += toLogical(rect.translated(-originOf(surface)), scale).adjusted(-spare, -spare, spare, spare);
        surface->update(dirty & surface->rect());
    }
}

void TSnapRectForm::pressAt(const QPoint &p)
{
    const QRect before = selectionArea();
    if (m_state == Selected && isStrictlyInside(p)) {
        m_lastPos = p;
        setSurfaceCursor(Qt::SizeAllCursor);
    } else {
        beginRectangle(p);
        m_state = Selecting;
    }
    repaintChange(before);
    m_toolForm->setVisible(false);
}

void TSnapRectForm::moveTo(const QPoint &p)
{
    const QRect before = selectionArea();
    if (m_state == Selecting) {
        m_left = qMin(m_startPos.x(), p.x());
        m_top = qMin(m_startPos.y(), p.y());
        m_right = qMax(m_startPos.x(), p.x());
        m_bottom = qMax(m_startPos.y(), p.y());
    } else {
        moveRectangle(p);
    }
    repaintChange(before);
}

void TSnapRectForm::pointerMoved(const QPoint &p, const QMouseEvent *event)
{
    if (event->buttons() != Qt::NoButton)
        moveTo(p);
    setMagnifier(event->modifiers() & Qt::ShiftModifier, p);
}

void TSnapRectForm::releaseAt(const QPoint &p, const QPoint &globalPosition, QWidget *receiver)
{
    m_state = Selected;
    setSurfaceCursor(Qt::ArrowCursor);
    if (m_toolForm->isWindow()) {
        // The toolbar's frame goes to the release point on the screen.
        m_toolForm->move(globalPosition);
        keepToolbarAbove(surfaceAt(p, receiver));
    } else {
        QWidget *surface = surfaceAt(p, receiver);
        embedToolbar(surface, (QPointF(p - originOf(surface)) / scaleOf(surface)).toPoint());
    }
    m_toolForm->setVisible(true);
}

bool TSnapRectForm::isCopyKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->matches(QKeySequence::Copy);
}

bool TSnapRectForm::claimOverlayKey(QEvent *event)
{
    // The overlay's keys are the overlay's, also where the toolbar sits
    // inside its window with shortcuts for the same keys: a shortcut override
    // taken here makes them plain key presses.
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    if (isCopyKey(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Q:
    case Qt::Key_Escape:
    case Qt::Key_S:
    case Qt::Key_R:
    case Qt::Key_F:
        event->accept();
        return true;
    default:
        return false;
    }
}

bool TSnapRectForm::event(QEvent *event)
{
    // Showing a window asks for a full repaint later, which comes after the
    // first exposure has painted everything already: once is enough.
    if (event->type() == QEvent::UpdateLater && m_paintedWhole) {
        m_paintedWhole = false;
        return true;
    }
    return claimOverlayKey(event) || QDialog::event(event);
}

void TSnapRectForm::mousePressEvent(QMouseEvent *event)
{
    pressAt(toCapture(this, event->position()));
    QDialog::mousePressEvent(event);
}

void TSnapRectForm::mouseMoveEvent(QMouseEvent *event)
{
    pointerMoved(toCapture(this, event->position()), event);
    QDialog::mouseMoveEvent(event);
}

void TSnapRectForm::mouseReleaseEvent(QMouseEvent *event)
{
    releaseAt(toCapture(this, event->position()), event->globalPosition().toPoint(), this);
    QDialog::mouseReleaseEvent(event);
}

void TSnapRectForm::keyPressEvent(QKeyEvent *event)
{
    handleKey(event);
}

void TSnapRectForm::keyReleaseEvent(QKeyEvent *event)
{
    handleKey(event);
}

void TSnapRectForm::handleKey(QKeyEvent *event)
{
    // The magnifier shows while Shift is held.
    if (event->key() == Qt::Key_Shift) {
        setMagnifier(event->type() == QEvent::KeyPress, pointerInCapture());
        event->accept();
        return;
    }
    if (event->type() != QEvent::KeyPress) {
        event->ignore();
        return;
    }
    // S, R, F, Q and Escape act whatever the modifiers but for Ctrl+C, and
    // QDialog's own Escape and Enter handling must not run: Escape leaves
    // through onExit() like Q.
    if (isCopyKey(event)) {
        takeSelection();
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Q:
    case Qt::Key_Escape:
        onExit();
        break;
    case Qt::Key_S:
        onSave();
        break;
    case Qt::Key_R:
        onReSelect();
        break;
    case Qt::Key_F:
        fullScreenSave();
        break;
    case Qt::Key_W:
        selectWindowUnderPointer();
        break;
    case Qt::Key_F1:
        toggleKeyHelp();
        break;
    default:
        event->setAccepted(nudgeSelection(event));
        return;
    }
    event->accept();
}

bool TSnapRectForm::nudgeSelection(const QKeyEvent *event)
{
    QPoint d;
    switch (event->key()) {
    case Qt::Key_Left:
        d = QPoint(-1, 0);
        break;
    case Qt::Key_Right:
        d = QPoint(1, 0);
        break;
    case Qt::Key_Up:
        d = QPoint(0, -1);
        break;
    case Qt::Key_Down:
        d = QPoint(0, 1);
        break;
    default:
        return false;
    }
    // Nothing is selected after a reset.
    if (m_left < 0 || m_top < 0)
        return true;
    if (event->modifiers() & Qt::ControlModifier)
        d *= 10;
    const QRect before = selectionArea();
    // Shift moves the right or bottom edge; otherwise the rectangle moves
    // and stops at the desktop's edges as a drag does.
    if (event->modifiers() & Qt::ShiftModifier)
        resizeRectangle(d);
    else
        shiftRectangle(d);
    repaintChange(before);
    return true;
}

void TSnapRectForm::selectWindowUnderPointer()
{
    const QPoint p = pointerInCapture();
    for (const QRect &window : std::as_const(m_windows)) {
        if (window.contains(p)) {
            const QRect before = selectionArea();
            m_left = window.left();
            m_top = window.top();
            m_right = window.right() + 1;
            m_bottom = window.bottom() + 1;
            m_state = Selected;
            repaintChange(before);
            return;
        }
    }
}

void TSnapRectForm::setMagnifier(bool shown, const QPoint &p)
{
    const QRect before = magnifierArea();
    // Not where the pointer is on none of the overlay's windows.
    m_magnifying = shown && p.x() >= 0;
    m_pointer = p;
    const QRect after = magnifierArea();
    if (after != before)
        repaintCapture(QRegion(before) + after);
}

QRect TSnapRectForm::magnifierArea() const
{
    return m_magnifying ? m_magnifier.area(m_pointer, m_desktopSize) : QRect();
}

void TSnapRectForm::toggleKeyHelp()
{
    m_keyHelpShown = !m_keyHelpShown;
    repaintCapture(m_keyHelp.area(keyHelpCentre()));
}

QPoint TSnapRectForm::keyHelpCentre() const
{
    // In the middle of the form's screen.
    return m_origin + (QPointF(width(), height()) * m_scale / 2).toPoint();
}

QPoint TSnapRectForm::pointerInCapture() const
{
    const QPoint global = QCursor::pos();
    for (QWidget *surface : surfaces()) {
        if (surface->geometry().contains(global))
            return toCapture(surface, surface->mapFromGlobal(QPointF(global)));
    }
    return QPoint(-1, -1);
}

void TSnapRectForm::paintEvent(QPaintEvent *event)
{
    m_paintedWhole = QRegion(rect()).subtracted(event->region()).isEmpty();
    paintSurface(this, event->region());
}

void TSnapRectForm::paintSurface(QWidget *surface, const QRegion &region) const
{
    QPainter painter(surface);
    const QPoint origin = originOf(surface);
    // The capture's pixels per unit; where it differs from the window's own
    // ratio (a compositor that scales by 1.5 while Qt draws at 2), the
    // picture is scaled into the window's buffer.
    const qreal ratio = scaleOf(surface);
    if (!qFuzzyCompare(ratio, surface->devicePixelRatio()))
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Everything is drawn in the capture's pixels, one to one with the
    // screen's, relative to the surface's origin.
    painter.setTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    const QRect picture(-origin, m_fullPixmap.size());
    const QRect selection = selectionBox().translated(-origin);
    const QColor shade(0, 0, 0, shadeAlpha);
    for (const QRect &dirty : region) {
        const QRect area = scaledOutwards(dirty, ratio);
        const QRect shown = area & picture;
        if (shown != area)
            painter.fillRect(area, Qt::black);
        if (shown.isEmpty())
            continue;
        painter.drawPixmap(shown, m_fullPixmap, shown.translated(origin));
        for (const QRect &outside : QRegion(shown).subtracted(selection))
            painter.fillRect(outside, shade);
    }
    paintFrame(painter, origin);
    if (m_keyHelpShown)
        m_keyHelp.paint(painter, keyHelpCentre(), origin);
    // Over everything, the frame and its label too.
    if (m_magnifying)
        m_magnifier.paint(painter, m_fullPixmap, m_pointer, m_desktopSize, origin);
}

void TSnapRectForm::paintFrame(QPainter &painter, const QPoint &origin) const
{
    // Nothing is selected after a reset, which puts the edges at -1.
    if (m_left < 0 || m_top < 0)
        return;
    // One pixel wide at scale 1: on the selection's first column and row and
    // on the ones just past its last.
    const int k = m_frameWidth;
    const int width = m_right - m_left, height = m_bottom - m_top;
    const QPoint topLeft = QPoint(m_left, m_top) - origin;
    painter.fillRect(QRect(topLeft, QSize(width + k, k)), Qt::green);
    painter.fillRect(QRect(topLeft + QPoint(0, height), QSize(width + k, k)), Qt::green);
    painter.fillRect(QRect(topLeft, QSize(k, height + k)), Qt::green);
    painter.fillRect(QRect(topLeft + QPoint(width, 0), QSize(k, height + k)), Qt::green);
    m_readout.paint(painter, selectionBox(), m_desktopSize, origin);
}

void TSnapRectForm::showEvent(QShowEvent *event)
{
    m_paintedWhole = false;
    QDialog::showEvent(event);
    for (TSnapRectSurface *surface : m_surfaces)
        surface->show();
    // A toolbar window is shown once every overlay window is on screen. Shown
    // earlier, a window manager may stack an overlay window above it: openbox,
    // for one, counts an undecorated window of the monitor's size as
    // full-screen and lifts it over all windows but its own transients, and
    // takes a window as transient only for one that it manages already.
    // (Hiding the toolbar and showing it again races with the window manager,
    // which may then lose the toolbar altogether.)
    m_windowsToExpose = 0;
    for (QWidget *surface : surfaces()) {
        if (QWindow *window = surface->windowHandle()) {
            window->installEventFilter(this);
            ++m_windowsToExpose;
        }
    }
}

void TSnapRectForm::hideEvent(QHideEvent *event)
{
    for (TSnapRectSurface *surface : m_surfaces)
        surface->hide();
    QDialog::hideEvent(event);
    releaseWindowMemory();
}

bool TSnapRectForm::eventFilter(QObject *watched, QEvent *event)
{
    auto *window = qobject_cast<QWindow *>(watched);
    if (event->type() == QEvent::Expose && window && window->isExposed()) {
        window->removeEventFilter(this);
        if (--m_windowsToExpose == 0 && m_toolForm->isWindow()) {
            keepToolbarAbove(surfaceUnderToolbar());
            m_toolForm->setVisible(true);
        }
    }
    return QDialog::eventFilter(watched, event);
}
