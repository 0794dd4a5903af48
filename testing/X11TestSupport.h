#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QImage;

/// Direct access to the X server that a test runs on, for what Qt does not
/// show: the hints a window manager reads, windows of other processes, the
/// root window's picture.
namespace X11TestSupport {

struct SizeHints {
    QSize minimum;  ///< invalid when the window sets none
    QSize maximum;  ///< invalid when the window sets none
};

/// The WM_NORMAL_HINTS of \a window.
SizeHints normalHints(unsigned long window);

/// Top-level client windows (those with WM_STATE or, without a window
/// manager, mapped children of the root) whose title is exactly \a title.
QList<unsigned long> findWindows(const QString &title);

/// Waits up to \a timeoutMs for a window titled \a title; 0 if none came.
unsigned long waitForWindow(const QString &title, int timeoutMs = 10000);

/// Asks \a window to close, as a window manager's close button does
/// (WM_DELETE_WINDOW).
void requestClose(unsigned long window);

/// The window's outer geometry in root coordinates.
QRect rootGeometry(unsigned long window);

/// The names of the atoms in the ATOM-list property \a property of \a window
/// (e.g. _NET_WM_ALLOWED_ACTIONS, which a window manager sets).
QStringList atomListProperty(unsigned long window, const char *property);

/// The two parts of the WM_CLASS of \a window, instance name first then
/// class name (the one a desktop entry's StartupWMClass names); empty when
/// the window has none.
QStringList wmClass(unsigned long window);

/// The client windows that the window manager lists on the root, bottom to
/// top (_NET_CLIENT_LIST_STACKING); empty without a window manager.
QList<unsigned long> stackingOrder();

/// The window that has the keyboard focus (0 for none or the root).
unsigned long focusWindow();

/// Whether \a window is mapped (viewable).
bool isViewable(unsigned long window);

/// A picture of \a size in which every pixel tells its position: red and
/// green count x and y, blue mixes them, so a shifted, scaled or cropped copy
/// never matches by accident.
QImage patternPicture(const QSize &size);

/// The X screen's size in its own pixels.
QSize screenSize();

/// The monitors that add_x11_test gave the server (MONITOR_LAYOUT, "WxH+X+Y
/// ..."), in the server's pixels, the primary first; without them, one
/// monitor over the whole screen.
QList<QRect> monitorLayout();

/// The bounding rectangle of monitorLayout(): the desktop.
QRect monitorBounds();

/// The points "x,y x,y ..." in the environment variable \a name.
QList<QPoint> pointsFromEnvironment(const char *name);

/// What the X server shows in \a area of the screen (root coordinates), read
/// with a plain GetImage request; RGB32.
QImage screenPicture(const QRect &area);

/// Makes \a picture the root window's background (tiled, as X does) and
/// paints it.
void setRootPicture(const QImage &picture);

} // namespace X11TestSupport
