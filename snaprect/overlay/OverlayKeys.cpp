#include "OverlayKeys.h"

#include <QKeyEvent>

namespace OverlayKeys {

namespace {

QPoint arrow(int key)
{
    switch (key) {
    case Qt::Key_Left:
        return QPoint(-1, 0);
    case Qt::Key_Right:
        return QPoint(1, 0);
    case Qt::Key_Up:
        return QPoint(0, -1);
    case Qt::Key_Down:
        return QPoint(0, 1);
    default:
        return QPoint();
    }
}

} // namespace

Action action(const QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->matches(QKeySequence::Copy))
        return Action::Copy;
    if (event->modifiers() & Qt::ControlModifier) {
        if (event->key() == Qt::Key_Z)
            return event->modifiers() & Qt::ShiftModifier ? Action::Redo : Action::Undo;
        if (event->key() == Qt::Key_Y)
            return Action::Redo;
    }
    if (markToolForKey(event->key()))
        return Action::ChooseTool;
    switch (event->key()) {
    case Qt::Key_Q:
        return Action::Exit;
    case Qt::Key_Escape:
        return Action::Cancel;
    case Qt::Key_BracketLeft:
        return Action::Narrower;
    case Qt::Key_BracketRight:
        return Action::Wider;
    case Qt::Key_S:
        return Action::Save;
    case Qt::Key_R:
        return Action::ReSelect;
    case Qt::Key_F:
        return Action::SaveFullScreen;
    case Qt::Key_W:
        return Action::SelectWindow;
    case Qt::Key_F1:
        return Action::ToggleKeyHelp;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return Action::Delete;
    default:
        break;
    }
    if (arrow(event->key()).isNull())
        return Action::None;
    return event->modifiers() & Qt::ShiftModifier ? Action::Resize : Action::Move;
}

MarkTool tool(const QKeyEvent *event)
{
    return markToolForKey(event->key()).value_or(MarkTool::Pen);
}

QPoint nudge(const QKeyEvent *event)
{
    return arrow(event->key()) * (event->modifiers() & Qt::ControlModifier ? 10 : 1);
}

bool claim(QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride || action(static_cast<QKeyEvent *>(event)) == Action::None)
        return false;
    event->accept();
    return true;
}

} // namespace OverlayKeys
