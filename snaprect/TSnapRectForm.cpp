#include "TSnapRectForm.h"

#include "SaveImage.h"
#include "TSnapRectScreen.h"
#include "TSnapRectToolForm.h"
#include "platform/ScreenGrabber.h"

#include <OvUtils.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <cstdlib>

namespace {
const QColor shadeColour(0, 0, 0, 100);
}

TSnapRectForm::TSnapRectForm(QWidget *parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Framzel－局部截图"));
    m_toolForm = new TSnapRectToolForm(this);
    connect(m_toolForm, &TSnapRectToolForm::onSave, this, &TSnapRectForm::onSave);
    connect(m_toolForm, &TSnapRectToolForm::onReSelect, this, &TSnapRectForm::onReSelect);
    connect(m_toolForm, &TSnapRectToolForm::onExit, this, &TSnapRectForm::onExit);
    // The whole-screen button has no signal of its own on the toolbar; a click
    // on it does what F does.
    connect(m_toolForm->fullScreenButton(), &QAbstractButton::clicked, this, &TSnapRectForm::fullScreenSave);
}

TSnapRectForm::~TSnapRectForm()
{
    qDeleteAll(m_screens);
}

QRect TSnapRectForm::selectionRect() const
{
    return QRect(QPoint(m_left, m_top), QPoint(m_right - 1, m_bottom - 1));
}

void TSnapRectForm::snapRect()
{
    snapRect(ScreenGrabber::instance().grabDesktop());
}

void TSnapRectForm::snapRect(const QPixmap &desktopPicture)
{
    onReSelect();
    ScreenGrabber &grabber = ScreenGrabber::instance();
    const QRect desktop = grabber.desktopGeometry();
    m_desktopSize = desktop.size();
    const bool perScreen = grabber.needsWindowPerScreen();
    if (perScreen) {
        coverScreens(desktop);
    } else {
        move(desktop.topLeft());
        resize(desktop.size());
    }
    m_fullPixmap = desktopPicture;

    m_shadedPixmap = m_fullPixmap;
    {
        QPainter painter(&m_shadedPixmap);
        painter.fillRect(QRectF(QPointF(0, 0), m_shadedPixmap.deviceIndependentSize()), shadeColour);
    }
    // With a window per screen every window paints its own part; a
    // background scaled from the whole desktop would only be wrong there.
    if (!perScreen)
        ov::drawImage(this, m_shadedPixmap, size());
    m_toolForm->setVisible(true);
}

QList<QWidget *> TSnapRectForm::screenSurfaces() const
{
    return {m_screens.cbegin(), m_screens.cend()};
}

void TSnapRectForm::coverScreens(const QRect &desktop)
{
    // This window takes the primary screen, one TSnapRectScreen each other
    // screen; windows of screens that have gone go with them.
    QScreen *own = QGuiApplication::primaryScreen();
    if (!own)
        return;
    QList<QScreen *> others = QGuiApplication::screens();
    others.removeAll(own);
    // A window cannot place a window of its own here: the toolbar goes
    // inside the overlay, first in the middle of this window's screen.
    bool toolbarHomeless = m_toolForm->isWindow();
    for (auto it = m_screens.begin(); it != m_screens.end();) {
        if (others.contains((*it)->targetScreen())) {
            others.removeAll((*it)->targetScreen());
            ++it;
        } else {
            if (m_toolForm->parentWidget() == *it) {
                m_toolForm->setParent(this);
                toolbarHomeless = true;
            }
            delete *it;
            it = m_screens.erase(it);
        }
    }
    for (QScreen *screen : others)
        m_screens.append(new TSnapRectScreen(this, screen));

    TSnapRectScreen::coverScreen(this, own);
    m_surfaceOffset = own->geometry().topLeft() - desktop.topLeft();
    for (TSnapRectScreen *surface : std::as_const(m_screens))
        surface->cover(desktop);

    if (toolbarHomeless)
        embedToolbar(this, QRect(QPoint(0, 0), own->geometry().size()).center()
                               - QPoint(m_toolForm->width(), m_toolForm->height()) / 2);
}

void TSnapRectForm::embedToolbar(QWidget *surface, const QPoint &at)
{
    if (m_toolForm->parentWidget() != surface || m_toolForm->isWindow()) {
        m_toolForm->setParent(surface, Qt::Widget);
        // Keys stay with the overlay's window: a focused button would take
        // Escape as the start of its two-key shortcut.
        for (QWidget *child : m_toolForm->findChildren<QWidget *>())
            child->setFocusPolicy(Qt::NoFocus);
    }
    m_toolForm->move(at);
}

QWidget *TSnapRectForm::surfaceAt(const QPoint &p, QWidget *fallback)
{
    if (QRect(m_surfaceOffset, size()).contains(p))
        return this;
    for (TSnapRectScreen *surface : std::as_const(m_screens)) {
        if (QRect(surface->offset(), surface->size()).contains(p))
            return surface;
    }
    return fallback;
}

QPoint TSnapRectForm::surfaceOffset(const QWidget *surface) const
{
    if (surface == this)
        return m_surfaceOffset;
    return static_cast<const TSnapRectScreen *>(surface)->offset();
}

QWidget *TSnapRectForm::dialogParent()
{
    // The save dialog belongs over the screen the user is working on.
    for (TSnapRectScreen *surface : std::as_const(m_screens)) {
        if (surface->isActiveWindow())
            return surface;
    }
    return this;
}

QRect TSnapRectForm::pictureRect(const QRect &area) const
{
    const qreal scale = m_fullPixmap.devicePixelRatio();
    if (scale == 1.0 || area.isEmpty())
        return area;
    const QPoint topLeft(qRound(area.left() * scale), qRound(area.top() * scale));
    const QPoint end(qRound((area.right() + 1) * scale), qRound((area.bottom() + 1) * scale));
    return QRect(topLeft, end - QPoint(1, 1));
}

