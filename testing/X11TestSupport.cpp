#include "X11TestSupport.h"

#include <QDeadlineTimer>
#include <QImage>
#include <QRect>
#include <QRegularExpression>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace X11TestSupport {

namespace {

struct DisplayCloser {
    void operator()(Display *dpy) const { if (dpy) XCloseDisplay(dpy); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

DisplayPtr openDisplay()
{
    DisplayPtr dpy(XOpenDisplay(nullptr));
    if (!dpy)
        qFatal("cannot open the X display");
    return dpy;
}

QString windowTitle(Display *dpy, Window window)
{
    const Atom netWmName = XInternAtom(dpy, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QString title;
    if (XGetWindowProperty(dpy, window, netWmName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success && data && type == utf8) {
        title = QString::fromUtf8(reinterpret_cast<const char *>(data), int(count));
    }
    if (data)
        XFree(data);
    if (title.isEmpty()) {
        char *name = nullptr;
        if (XFetchName(dpy, window, &name) && name) {
            title = QString::fromLocal8Bit(name);
            XFree(name);
        }
    }
    return title;
}

void collect(Display *dpy, Window parent, const QString &title, int depth, QList<unsigned long> &found)
{
    Window root = 0, parentReturn = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, parent, &root, &parentReturn, &children, &count))
        return;
    for (unsigned int i = 0; i < count; ++i) {
        if (windowTitle(dpy, children[i]) == title)
            found.append(children[i]);
        else if (depth > 0)
            collect(dpy, children[i], title, depth - 1, found);
    }
    if (children)
        XFree(children);
}

} // namespace

SizeHints normalHints(unsigned long window)
{
    DisplayPtr dpy = openDisplay();
    XSizeHints hints{};
    long supplied = 0;
    SizeHints result;
    if (!XGetWMNormalHints(dpy.get(), window, &hints, &supplied))
        return result;
    if (hints.flags & PMinSize)
        result.minimum = QSize(hints.min_width, hints.min_height);
    if (hints.flags & PMaxSize)
        result.maximum = QSize(hints.max_width, hints.max_height);
    return result;
}

QList<unsigned long> findWindows(const QString &title)
{
    DisplayPtr dpy = openDisplay();
    QList<unsigned long> found;
    // Depth 2 reaches clients that a window manager has put into frames.
    collect(dpy.get(), DefaultRootWindow(dpy.get()), title, 2, found);
    return found;
}

QStringList atomListProperty(unsigned long window, const char *property)
{
    DisplayPtr dpy = openDisplay();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QStringList names;
    if (XGetWindowProperty(dpy.get(), window, XInternAtom(dpy.get(), property, False), 0, 1024, False,
                           XA_ATOM, &type, &format, &count, &after, &data) == Success && data && format == 32) {
        const auto *atoms = reinterpret_cast<const Atom *>(data);
        for (unsigned long i = 0; i < count; ++i) {
            char *name = XGetAtomName(dpy.get(), atoms[i]);
            names.append(QString::fromLatin1(name));
            XFree(name);
        }
    }
    if (data)
        XFree(data);
    return names;
}

QStringList wmClass(unsigned long window)
{
    DisplayPtr dpy = openDisplay();
    XClassHint hint{};
    QStringList parts;
    if (XGetClassHint(dpy.get(), window, &hint)) {
        parts << QString::fromLatin1(hint.res_name) << QString::fromLatin1(hint.res_class);
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    return parts;
}

unsigned long focusWindow()
{
    DisplayPtr dpy = openDisplay();
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy.get(), &focus, &revert);
    return focus == PointerRoot || focus == DefaultRootWindow(dpy.get()) ? 0 : focus;
}

QList<unsigned long> stackingOrder()
{
    DisplayPtr dpy = openDisplay();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QList<unsigned long> windows;
    if (XGetWindowProperty(dpy.get(), DefaultRootWindow(dpy.get()),
                           XInternAtom(dpy.get(), "_NET_CLIENT_LIST_STACKING", False), 0, 4096, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) == Success && data && format == 32) {
        const auto *ids = reinterpret_cast<const Window *>(data);
        for (unsigned long i = 0; i < count; ++i)
            windows.append(ids[i]);
    }
    if (data)
        XFree(data);
    return windows;
}

bool isViewable(unsigned long window)
{
    DisplayPtr dpy = openDisplay();
    XWindowAttributes attributes{};
    return XGetWindowAttributes(dpy.get(), window, &attributes) && attributes.map_state == IsViewable;
}

unsigned long waitForWindow(const QString &title, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        for (unsigned long window : findWindows(title)) {
            if (isViewable(window))
                return window;
        }
        QTest::qWait(20);
    }
    return 0;
}

void requestClose(unsigned long window)
{
    DisplayPtr dpy = openDisplay();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(dpy.get(), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(dpy.get(), "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy.get(), window, False, NoEventMask, &event);
    XSync(dpy.get(), False);
}

QRect rootGeometry(unsigned long window)
{
    DisplayPtr dpy = openDisplay();
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy.get(), window, &attributes))
        return {};
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(dpy.get(), window, DefaultRootWindow(dpy.get()), 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

QImage patternPicture(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb(x & 0xFF, y & 0xFF, ((x >> 8) * 64 + (y >> 8) * 16 + (x ^ y)) & 0xFF);
    }
    return image;
}

QSize screenSize()
{
    DisplayPtr dpy = openDisplay();
    const int screen = DefaultScreen(dpy.get());
    return QSize(DisplayWidth(dpy.get(), screen), DisplayHeight(dpy.get(), screen));
}

QList<QRect> monitorLayout()
{
    static const QRegularExpression geometry(QStringLiteral("^(\\d+)x(\\d+)\\+(\\d+)\\+(\\d+)$"));
    QList<QRect> monitors;
    for (const QString &item : qEnvironmentVariable("MONITOR_LAYOUT").split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = geometry.match(item);
        if (!m.hasMatch())
            qFatal("bad monitor in MONITOR_LAYOUT: %s", qPrintable(item));
        monitors.append(QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(),
                              m.captured(2).toInt()));
    }
    if (monitors.isEmpty())
        monitors.append(QRect(QPoint(0, 0), screenSize()));
    return monitors;
}

QRect monitorBounds()
{
    QRect bounds;
    for (const QRect &monitor : monitorLayout())
        bounds |= monitor;
    return bounds;
}

QList<QPoint> pointsFromEnvironment(const char *name)
{
    QList<QPoint> points;
    for (const QString &item : qEnvironmentVariable(name).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList xy = item.split(QLatin1Char(','));
        points.append(QPoint(xy.value(0).toInt(), xy.value(1).toInt()));
    }
    return points;
}

QImage screenPicture(const QRect &area)
{
    DisplayPtr dpy = openDisplay();
    XImage *ximage = XGetImage(dpy.get(), DefaultRootWindow(dpy.get()), area.x(), area.y(), unsigned(area.width()),
                               unsigned(area.height()), AllPlanes, ZPixmap);
    if (!ximage)
        qFatal("cannot read the screen");
    QImage picture(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < area.width(); ++x)
            line[x] = QRgb(XGetPixel(ximage, x, y)) | 0xff000000u;
    }
    XDestroyImage(ximage);
    return picture;
}

