#include "X11.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <memory>

namespace X11 {
namespace {

using DisplayPtr = std::unique_ptr<Display, int (*)(Display *)>;

DisplayPtr display()
{
    DisplayPtr dpy(XOpenDisplay(nullptr), XCloseDisplay);
    if (!dpy)
        qFatal("cannot open the X display");
    return dpy;
}

QString title(Display *dpy, Window window)
{
    XTextProperty text{};
    QString result;
    if (XGetWMName(dpy, window, &text) && text.value) {
        char **list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(dpy, &text, &list, &count) == Success && count > 0)
            result = QString::fromUtf8(list[0]);
        XFreeStringList(list);
        XFree(text.value);
    }
    return result;
}

void collect(Display *dpy, Window parent, const QString &wanted, int depth, QList<Window> &found)
{
    Window root = 0, up = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, parent, &root, &up, &children, &count))
        return;
    for (unsigned int i = 0; i < count; ++i) {
        if (title(dpy, children[i]) == wanted)
            found.append(children[i]);
        else if (depth > 0)
            collect(dpy, children[i], wanted, depth - 1, found);
    }
    XFree(children);
}

} // namespace

QList<Window> windows(const QString &wanted)
{
    DisplayPtr dpy = display();
    QList<Window> found;
    collect(dpy.get(), DefaultRootWindow(dpy.get()), wanted, 2, found);
    return found;
}

Window waitForWindow(const QString &wanted, Window besides)
{
    Window found = 0;
    return QTest::qWaitFor([&] {
        for (Window window : windows(wanted))
            found = window != besides && isViewable(window) ? window : found;
        return found != 0;
    }, 10000) ? found : 0;
}

bool waitForGone(Window window)
{
    return QTest::qWaitFor([window] { return !isViewable(window); }, 10000);
}

bool anyViewable(const QString &wanted)
{
    const QList<Window> found = windows(wanted);
    return std::any_of(found.cbegin(), found.cend(), isViewable);
}

bool isViewable(Window window)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display().get(), window, &attributes) && attributes.map_state == IsViewable;
}

QRect geometry(Window window)
{
    DisplayPtr dpy = display();
    XWindowAttributes attributes{};
    int x = 0, y = 0;
    Window child = 0;
    XGetWindowAttributes(dpy.get(), window, &attributes);
    XTranslateCoordinates(dpy.get(), window, DefaultRootWindow(dpy.get()), 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

std::pair<QSize, QSize> sizeHints(Window window)
{
    XSizeHints hints{};
    long supplied = 0;
    XGetWMNormalHints(display().get(), window, &hints, &supplied);
    return {hints.flags & PMinSize ? QSize(hints.min_width, hints.min_height) : QSize(),
            hints.flags & PMaxSize ? QSize(hints.max_width, hints.max_height) : QSize()};
}

QList<Window> stackingOrder()
{
    DisplayPtr dpy = display();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    XGetWindowProperty(dpy.get(), DefaultRootWindow(dpy.get()), XInternAtom(dpy.get(), "_NET_CLIENT_LIST_STACKING", 0),
                       0, 4096, False, XA_WINDOW, &type, &format, &count, &after, &data);
    const auto *ids = reinterpret_cast<const Window *>(data);
    QList<Window> order(ids, ids + (format == 32 ? count : 0));
    XFree(data);
    return order;
}

void requestClose(Window window)
{
    DisplayPtr dpy = display();
    XEvent event{};
    event.xclient = {ClientMessage, 0, False, dpy.get(), window, XInternAtom(dpy.get(), "WM_PROTOCOLS", False), 32, {}};
    event.xclient.data.l[0] = long(XInternAtom(dpy.get(), "WM_DELETE_WINDOW", False));
    XSendEvent(dpy.get(), window, False, NoEventMask, &event);
    XSync(dpy.get(), False);
}

bool focus(const QList<Window> &windows)
{
    const auto hasFocus = [&windows] {
        Window focused = 0;
        int revert = 0;
        XGetInputFocus(display().get(), &focused, &revert);
        return windows.contains(focused);
    };
    // A window manager may keep the keyboard elsewhere for a while (its
    // focus-stealing rules); a user would then click the window.
    for (int attempt = 0; attempt < 5 && !hasFocus(); ++attempt) {
        xdotool({QStringLiteral("windowfocus"), QString::number(windows.first())});
        if (QTest::qWaitFor(hasFocus, 2000))
            break;
    }
    QTest::qWait(50);
    return hasFocus();
}

QList<QRect> monitors()
{
    static const QRegularExpression geometry(QStringLiteral("(\\d+)x(\\d+)\\+(\\d+)\\+(\\d+)"));
    QList<QRect> found;
    for (auto it = geometry.globalMatch(qEnvironmentVariable("MONITOR_LAYOUT")); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        found.append(QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(), m.captured(2).toInt()));
    }
    if (found.isEmpty()) {
        DisplayPtr dpy = display();
        found.append(QRect(0, 0, DisplayWidth(dpy.get(), 0), DisplayHeight(dpy.get(), 0)));
    }
    return found;
}

QRect desktop()
{
    QRect bounds;
    for (const QRect &monitor : monitors())
        bounds |= monitor;
    return bounds;
}

QImage screenPicture(const QRect &area)
{
    DisplayPtr dpy = display();
    XImage *image = XGetImage(dpy.get(), DefaultRootWindow(dpy.get()), area.x(), area.y(), unsigned(area.width()),
                              unsigned(area.height()), AllPlanes, ZPixmap);
    QImage picture(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x)
            picture.setPixel(x, y, QRgb(XGetPixel(image, x, y)) | 0xff000000u);
    }
    XDestroyImage(image);
    return picture;
}

void setRootPicture(const QImage &picture)
{
    DisplayPtr dpy = display();
    Display *d = dpy.get();
    const Window root = DefaultRootWindow(d);
    QImage image = picture.convertToFormat(QImage::Format_RGB32);
    XImage *ximage = XCreateImage(d, DefaultVisual(d, 0), 24, ZPixmap, 0, reinterpret_cast<char *>(image.bits()),
                                  unsigned(image.width()), unsigned(image.height()), 32, int(image.bytesPerLine()));
    const Pixmap pixmap = XCreatePixmap(d, root, unsigned(image.width()), unsigned(image.height()), 24);
    GC gc = XCreateGC(d, pixmap, 0, nullptr);
    XPutImage(d, pixmap, gc, ximage, 0, 0, 0, 0, unsigned(image.width()), unsigned(image.height()));
    XFreeGC(d, gc);
    ximage->data = nullptr; // the QImage's
    XDestroyImage(ximage);
    XSetWindowBackgroundPixmap(d, root, pixmap);
    XFreePixmap(d, pixmap);
    XClearWindow(d, root);
    XSync(d, False);
}

bool xdotool(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

void drag(const QPoint &from, const QPoint &to, int button)
{
    const QPoint middle = (from + to) / 2;
    const QString b = QString::number(button);
    xdotool({QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
             QStringLiteral("mousedown"), b, QStringLiteral("mousemove"), QString::number(middle.x()),
             QString::number(middle.y()), QStringLiteral("mousemove"), QString::number(to.x()),
             QString::number(to.y()), QStringLiteral("mouseup"), b});
}

} // namespace X11