void TSnapRectForm::updateSurfaces()
{
    update();
    for (TSnapRectScreen *surface : std::as_const(m_screens))
        surface->update();
}

void TSnapRectForm::setSurfaceCursor(Qt::CursorShape shape)
{
    setCursor(shape);
    for (TSnapRectScreen *surface : std::as_const(m_screens))
        surface->setCursor(shape);
}

void TSnapRectForm::onSave()
{
    saveImage(dialogParent(), m_fullPixmap.copy(pictureRect(selectionRect())));
    takeKeyboardBack();
}

void TSnapRectForm::onReSelect()
{
    m_left = m_top = m_right = m_bottom = -1;
    m_startPos = QPoint(-1, -1);
    m_state = Selecting;
    updateSurfaces();
}

void TSnapRectForm::fullScreenSave()
{
    saveImage(dialogParent(), m_fullPixmap);
    takeKeyboardBack();
}

void TSnapRectForm::takeKeyboardBack()
{
    // Without a window manager nobody hands the keyboard back to the overlay
    // when the save dialog closes, and S, F and Q would go nowhere.
    if (isVisible())
        activateWindow();
}

void TSnapRectForm::onExit()
{
    close();
    m_toolForm->close();
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
    const QPoint d = p - m_lastPos;
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
    m_lastPos = p;
}

void TSnapRectForm::mousePressEvent(QMouseEvent *event)
{
    pressAt(event->position().toPoint() + m_surfaceOffset);
    QDialog::mousePressEvent(event);
}

void TSnapRectForm::mouseMoveEvent(QMouseEvent *event)
{
    moveTo(event->position().toPoint() + m_surfaceOffset);
    QDialog::mouseMoveEvent(event);
}

void TSnapRectForm::mouseReleaseEvent(QMouseEvent *event)
{
    releaseAt(event->position().toPoint() + m_surfaceOffset, event->globalPosition().toPoint(), this);
    QDialog::mouseReleaseEvent(event);
}

void TSnapRectForm::pressAt(const QPoint &p)
{
    if (m_state == Selected && isStrictlyInside(p)) {
        m_lastPos = p;
        setSurfaceCursor(Qt::SizeAllCursor);
    } else {
        beginRectangle(p);
        m_state = Selecting;
    }
    updateSurfaces();
    m_toolForm->setVisible(false);
}

void TSnapRectForm::moveTo(const QPoint &p)
{
    if (m_state == Selecting) {
        m_left = qMin(m_startPos.x(), p.x());
        m_top = qMin(m_startPos.y(), p.y());
        m_right = qMax(m_startPos.x(), p.x());
        m_bottom = qMax(m_startPos.y(), p.y());
    } else {
        moveRectangle(p);
    }
    updateSurfaces();
}

void TSnapRectForm::releaseAt(const QPoint &p, const QPoint &globalPos, QWidget *receiver)
{
    m_state = Selected;
    setSurfaceCursor(Qt::ArrowCursor);
    updateSurfaces();
    if (m_toolForm->isWindow()) {
        // The toolbar's frame goes to the release point on the screen.
        m_toolForm->move(globalPos);
    } else {
        QWidget *surface = surfaceAt(p, receiver);
        embedToolbar(surface, p - surfaceOffset(surface));
    }
    m_toolForm->setVisible(true);
}

bool TSnapRectForm::claimOverlayKey(QEvent *event)
{
    // The overlay's keys are the overlay's, also where the toolbar sits
    // inside its window with shortcuts for the same keys: a shortcut override
    // taken here makes them plain key presses.
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Q && key != Qt::Key_Escape && key != Qt::Key_S && key != Qt::Key_R && key != Qt::Key_F)
        return false;
    event->accept();
    return true;
}

void TSnapRectForm::keyPressEvent(QKeyEvent *event)
{
    // Modifiers are not looked at, and QDialog's own Escape handling must
    // not run: Escape leaves through onExit() like Q.
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
    default:
        break;
    }
}

void TSnapRectForm::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintDesktop(painter, m_surfaceOffset);
}

void TSnapRectForm::paintDesktop(QPainter &painter, const QPoint &surfaceOffset)
{
    painter.translate(-surfaceOffset);
    painter.setPen(QPen(Qt::green, 1, Qt::SolidLine));
    painter.drawPixmap(QPointF(0, 0), m_shadedPixmap);
    const QRect selection = selectionRect();
    if (m_right - m_left > 0 && m_bottom - m_top > 0)
        painter.drawPixmap(QPointF(m_left, m_top), m_fullPixmap.copy(pictureRect(selection)));
    painter.drawRects(&selection, 1);
}

void TSnapRectForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The toolbar is shown before the overlay, and a window manager may stack
    // the overlay above it: openbox, for one, counts an undecorated window of
    // the monitor's size as full-screen and lifts it over its own transients,
    // ignoring raise requests. Mapping the toolbar again once the overlay is
    // on screen puts it back on top.
    if (QWindow *window = windowHandle())
        window->installEventFilter(this);
    for (TSnapRectScreen *surface : std::as_const(m_screens))
        surface->show();
}

void TSnapRectForm::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    for (TSnapRectScreen *surface : std::as_const(m_screens))
        surface->hide();
}

bool TSnapRectForm::event(QEvent *event)
{
    return claimOverlayKey(event) || QDialog::event(event);
}

bool TSnapRectForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        if (m_toolForm->isVisible()) {
            m_toolForm->setVisible(false);
            m_toolForm->setVisible(true);
        }
    }
    return QDialog::eventFilter(watched, event);
}