void setRootPicture(const QImage &picture)
{
    DisplayPtr dpy = openDisplay();
    Display *d = dpy.get();
    const Window root = DefaultRootWindow(d);
    const int screen = DefaultScreen(d);
    if (DefaultDepth(d, screen) != 24)
        qFatal("setRootPicture expects a 24-bit root window");

    QImage image = picture.convertToFormat(QImage::Format_RGB32);
    XImage *ximage = XCreateImage(d, DefaultVisual(d, screen), 24, ZPixmap, 0,
                                  reinterpret_cast<char *>(image.bits()), unsigned(image.width()),
                                  unsigned(image.height()), 32, int(image.bytesPerLine()));
    const Pixmap pixmap = XCreatePixmap(d, root, unsigned(image.width()), unsigned(image.height()), 24);
    GC gc = XCreateGC(d, pixmap, 0, nullptr);
    XPutImage(d, pixmap, gc, ximage, 0, 0, 0, 0, unsigned(image.width()), unsigned(image.height()));
    XFreeGC(d, gc);
    ximage->data = nullptr; // owned by the QImage
    XDestroyImage(ximage);
    // The server keeps the background's own reference to the pixmap.
    XSetWindowBackgroundPixmap(d, root, pixmap);
    XFreePixmap(d, pixmap);
    XClearWindow(d, root);
    XSync(d, False);
}

} // namespace X11TestSupport
