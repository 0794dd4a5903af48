#include "DisplaySession.h"

#include <QWindow>

// Windows and macOS always have their one window system, one per session.
QString DisplaySession::unreachable()
{
    return {};
}

QString DisplaySession::userAndDisplay()
{
    return {};
}

void DisplaySession::giveKeyboard(QWindow *window)
{
    window->requestActivate();
}
