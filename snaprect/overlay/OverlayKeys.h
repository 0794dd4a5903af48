#pragma once

#include "Mark.h"

#include <QPoint>

class QEvent;
class QKeyEvent;

/// The overlay's keys, from whichever of its windows or the toolbar has the
/// keyboard.
namespace OverlayKeys {

/// What a key pressed on the overlay asks for.
enum class Action {
    None,
    Exit,           // Q
    Cancel,         // Escape: deselects a mark, drops the drawing tool, or leaves as Q without either
    Save,           // S
    ReSelect,       // R
    SaveFullScreen, // F
    Copy,           // Enter, Ctrl+C
    SelectWindow,   // W
    ToggleKeyHelp,  // F1
    Move,           // an arrow: moves the selected mark, or the selection, by nudge()
    Resize,         // Shift+arrow: moves its right or bottom edge by nudge()
    ChooseTool,     // a drawing tool's letter: tool()
    Undo,           // Ctrl+Z
    Redo,           // Ctrl+Shift+Z, Ctrl+Y
    Narrower,       // [: the drawing width less by one
    Wider,          // ]: the drawing width more by one
    Delete,         // Delete, Backspace: removes the selected mark
};

/// S, R, F, Q, Escape and the tools' letters act whatever the modifiers;
/// Ctrl+C copies.
Action action(const QKeyEvent *event);

/// The drawing tool of a ChooseTool key.
MarkTool tool(const QKeyEvent *event);

/// The step of an arrow key: a pixel, ten with Ctrl.
QPoint nudge(const QKeyEvent *event);

/// Takes the shortcut override of a key that the overlay handles, so that
/// it arrives as a plain key press also where a button of the toolbar in the
/// same window has a shortcut for it.
bool claim(QEvent *event);

} // namespace OverlayKeys
