#include "TSnapRectSurface.h"

#include "TSnapRectForm.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QScreen>

TSnapRectSurface::TSnapRectSurface(TSnapRectForm *form, QScreen *screen, const QPoint &origin)
    : QWidget(form, Qt::Window | Qt::FramelessWindowHint)
    , m_form(form)
    , m_origin(origin)
{
    setWindowTitle(form->windowTitle());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(form->cursor());
    setScreen(screen);
    setGeometry(screen->geometry());
}

QPoint TSnapRectSurface::toCapture(const QPointF &position) const
{
    return m_origin + (position * devicePixelRatio()).toPoint();
}

void TSnapRectSurface::mousePressEvent(QMouseEvent *event)
{
    m_form->pressAt(toCapture(event->position()));
    QWidget::mousePressEvent(event);
}

void TSnapRectSurface::mouseMoveEvent(QMouseEvent *event)
{
    m_form->moveTo(toCapture(event->position()));
    QWidget::mouseMoveEvent(event);
}

void TSnapRectSurface::mouseReleaseEvent(QMouseEvent *event)
{
    m_form->releaseAt(event->globalPosition().toPoint());
    QWidget::mouseReleaseEvent(event);
}

void TSnapRectSurface::keyPressEvent(QKeyEvent *event)
{
    m_form->keyPressEvent(event);
}

void TSnapRectSurface::paintEvent(QPaintEvent *event)
{
    m_form->paintSurface(this, m_origin, event->region());
}
