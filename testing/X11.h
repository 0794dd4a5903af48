#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QStringList>

/// What a test needs of the X server it runs on, beyond what Qt shows: other
/// processes' windows, the hints a window manager reads, the screen's pixels,
/// and the pointer and keyboard (through xdotool's XTEST input).
namespace X11 {

using Window = unsigned long;

/// Top-level client windows titled exactly \a title, also inside a window
/// manager's frames.
QList<Window> windows(const QString &title);
/// A viewable window titled \a title other than \a besides; 0 after 10 s.
Window waitForWindow(const QString &title, Window besides = 0);
bool waitForGone(Window window);
/// Whether a window titled \a title is viewable now.
bool anyViewable(const QString &title);
bool isViewable(Window window);
/// The window's inside, in root coordinates.
QRect geometry(Window window);
/// The minimum and maximum sizes of its WM_NORMAL_HINTS, invalid where unset.
std::pair<QSize, QSize> sizeHints(Window window);
/// Clients bottom to top, as the window manager lists them; empty without one.
QList<Window> stackingOrder();
/// What a window manager's close button does: WM_DELETE_WINDOW.
void requestClose(Window window);
/// Gives the first of \a windows the keyboard unless one of them has it, and
/// waits until one has.
bool focus(const QList<Window> &windows);

/// The monitors of this run ("WxH+X+Y ..." in MONITOR_LAYOUT, primary first),
/// or the whole screen.
QList<QRect> monitors();
QRect desktop();
QImage screenPicture(const QRect &area);
/// Makes \a picture the root window's background and paints it.
void setRootPicture(const QImage &picture);

bool xdotool(const QStringList &arguments);
/// Presses at \a from, moves by way of the middle to \a to, releases.
void drag(const QPoint &from, const QPoint &to, int button = 1);

} // namespace X11
