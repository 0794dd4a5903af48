// Times a capture's steps on the X server it runs on and prints medians:
//   snaprect_bench [runs]
// Run it on a private Xvfb server through bench/run.
#include "Median.h"
#include "overlay/TSnapRectForm.h"
#include "platform/ScreenGrabber.h"
#include "platform/XcbScreenGrabber.h"

#include <Pictures.h>
#include <X11.h>

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using bench::Clock;
using bench::median;

// Milliseconds that \a step takes, median of \a runs; \a before runs untimed
// ahead of each.
double timeMs(int runs, const std::function<void()> &step, const std::function<void()> &before = {})
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (before)
            before();
        const auto start = Clock::now();
        step();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return median(times);
}

// A field of /proc/self/status in kB.
qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// "AMD EPYC, 2 cores, load 1.23"
QString machine()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    QString model;
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpuinfo.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                model = QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
                break;
            }
        }
    }
    QFile load(QStringLiteral("/proc/loadavg"));
    const QByteArray average = load.open(QIODevice::ReadOnly) ? load.readAll().split(' ').value(0) : QByteArray("?");
    return QStringLiteral("%1, %2 cores, load %3").arg(model).arg(QThread::idealThreadCount()).arg(QString::fromLatin1(average));
}

void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Everything that the window system has been sent is done.
void settle()
{
    QCoreApplication::processEvents();
    QGuiApplication::sync();
}

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), changed, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void showOverlay(TSnapRectForm &form)
{
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        qFatal("the overlay did not come on screen");
    settle();
}

void printMs(const char *what, double ms)
{
    std::printf("  %-46s %9.2f ms\n", what, ms);
}

void printMb(const char *what, qint64 bytes, qint64 screenshot)
{
    std::printf("  %-46s %9.1f MB  (%.2f screenshots)\n", what, bytes / 1e6, double(bytes) / double(screenshot));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 15;
    QScreen *primary = QGuiApplication::primaryScreen();
    const QRect desktop = primary->virtualGeometry();
    X11::setRootPicture(patternPicture(desktop.size()));
    const qint64 screenshotBytes = qint64(desktop.width()) * desktop.height() * 4;

    std::printf("SnapRect benchmark on %dx%d (one screenshot %.1f MB), medians of %d runs\n%s\n", desktop.width(),
                desktop.height(), screenshotBytes / 1e6, runs, qPrintable(machine()));

    TSnapRectForm form(nullptr);
    settle();

    // Memory first, while the process has done nothing else yet. The first
    // capture also shows what a capture costs in memory never touched before;
    // as in the program, its memory is readied during the wait for the main
    // window to leave the screen, which is not counted.
    double firstSnapRect = 0;
    const auto captureOnce = [&] {
        form.prepare();
        QTest::qWait(50);
        const auto start = Clock::now();
        form.snapRect();
        showOverlay(form);
        if (firstSnapRect == 0)
            firstSnapRect = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        sendMouse(&form, QEvent::MouseButtonPress, QPoint(100, 100));
        sendMouse(&form, QEvent::MouseMove, QPoint(500, 400));
        sendMouse(&form, QEvent::MouseButtonRelease, QPoint(500, 400));
        settle();
        QTest::keyClick(&form, Qt::Key_Q);
        settle();
    };
    const qint64 idleKb = statusKb("VmRSS:");
    resetPeakMemory();
    captureOnce();
    const qint64 firstPeak = (statusKb("VmHWM:") - idleKb) * 1024;
    const qint64 kept = (statusKb("VmRSS:") - idleKb) * 1024;
    resetPeakMemory();
    captureOnce();
    const qint64 secondPeak = (statusKb("VmHWM:") - idleKb) * 1024;

    std::printf("\nGrab of the whole desktop\n");
    const double grab = timeMs(runs, [] { QPixmap p = ScreenGrabber::instance().grabDesktop(); });
    printMs("ScreenGrabber::instance() (the program's)", grab);
    double shared = 0;
    for (auto transfer : {XcbScreenGrabber::Transfer::SharedMemory, XcbScreenGrabber::Transfer::Connection}) {
        const std::unique_ptr<XcbScreenGrabber> x11 = XcbScreenGrabber::create(transfer);
        const double ms = timeMs(runs, [&] { QPixmap p = x11->grabDesktop(); });
        printMs(x11->lastGrabShared() ? "X11, shared memory" : "X11, over the connection", ms);
        if (x11->lastGrabShared())
            shared = ms;
    }
    const double qt = timeMs(runs, [&] {
        QPixmap p = primary->grabWindow(0, 0, 0, desktop.width(), desktop.height());
    });
    printMs("QScreen::grabWindow (comparison)", qt);
    if (shared > 0)
        std::printf("  %-46s %9.1f x\n", "QScreen::grabWindow / X11 shared memory", qt / shared);

    std::printf("\nPreparation\n");
    printMs("first snapRect() and overlay shown, readied memory", firstSnapRect);
    const double snap = timeMs(runs, [&] { form.snapRect(); });
    printMs("snapRect() as a whole", snap);
    printMs("of which not the grab", snap - grab);

    std::printf("\nOverlay on screen, 400 x 300 selection\n");
    form.snapRect();
    showOverlay(form);
    const QPoint from(desktop.width() / 2 - 200, desktop.height() / 2 - 150);
    sendMouse(&form, QEvent::MouseButtonPress, from);
    sendMouse(&form, QEvent::MouseMove, from + QPoint(400, 300));
    sendMouse(&form, QEvent::MouseButtonRelease, from + QPoint(400, 300));
    settle();
    QPoint hold = from + QPoint(200, 150);
    sendMouse(&form, QEvent::MouseButtonPress, hold);
    settle();
    int step = 0;
    printMs("drag step (move, paint, flush)", timeMs(runs * 4, [&] {
        ++step;
        hold += QPoint(step % 2 ? 3 : -2, step % 3 ? 2 : -3);
        sendMouse(&form, QEvent::MouseMove, hold);
        settle();
    }));
    sendMouse(&form, QEvent::MouseButtonRelease, hold);
    settle();
    printMs("full-overlay repaint (paint, flush)", timeMs(runs, [&] {
        form.update();
        settle();
    }));

    std::printf("\nMemory above the idle process (VmHWM, VmRSS)\n");
    printMb("peak of a first capture", firstPeak, screenshotBytes);
    printMb("peak of a second capture", secondPeak, screenshotBytes);
    printMb("kept between captures", kept, screenshotBytes);
    return 0;
}
