#pragma once

#include <QString>

/// What the program needs of the user's graphical session beyond Qt: whether
/// there is one before Qt reaches for it. One implementation per operating
/// system; where one has nothing to check, everything is reachable.
namespace DisplaySession {

/// Why none of the window systems that Qt would try can be reached, in one
/// line for the user, naming the display that is missing or cannot be
/// opened; empty when one can. Cheap enough to run at every start: Qt itself
/// aborts the process when it finds no display.
QString unreachable();

} // namespace DisplaySession
