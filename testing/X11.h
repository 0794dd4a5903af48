#pragma once

#include <QImage>

#include <functional>

/// What a test needs of the X server it runs on, beyond what Qt shows: other
/// processes' windows, the hints a window manager reads, the screen's pixels,
/// and XTEST input, mostly through xdotool and xprop.
namespace X11 {

using Window = unsigned long;

/// Viewable top-level windows titled exactly \a title.
QList<Window> windows(const QString &title);
/// One of them other than \a besides; 0 after 10 s.
Window waitForWindow(const QString &title, Window besides = 0);
bool waitForGone(Window window);
bool isViewable(Window window);
/// The window's inside, in root coordinates.
QRect geometry(Window window);
/// With the frame that its window manager's _NET_FRAME_EXTENTS claims.
QRect frameGeometry(Window window);
/// Its WM_NORMAL_HINTS as xprop prints them.
QString sizeHints(Window window);
/// Its property \a name as xprop prints it, of no more than \a bytes.
QString property(Window window, const QString &name, int bytes = 1024);
/// Clients bottom to top, as the window manager lists them; empty without one.
QList<Window> stackingOrder();
/// What a window manager's close button does: WM_DELETE_WINDOW.
void requestClose(Window window);
/// Gives the first of \a windows the keyboard unless one of them has it, and
/// waits until one has.
bool focus(const QList<Window> &windows);

/// The monitors of this run ("WxH+X+Y ..." in MONITOR_LAYOUT, primary first),
/// or the whole screen; their bounding rectangle.
QList<QRect> monitors();
QRect desktop();
QImage screenPicture(const QRect &area);
/// Makes \a picture the root window's background and paints it.
void setRootPicture(const QImage &picture);

/// Fills every place for a client that the server has left, sends \a key
/// ("Return") to \a window as a synthetic press and release from one of
/// them, and runs \a meanwhile before it lets them go: a program started
/// meanwhile cannot reach the server.
void pressWhileFull(Window window, const QString &key, const std::function<void()> &meanwhile);

/// Runs xdotool (pointer, keys, windows); returns what it printed.
QString xdotool(const QStringList &arguments);

} // namespace X11
