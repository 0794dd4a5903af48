#include "X11.h"

#include <QtTest>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace X11 {
namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QList<Window> numbers(const QString &text, const QString &pattern)
{
    QList<Window> found;
    for (auto it = QRegularExpression(pattern).globalMatch(text); it.hasNext();)
        found.append(it.next().captured(1).toULong(nullptr, 0));
    return found;
}

using DisplayPtr = std::unique_ptr<Display, int (*)(Display *)>;

} // namespace

QList<Window> windows(const QString &title)
{
    return numbers(xdotool({"search", "--onlyvisible", "--name", '^' + QRegularExpression::escape(title) + '$'}), "(\\d+)");
}

Window waitForWindow(const QString &title, Window besides)
{
    QList<Window> found;
    const auto other = [&] {
        found = windows(title);
        found.removeAll(besides);
        return !found.isEmpty();
    };
    return QTest::qWaitFor(other, 10000) ? found.first() : 0;
}

bool waitForGone(Window window)
{
    return QTest::qWaitFor([window] { return !isViewable(window); }, 10000);
}

bool isViewable(Window window)
{
    return run("xwininfo", {"-id", QString::number(window)}).contains("IsViewable");
}

QRect geometry(Window window)
{
    const QString info = run("xwininfo", {"-id", QString::number(window)});
    const QList<Window> n = numbers(info, "(?:Absolute upper-left .|Width|Height): +(\\d+)");
    return n.size() == 4 ? QRect(int(n[0]), int(n[1]), int(n[2]), int(n[3])) : QRect();
}

QRect frameGeometry(Window window)
{
    const QList<Window> n = numbers(run("xprop", {"-id", QString::number(window), "_NET_FRAME_EXTENTS"}), " (\\d+)");
    const QRect inside = geometry(window);
    return n.size() == 4 ? inside.adjusted(-int(n[0]), -int(n[2]), int(n[1]), int(n[3])) : inside;
}

QString sizeHints(Window window)
{
    return property(window, "WM_NORMAL_HINTS");
}

QString property(Window window, const QString &name, int bytes)
{
    return run("xprop", {"-len", QString::number(bytes), "-id", QString::number(window), name});
}

QList<Window> stackingOrder()
{
    return numbers(run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"}), "(0x[0-9a-f]+)");
}

void requestClose(Window window)
{
    DisplayPtr dpy(XOpenDisplay(nullptr), XCloseDisplay);
    XEvent event{};
    event.xclient = {ClientMessage, 0, False, dpy.get(), window, XInternAtom(dpy.get(), "WM_PROTOCOLS", False), 32, {}};
    event.xclient.data.l[0] = long(XInternAtom(dpy.get(), "WM_DELETE_WINDOW", False));
    XSendEvent(dpy.get(), window, False, NoEventMask, &event);
    XSync(dpy.get(), False);
}

void pressWhileFull(Window window, const QString &key, const std::function<void()> &meanwhile)
{
    // The places of clients that have just gone (xdotool) come free a
    // little later: full means full for a while.
    std::vector<DisplayPtr> crowd;
    for (size_t before = 1; before != crowd.size(); QTest::qWait(200)) {
        before = crowd.size();
        while (Display *dpy = XOpenDisplay(nullptr))
            crowd.emplace_back(dpy, XCloseDisplay);
    }
    QVERIFY(!crowd.empty());
    Display *dpy = crowd.front().get();
    XEvent event{};
    event.xkey = {KeyPress, 0, True, dpy, window, DefaultRootWindow(dpy), None, CurrentTime, 0, 0, 0, 0, 0,
                  XKeysymToKeycode(dpy, XStringToKeysym(qPrintable(key))), True};
    XSendEvent(dpy, window, True, KeyPressMask, &event);
    event.xkey.type = KeyRelease;
    XSendEvent(dpy, window, True, KeyReleaseMask, &event);
    XSync(dpy, False);
    meanwhile();
}

bool focus(const QList<Window> &windows)
{
    const auto hasFocus = [&windows] { return windows.contains(xdotool({"getwindowfocus"}).trimmed().toULong()); };
    // A window manager may keep the keyboard elsewhere for a while (its
    // focus-stealing rules), and the program may still be handing it back to
    // a window of its own (after a dialog): a user would then click the
    // window again. It counts once it stays.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (!hasFocus())
            xdotool({"windowfocus", QString::number(windows.first())});
        if (QTest::qWaitFor(hasFocus, 2000)) {
            QTest::qWait(300);
            if (hasFocus())
                return true;
        }
    }
    return false;
}

QList<QRect> monitors()
{
    QList<QRect> found;
    const QString screen = xdotool({"getdisplaygeometry"}).trimmed().replace(' ', 'x') + "+0+0";
    for (const QString &monitor : qEnvironmentVariable("MONITOR_LAYOUT", screen).split(' ')) {
        const QList<Window> n = numbers(monitor, "(\\d+)");
        found.append(QRect(int(n[2]), int(n[3]), int(n[0]), int(n[1])));
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
    DisplayPtr dpy(XOpenDisplay(nullptr), XCloseDisplay);
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
    DisplayPtr dpy(XOpenDisplay(nullptr), XCloseDisplay);
    Display *d = dpy.get();
    QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const unsigned width = unsigned(image.width()), height = unsigned(image.height());
    XImage *ximage = XCreateImage(d, DefaultVisual(d, DefaultScreen(d)), 24, ZPixmap, 0, reinterpret_cast<char *>(image.bits()),
                                  width, height, 32, int(image.bytesPerLine()));
    const Pixmap pixmap = XCreatePixmap(d, DefaultRootWindow(d), width, height, 24);
    GC gc = XCreateGC(d, pixmap, 0, nullptr);
    XPutImage(d, pixmap, gc, ximage, 0, 0, 0, 0, width, height);
    XFreeGC(d, gc);
    ximage->data = nullptr; // the QImage's
    XDestroyImage(ximage);
    XSetWindowBackgroundPixmap(d, DefaultRootWindow(d), pixmap);
    XFreePixmap(d, pixmap);
    XClearWindow(d, DefaultRootWindow(d));
    XSync(d, False);
}

QString xdotool(const QStringList &arguments)
{
    // The pointer and the geometry of the display's own screen, which need not
    // be the first.
    QStringList onScreen;
    for (const QString &argument : arguments) {
        onScreen << argument;
        if (argument == "mousemove" || argument == "getdisplaygeometry")
            onScreen << "--screen" << qEnvironmentVariable("DISPLAY").section('.', 1).rightJustified(1, '0');
    }
    return run("xdotool", onScreen);
}

} // namespace X11
