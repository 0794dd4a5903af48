#include "TSnapRectSurface.h"

#include "TSnapRectForm.h"

#include <QMouseEvent>
#include <QPaintEvent>

TSnapRectSurface::TSnapRectSurface(TSnapRectForm *form, const QPoint &origin, qreal scale, bool ownWindow)
    : QWidget(ownWindow ? nullptr : form, Qt::Window | Qt::FramelessWindowHint)
    , m_form(form)
    , m_origin(origin)
    , m_scale(scale)
{
    setWindowTitle(form->windowTitle());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(form->cursor());
    setMouseTracking(true);
}

bool TSnapRectSurface::event(QEvent *event)
{
    return TSnapRectForm::claimOverlayKey(event) || QWidget::event(event);
}

void TSnapRectSurface::mousePressEvent(QMouseEvent *event)
{
    m_form->pressAt(m_form->toCapture(this, event->position()));
    QWidget::mousePressEvent(event);
}

void TSnapRectSurface::mouseMoveEvent(QMouseEvent *event)
{
    m_form->pointerMoved(m_form->toCapture(this, event->position()), event);
    QWidget::mouseMoveEvent(event);
}

void TSnapRectSurface::mouseReleaseEvent(QMouseEvent *event)
{
    m_form->releaseAt(m_form->toCapture(this, event->position()), event->globalPosition().toPoint(), this);
    QWidget::mouseReleaseEvent(event);
}

void TSnapRectSurface::keyPressEvent(QKeyEvent *event)
{
    m_form->keyPressEvent(event);
}

void TSnapRectSurface::keyReleaseEvent(QKeyEvent *event)
{
    m_form->keyReleaseEvent(event);
}

void TSnapRectSurface::paintEvent(QPaintEvent *event)
{
    m_form->paintSurface(this, event->region());
}
