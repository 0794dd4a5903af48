#pragma once

#include <QString>

class QWindow;

/// What the program needs of the user's graphical session beyond Qt: whether
/// there is one before Qt reaches for it, its name, and the keyboard on the
/// user's request. One implementation per operating system; where one has
/// nothing to check, everything is reachable and the session has no name.
namespace DisplaySession {

/// Why none of the window systems that Qt would try can be reached, in one
/// line for the user, naming the display that is missing or cannot be
/// opened; empty when one can. Cheap enough to run at every start: Qt itself
/// aborts the process when it finds no display.
QString unreachable();

/// Names this user on this display, the same in every process of the
/// session and different for another user or display; safe as part of a
/// file name.
QString userAndDisplay();

/// Gives \a window, shown, the keyboard, as the user's own request: where
/// the window system lets a window take the keyboard only from a program
/// that the user has just used, the request counts as new.
void giveKeyboard(QWindow *window);

} // namespace DisplaySession
