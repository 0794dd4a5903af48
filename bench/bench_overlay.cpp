// Times a region capture on Wayland as the user sees it: from the key that
// presses "局部" on the real program's main window to the dimmed overlay on
// each output; beside it, in the same rounds, the desktop portal's own grab,
// as bench_grab times it. Runs inside a sway with the desktop portal
// (testing/run-on-sway --portal):
//
//   bench_overlay [RUNS]    (default 10)
//
// Each round starts the program afresh and captures twice: the first capture
// of a process, then a later one. The key is typed by wtype, whose start is
// part of the figure (some 10 ms). A pixel near the top-left corner of every
// output, over a plain background, is copied from the compositor at each of
// the output's frames that change anything (the wlroots screen copy protocol,
// with damage); an output counts from the frame in which that pixel shows
// dimmed, at the time the compositor gives for the frame.

#include "platform/ScreenGrabber.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QTextStream>
#include <QThread>

#include <screencopy.h>

#include <wayland-client.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
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

// The spots' pixels, from one grim of the strip that holds them: whether the
// background shows.
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

double monotonicMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Each output's spot, copied from the compositor at every frame of the
// output that has damage, on a connection of its own.
class FrameWatcher
{
public:
    explicit FrameWatcher(QRgb background)
        : m_background(background & 0xffffffu)
    {
        if (!m_display)
            fail("no Wayland display");
        static const wl_registry_listener registryListener{
            [](void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version) {
                auto *self = static_cast<FrameWatcher *>(data);
                if (qstrcmp(interface, wl_output_interface.name) == 0) {
                    self->m_outputs.push_back(std::make_unique<Output>());
                    Output &output = *self->m_outputs.back();
                    output.watcher = self;
                    output.output = static_cast<wl_output *>(wl_registry_bind(registry, name, &wl_output_interface, 1));
                    wl_output_add_listener(output.output, &outputListener, &output);
                } else if (qstrcmp(interface, wl_shm_interface.name) == 0) {
                    self->m_shm = static_cast<wl_shm *>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
                } else if (qstrcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0 && version >= 2) {
                    self->m_manager = static_cast<zwlr_screencopy_manager_v1 *>(
                        wl_registry_bind(registry, name, &zwlr_screencopy_manager_v1_interface, 2));
                }
            },
            [](void *, wl_registry *, uint32_t) {}};
        wl_registry_add_listener(wl_display_get_registry(m_display), &registryListener, this);
        wl_display_roundtrip(m_display);
        wl_display_roundtrip(m_display);
        if (!m_shm || !m_manager || m_outputs.empty())
            fail("the compositor offers no screen copy with damage");
    }

    int count() const { return int(m_outputs.size()); }
    QSize size(int i) const { return m_outputs[i]->size; }

    // Has every output copy its spot at each damaged frame from now on.
    void arm()
    {
        for (const std::unique_ptr<Output> &output : m_outputs) {
            output->shownAt = -1;
            capture(*output);
        }
        wl_display_flush(m_display);
    }

    // The time of each output's first frame since arm() that shows its spot
    // other than the background, in CLOCK_MONOTONIC milliseconds.
    std::vector<double> waitForChange(double deadline)
    {
        for (;;) {
            std::vector<double> times;
            for (const std::unique_ptr<Output> &output : m_outputs)
                times.push_back(output->shownAt);
            if (std::all_of(times.begin(), times.end(), [](double time) { return time >= 0; }))
                return times;
            if (monotonicMs() > deadline)
                fail("the overlay did not show on every output");
            dispatch(100);
        }
    }

    void dispatch(int timeoutMs)
    {
        while (wl_display_prepare_read(m_display) != 0)
            wl_display_dispatch_pending(m_display);
        wl_display_flush(m_display);
        pollfd descriptor{wl_display_get_fd(m_display), POLLIN, 0};
        if (poll(&descriptor, 1, timeoutMs) > 0)
            wl_display_read_events(m_display);
        else
            wl_display_cancel_read(m_display);
        if (wl_display_dispatch_pending(m_display) < 0)
            fail("the screen copy connection failed");
    }

private:
    struct Output
    {
        FrameWatcher *watcher = nullptr;
        wl_output *output = nullptr;
        QSize size;
        zwlr_screencopy_frame_v1 *frame = nullptr;
        wl_buffer *buffer = nullptr;
        const uint32_t *pixel = nullptr;
        double shownAt = -1;
    };

    static constexpr int spotOffset = 40;

