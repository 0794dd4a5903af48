#include "X11.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

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

DisplayPtr display()
{
    return DisplayPtr(XOpenDisplay(nullptr), XCloseDisplay);
}

} // namespace

QList<Window> windows(const QString &title)
{
    return numbers(xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                            QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')}),
                   QStringLiteral("(\\d+)"));
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
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)}).contains(QLatin1String("IsViewable"));
}

QRect geometry(Window window)
{
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    const QList<Window> n = numbers(info, QStringLiteral("(?:Absolute upper-left .|Width|Height): +(\\d+)"));
    return n.size() == 4 ? QRect(int(n[0]), int(n[1]), int(n[2]), int(n[3])) : QRect();
}

QString sizeHints(Window window)
{
    return run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), QStringLiteral("WM_NORMAL_HINTS")});
}

QList<Window> stackingOrder()
{
    return numbers(run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")}),
                   QStringLiteral("(0x[0-9a-f]+)"));
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
        return windows.contains(xdotool({QStringLiteral("getwindowfocus")}).trimmed().toULong());
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
    QList<QRect> found;
    const QString layout = qEnvironmentVariable("MONITOR_LAYOUT", xdotool({QStringLiteral("getdisplaygeometry")})
                                                                      .trimmed().replace(' ', 'x') + "+0+0");
    for (const QString &monitor : layout.split(QLatin1Char(' '))) {
        const QList<Window> n = numbers(monitor, QStringLiteral("(\\d+)"));
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

QString xdotool(const QStringList &arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}

} // namespace X11
