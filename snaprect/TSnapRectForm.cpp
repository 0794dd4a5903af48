#include "TSnapRectForm.h"

#include "SaveImage.h"
#include "TSnapRectToolForm.h"
#include "platform/ScreenGrabber.h"

#include <OvUtils.h>

#include <QAbstractButton>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
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

QRect TSnapRectForm::selectionRect() const
{
    return QRect(QPoint(m_left, m_top), QPoint(m_right - 1, m_bottom - 1));
}

void TSnapRectForm::snapRect()
{
    onReSelect();
    ScreenGrabber &grabber = ScreenGrabber::instance();
    const QRect desktop = grabber.desktopGeometry();
    move(desktop.topLeft());
    resize(desktop.size());
    m_fullPixmap = grabber.grabDesktop();

    m_shadedPixmap = m_fullPixmap;
    {
        QPainter painter(&m_shadedPixmap);
        painter.fillRect(QRect(QPoint(0, 0), size()), shadeColour);
    }
    ov::drawImage(this, m_shadedPixmap, size());
    m_toolForm->setVisible(true);
}

void TSnapRectForm::onSave()
{
    saveImage(this, m_fullPixmap.copy(selectionRect()));
    takeKeyboardBack();
}

void TSnapRectForm::onReSelect()
{
    m_left = m_top = m_right = m_bottom = -1;
    m_startPos = QPoint(-1, -1);
    m_state = Selecting;
    update();
}

void TSnapRectForm::fullScreenSave()
{
    saveImage(this, m_fullPixmap);
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
    setCursor(Qt::CrossCursor);
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
    if (m_right > width()) {
        m_right = width();
        m_left = width() - w;
    }
    if (m_bottom > height()) {
        m_bottom = height();
        m_top = height() - h;
    }
    m_lastPos = p;
}

void TSnapRectForm::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    if (m_state == Selected && isStrictlyInside(p)) {
        m_lastPos = p;
        setCursor(Qt::SizeAllCursor);
    } else {
        beginRectangle(p);
        m_state = Selecting;
    }
    update();
    m_toolForm->setVisible(false);
    QDialog::mousePressEvent(event);
}

void TSnapRectForm::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    if (m_state == Selecting) {
        m_left = qMin(m_startPos.x(), p.x());
        m_top = qMin(m_startPos.y(), p.y());
        m_right = qMax(m_startPos.x(), p.x());
        m_bottom = qMax(m_startPos.y(), p.y());
    } else {
        moveRectangle(p);
    }
    update();
    QDialog::mouseMoveEvent(event);
}

void TSnapRectForm::mouseReleaseEvent(QMouseEvent *event)
{
    m_state = Selected;
    setCursor(Qt::ArrowCursor);
    update();
    // The toolbar's frame goes to the release point on the screen.
    m_toolForm->move(event->globalPosition().toPoint());
    m_toolForm->setVisible(true);
    QDialog::mouseReleaseEvent(event);
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
    painter.setPen(QPen(Qt::green, 1, Qt::SolidLine));
    painter.drawPixmap(QPointF(0, 0), m_shadedPixmap);
    const QRect selection = selectionRect();
    if (m_right - m_left > 0 && m_bottom - m_top > 0)
        painter.drawPixmap(QPointF(m_left, m_top), m_fullPixmap.copy(selection));
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
