#pragma once

#include <QPoint>

class QEvent;
class QKeyEvent;

/// The overlay's keys, from whichever of its windows or the toolbar has the
/// keyboard.
namespace OverlayKeys {

/// What a key pressed on the overlay asks for.
enum class Action {
    None,
    Exit,           // Q, Escape
    Save,           // S
    ReSelect,       // R
    SaveFullScreen, // F
    Copy,           // Enter, Ctrl+C
    SelectWindow,   // W
    ToggleKeyHelp,  // F1
    Move,           // an arrow: moves the selection by nudge()
    Resize,         // Shift+arrow: moves its right or bottom edge by nudge()
};

/// S, R, F, Q and Escape act whatever the modifiers; Ctrl+C copies.
Action action(const QKeyEvent *event);

/// The step of an arrow key: a pixel, ten with Ctrl.
QPoint nudge(const QKeyEvent *event);

/// Takes the shortcut override of a key that the overlay handles, so that
/// it arrives as a plain key press also where a button of the toolbar in the
/// same window has a shortcut for it.
bool claim(QEvent *event);

} // namespace OverlayKeys
