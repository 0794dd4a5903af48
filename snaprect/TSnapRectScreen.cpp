#include "TSnapRectScreen.h"

#include "TSnapRectForm.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

TSnapRectScreen::TSnapRectScreen(TSnapRectForm *overlay, QScreen *screen)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
    , m_overlay(overlay)
    , m_screen(screen)
{
    setWindowTitle(overlay->windowTitle());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TSnapRectScreen::cover(const QRect &desktop)
{
    if (!m_screen)
        return;
    coverScreen(this, m_screen);
    m_offset = m_screen->geometry().topLeft() - desktop.topLeft();
}

void TSnapRectScreen::coverScreen(QWidget *window, QScreen *screen)
{
    // The compositor puts a full-screen window on the screen that the window
    // asks for; its position alone means nothing there.
    window->setScreen(screen);
    window->setGeometry(screen->geometry());
    window->setWindowState(window->windowState() | Qt::WindowFullScreen);
}

bool TSnapRectScreen::event(QEvent *event)
{
    return TSnapRectForm::claimOverlayKey(event) || QWidget::event(event);
}

void TSnapRectScreen::mousePressEvent(QMouseEvent *event)
{
    m_overlay->pressAt(event->position().toPoint() + m_offset);
}

void TSnapRectScreen::mouseMoveEvent(QMouseEvent *event)
{
    m_overlay->moveTo(event->position().toPoint() + m_offset);
}

void TSnapRectScreen::mouseReleaseEvent(QMouseEvent *event)
{
    m_overlay->releaseAt(event->position().toPoint() + m_offset, event->globalPosition().toPoint(), this);
}

void TSnapRectScreen::keyPressEvent(QKeyEvent *event)
{
    m_overlay->keyPressEvent(event);
}

void TSnapRectScreen::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_overlay->paintDesktop(painter, m_offset);
}
