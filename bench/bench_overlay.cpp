// Times a region capture on Wayland as the user sees it: from the key that
// presses "局部" on the real program's main window to the dimmed overlay on
// each output, read back from the compositor with grim; beside it, in the
// same rounds, the desktop portal's own grab, as bench_grab times it. Runs
// inside a sway with the desktop portal (testing/run-on-sway --portal):
//
//   bench_overlay [RUNS]    (default 10)
//
// Each round starts the program afresh and captures twice: the first capture
// of a process, then a later one. The key is typed by wtype, whose start is
// part of the figure; grim reads a pixel near the top-left corner of every
// output over a plain background, so an output counts from the first of its
// frames that grim sees dimmed there (a frame of the compositor, 1/60 s, is
// the resolution).

#include "platform/ScreenGrabber.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

const QString mainWindow = QStringLiteral("[title=\"^Framzel$\"] ");
const QString overlay = QStringLiteral("[title=\"^Framzel－局部截图$\"] ");
const QColor background(64, 128, 192);

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

[[noreturn]] void fail(const QString &why)
{
    out() << "bench_overlay: " << why << Qt::endl;
    std::exit(1);
}

int run(const QString &program, const QStringList &arguments)
{
    return QProcess::execute(program, arguments);
}

// Until a sway command succeeds, or with criteria, until windows match them
// (or do not, with \a result false).
void waitForSway(const QString &command, bool result = true)
{
    QElapsedTimer clock;
    clock.start();
    while ((run("swaymsg", {"-q", command}) == 0) != result) {
        if (clock.elapsed() > 15000)
            fail("gave up on: swaymsg " + command + (result ? "" : " (to fail)"));
        QThread::msleep(20);
    }
}

void type(const QString &keys)
{
    if (run("wtype", keys.split(' ')) != 0)
        fail("wtype " + keys + " failed");
}

// The spots' pixels, from one grim of the strip that holds them.
class Spots
{
public:
    Spots()
    {
        for (const QScreen *screen : QGuiApplication::screens()) {
            m_points.push_back(screen->geometry().topLeft() + QPoint(40, 40));
            m_strip |= QRect(m_points.back(), QSize(1, 1));
        }
    }

    int count() const { return int(m_points.size()); }

    std::vector<QRgb> read() const
    {
        QProcess grim;
        grim.start("grim", {"-t", "ppm", "-g",
                            QString("%1,%2 %3x%4").arg(m_strip.x()).arg(m_strip.y()).arg(m_strip.width()).arg(m_strip.height()),
                            "-"});
        if (!grim.waitForFinished() || grim.exitCode() != 0)
            fail("grim failed");
        const QImage strip = QImage::fromData(grim.readAllStandardOutput());
        if (strip.size() != m_strip.size())
            fail("grim gave a picture of another size (a scale other than 1?)");
        std::vector<QRgb> pixels;
        for (const QPoint &at : m_points)
            pixels.push_back(strip.pixel(at - m_strip.topLeft()) | 0xff000000u);
        return pixels;
    }

private:
    std::vector<QPoint> m_points;
    QRect m_strip;
};

// Milliseconds until each output shows something else than the background at
// its spot, read from \a clock's start.
std::vector<double> waitForDimming(const Spots &spots, const QElapsedTimer &clock)
{
    std::vector<double> times(spots.count(), -1);
    for (;;) {
        const std::vector<QRgb> pixels = spots.read();
        const double now = clock.nsecsElapsed() / 1e6;
        bool all = true;
        for (int i = 0; i < spots.count(); ++i) {
            if (times[i] < 0 && pixels[i] != background.rgb())
                times[i] = now;
            all = all && times[i] >= 0;
        }
        if (all)
            return times;
        if (now > 15000)
            fail("the overlay did not show on every output");
    }
}

double portalGrab()
{
    QEventLoop loop;
    QElapsedTimer clock;
    double time = 0;
    QString failure;
    bool answered = false;
    clock.start();
    ScreenGrabber::instance().requestDesktop(&loop, [&](const QPixmap &, const QString &why) {
        time = clock.nsecsElapsed() / 1e6;
        failure = why;
        answered = true;
        loop.quit();
    });
    if (!answered)
        loop.exec();
    if (!failure.isEmpty())
        fail("portal grab failed: " + failure);
    return time;
}

struct Figures
{
    std::vector<double> all;

    void add(double time) { all.push_back(time); }

    double median()
    {
        std::sort(all.begin(), all.end());
        return all[all.size() / 2];
    }

    QString describe()
    {
        const double middle = median();
        return QString("median %1 ms (%2 to %3)").arg(middle, 0, 'f', 0).arg(all.front(), 0, 'f', 0).arg(all.back(), 0, 'f', 0);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;
    const Spots spots;
    if (run("swaymsg", {"-q", "output * bg " + background.name() + " solid_color"}) != 0)
        fail("sway refused the background");
    QElapsedTimer settle;
    settle.start();
    while (spots.read() != std::vector<QRgb>(spots.count(), background.rgb())) {
        if (settle.elapsed() > 15000)
            fail("the background did not show");
    }

    Figures grabs;
    // Per capture (first, later): each output's time, and the time of the
    // last output, when the whole overlay shows.
    std::vector<std::vector<Figures>> outputs(2, std::vector<Figures>(spots.count()));
    std::vector<Figures> whole(2);
    for (int round = 0; round < runs; ++round) {
        grabs.add(portalGrab());
        QProcess program;
        program.start(SNAPRECT_BINARY, {});
        waitForSway(mainWindow + "focus");
        // A client still busy with a new keyboard's keymap loses its first key.
        QThread::msleep(300);
        type("-k Tab");
        for (int capture = 0; capture < 2; ++capture) {
            waitForSway(mainWindow + "focus");
            // The key's keymap and the focus settle first, as a user's do.
            QThread::msleep(300);
            QElapsedTimer clock;
            clock.start();
            type("-k space");
            const std::vector<double> times = waitForDimming(spots, clock);
            for (int i = 0; i < spots.count(); ++i)
                outputs[capture][i].add(times[i]);
            whole[capture].add(*std::max_element(times.begin(), times.end()));
            waitForSway(overlay + "focus");
            type("-k Escape");
            waitForSway(overlay + "nop", false);
            // Back to the background everywhere before the next one.
            while (spots.read() != std::vector<QRgb>(spots.count(), background.rgb()))
                QThread::msleep(10);
        }
        program.terminate();
        if (!program.waitForFinished())
            fail("the program did not end");
    }

    const QList<QScreen *> screens = QGuiApplication::screens();
    const double grab = grabs.median();
    out() << "Wayland region capture, outputs";
    for (const QScreen *screen : screens)
        out() << " " << screen->size().width() << "x" << screen->size().height();
    out() << ", " << runs << " rounds" << Qt::endl;
    out() << "  portal grab alone: " << grabs.describe() << Qt::endl;
    const char *names[] = {"first capture of a process", "later capture"};
    for (int capture = 0; capture < 2; ++capture) {
        out() << "  key -> dimmed overlay on every output, " << names[capture] << ": " << whole[capture].describe()
              << ", " << QString::number(whole[capture].median() / grab, 'f', 2) << " x the portal grab" << Qt::endl;
        for (int i = 0; i < spots.count(); ++i)
            out() << "    " << screens[i]->name() << ": " << outputs[capture][i].describe() << Qt::endl;
    }
    return 0;
}