    void capture(Output &output)
    {
        if (output.frame)
            zwlr_screencopy_frame_v1_destroy(output.frame);
        output.frame = zwlr_screencopy_manager_v1_capture_output_region(m_manager, 0, output.output, spotOffset,
                                                                        spotOffset, 1, 1);
        zwlr_screencopy_frame_v1_add_listener(output.frame, &frameListener, &output);
    }

    // A buffer for the spot, in the format that the compositor asks for.
    void makeBuffer(Output &output, uint32_t format, uint32_t width, uint32_t height, uint32_t stride)
    {
        const int size = int(stride * height);
        const int file = memfd_create("bench-overlay-spot", 0);
        void *memory = file < 0 || ftruncate(file, size) != 0
                         ? MAP_FAILED
                         : mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
        if (memory == MAP_FAILED)
            fail("no memory for the screen copy");
        wl_shm_pool *pool = wl_shm_create_pool(m_shm, file, size);
        output.buffer = wl_shm_pool_create_buffer(pool, 0, int(width), int(height), int(stride), format);
        wl_shm_pool_destroy(pool);
        close(file);
        output.pixel = static_cast<const uint32_t *>(memory);
    }

    static const wl_output_listener outputListener;
    static const zwlr_screencopy_frame_v1_listener frameListener;

    wl_display *const m_display = wl_display_connect(nullptr);
    wl_shm *m_shm = nullptr;
    zwlr_screencopy_manager_v1 *m_manager = nullptr;
    std::vector<std::unique_ptr<Output>> m_outputs;
    const QRgb m_background;
};

// Only the output's size, which names it in the figures (wlroots tells no
// position); listeners of newer libraries have more members.
const wl_output_listener FrameWatcher::outputListener = [] {
    wl_output_listener listener{};
    listener.geometry = [](void *, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t, const char *,
                           const char *, int32_t) {};
    listener.mode = [](void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t) {
        if (flags & WL_OUTPUT_MODE_CURRENT)
            static_cast<Output *>(data)->size = QSize(width, height);
    };
    return listener;
}();

const zwlr_screencopy_frame_v1_listener FrameWatcher::frameListener{
    [](void *data, zwlr_screencopy_frame_v1 *frame, uint32_t format, uint32_t width, uint32_t height,
       uint32_t stride) {
        auto *output = static_cast<Output *>(data);
        if (format != WL_SHM_FORMAT_XRGB8888 && format != WL_SHM_FORMAT_ARGB8888)
            fail("the compositor copies in a format that the benchmark does not read");
        if (!output->buffer)
            output->watcher->makeBuffer(*output, format, width, height, stride);
        zwlr_screencopy_frame_v1_copy_with_damage(frame, output->buffer);
    },
    [](void *, zwlr_screencopy_frame_v1 *, uint32_t) {},
    [](void *data, zwlr_screencopy_frame_v1 *, uint32_t secondsHigh, uint32_t secondsLow, uint32_t nanoseconds) {
        auto *output = static_cast<Output *>(data);
        // Formats with 8 bits a colour keep red, green and blue in the low
        // 24 bits of a little-endian word, as QRgb does.
        if ((*output->pixel & 0xffffffu) == output->watcher->m_background) {
            output->watcher->capture(*output);
            return;
        }
        const double seconds = double((uint64_t(secondsHigh) << 32) | secondsLow);
        output->shownAt = seconds * 1e3 + nanoseconds / 1e6;
        zwlr_screencopy_frame_v1_destroy(output->frame);
        output->frame = nullptr;
    },
    [](void *, zwlr_screencopy_frame_v1 *) { fail("the compositor could not copy a frame"); },
    [](void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t, uint32_t) {}};

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

    FrameWatcher watcher(background.rgb());
    Figures grabs;
    // Per capture (first, later): each output's time, and the time of the
    // last output, when the whole overlay shows.
    std::vector<std::vector<Figures>> outputs(2, std::vector<Figures>(watcher.count()));
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
            watcher.arm();
            QProcess key;
            const double pressed = monotonicMs();
            key.start("wtype", {"-k", "space"});
            const std::vector<double> times = watcher.waitForChange(pressed + 15000);
            if (!key.waitForFinished() || key.exitCode() != 0)
                fail("wtype failed");
            for (int i = 0; i < watcher.count(); ++i) {
                if (times[i] < pressed)
                    fail("a frame from before the key showed the overlay");
                outputs[capture][i].add(times[i] - pressed);
            }
            whole[capture].add(*std::max_element(times.begin(), times.end()) - pressed);
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
        for (int i = 0; i < watcher.count(); ++i) {
            out() << "    output of " << watcher.size(i).width() << "x" << watcher.size(i).height() << ": "
                  << outputs[capture][i].describe() << Qt::endl;
        }
    }
    return 0;
}
