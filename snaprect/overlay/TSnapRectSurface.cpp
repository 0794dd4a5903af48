#include "TSnapRectSurface.h"

#include "OverlayKeys.h"
#include "OverlayWindows.h"
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
    return OverlayKeys::claim(event) || QWidget::event(event);
}

void TSnapRectSurface::mousePressEvent(QMouseEvent *event)
{
    m_form->pressAt(this, OverlayWindows::exactPosition(event));
    QWidget::mousePressEvent(event);
}

void TSnapRectSurface::mouseMoveEvent(QMouseEvent *event)
{
    m_form->pointerMoved(this, event);
    QWidget::mouseMoveEvent(event);
}

void TSnapRectSurface::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_form->doubleClickAt(this, OverlayWindows::exactPosition(event));
}

void TSnapRectSurface::mouseReleaseEvent(QMouseEvent *event)
{
    m_form->releaseAt(this, event);
    QWidget::mouseReleaseEvent(event);
}

void TSnapRectSurface::wheelEvent(QWheelEvent *event)
{
    m_form->wheelEvent(event);
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

void TSnapRectSurface::childEvent(QChildEvent *event)
{
    if (event->type() == QEvent::ChildPolished)
        m_form->m_windows.childShown(this, event->child());
    QWidget::childEvent(event);
}

QPaintEngine *TSnapRectSurface::paintEngine() const
{
    // Painted by the server, without a buffer of Qt's (see OverlayWindows).
    return testAttribute(Qt::WA_PaintOnScreen) ? nullptr : QWidget::paintEngine();
}
