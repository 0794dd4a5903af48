#include "XcbScreenGrabber.h"

#include "LargeImage.h"
#include "PixelOps.h"
#include "XcbServerPainter.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <X11/Xlib.h>
#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <utility>

namespace {

// Replies of the plain transfer stay below the size from which malloc maps
// fresh memory for each one, so that the strips reuse the same few pages;
// several are asked for at once, so that the server fills the next while
// this side copies the last.
constexpr size_t stripBytes = 120 << 10;
constexpr int stripsInFlight = 4;
// Shared memory is given up only after this many failed grabs in a row: one
// failure may be a passing shortage of memory on either side.
constexpr int sharedMemoryAttempts = 3;
// A prepared grab goes in this many strips.
constexpr int grabStrips = 8;

template<typename T>
struct FreeReply {
    void operator()(T *reply) const { std::free(reply); }
};
template<typename T>
using Reply = std::unique_ptr<T, FreeReply<T>>;

bool isTrueColour32(xcb_connection_t *connection, const xcb_screen_t *screen)
{
    if (screen->root_depth != 24)
        return false;
    const xcb_setup_t *setup = xcb_get_setup(connection);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    bool thirtyTwoBits = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        thirtyTwoBits |= f.data->depth == 24 && f.data->bits_per_pixel == 32;
    if (!thirtyTwoBits)
        return false;
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen->root_visual)
                return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xff0000
                       && v.data->green_mask == 0xff00 && v.data->blue_mask == 0xff;
        }
    }
    return false;
}

// A memory file mapped here and attached to the server, which writes a grab
// into it; the picture made of it owns it.
struct Segment {
    xcb_connection_t *connection;
    xcb_shm_seg_t id;
    void *data;
    size_t size;
};

void destroy(const Segment &segment)
{
    xcb_shm_detach(segment.connection, segment.id);
    xcb_flush(segment.connection);
    munmap(segment.data, segment.size);
}

// Called when the last copy of a picture goes, on the thread that drops it:
// the GUI thread, as every picture of the program lives there. The segment
// goes with it: between captures the program holds no picture of the desktop.
void releaseSegment(void *info)
{
    auto *segment = static_cast<Segment *>(info);
    destroy(*segment);
    delete segment;
}

// Writes zeros over \a size bytes of the file from \a offset. Its pages
// then exist complete, which fallocate() leaves them not: only complete
// pages are mapped ahead of a read (see readAheadOfGrab()).
bool writeZeros(int fd, size_t offset, size_t size)
{
    static const char zeros[256 << 10] = {};
    for (size_t done = 0; done < size;) {
        const ssize_t written = pwrite(fd, zeros, std::min(sizeof zeros, size - done), off_t(offset + done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += size_t(written);
    }
    return true;
}

// A memory file of \a size bytes; -1 when none can be made.
int newMemoryFile(size_t size)
{
    const int fd = memfd_create("snaprect-grab", MFD_CLOEXEC);
    if (fd >= 0 && ftruncate(fd, off_t(size)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The server's first write to a page of the segment maps that page alone,
// its first read maps the pages around it as well (64 KiB in all, the
// kernel's usual fault-around) where they have been written. Reading one
// pixel of every 64 KiB before a grab of \a size writes them spares the
// server fifteen faults in sixteen, which are most of the grab's cost on
// its side. \a lines limits the reading to those of the picture.
void readAheadOfGrab(xcb_connection_t *connection, xcb_window_t root, xcb_shm_seg_t segment, const QSize &size,
                     std::pair<int, int> lines = {0, std::numeric_limits<int>::max()})
{
    const xcb_pixmap_t pixel = xcb_generate_id(connection);
    xcb_create_pixmap(connection, 24, pixel, root, 1, 1);
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    xcb_create_gc(connection, gc, pixel, 0, nullptr);
    constexpr size_t step = 64 << 10;
    const size_t lineBytes = size_t(size.width()) * 4;
    const size_t end = lineBytes * size_t(std::min(lines.second, size.height()));
    for (size_t offset = lineBytes * size_t(lines.first) / step * step; offset < end; offset += step) {
        // A segment that the server refused fails the grab; its errors
        // here are dropped.
        const xcb_void_cookie_t read = xcb_shm_put_image_checked(
            connection, pixel, gc, uint16_t(size.width()), uint16_t(size.height()), uint16_t(offset % lineBytes / 4),
            uint16_t(offset / lineBytes), 1, 1, 0, 0, 24, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment, 0);
        xcb_discard_reply(connection, read.sequence);
    }
    xcb_free_gc(connection, gc);
    xcb_free_pixmap(connection, pixel);
}

// A segment of the memory file \a fd, which it takes over.
Segment newSegment(xcb_connection_t *connection, int fd, size_t size)
{
    if (fd < 0)
        return {};
    // Populated here in one go rather than a fault per page when written.
    void *data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return {};
    }
    // xcb closes the descriptor once it is sent; the mapping stays.
    const xcb_shm_seg_t id = xcb_generate_id(connection);
    Reply<xcb_generic_error_t> error(xcb_request_check(connection, xcb_shm_attach_fd_checked(connection, id, fd, 0)));
    if (error) {
        munmap(data, size);
        return {};
    }
    return {connection, id, data, size};
}

// Screen \a number of the display, as DefaultScreen() counts them.
const xcb_screen_t *screenNumbered(xcb_connection_t *connection, int number)
{
    for (auto s = xcb_setup_roots_iterator(xcb_get_setup(connection)); s.rem; xcb_screen_next(&s), --number) {
        if (number == 0)
            return s.data;
    }
    return nullptr;
}

// Monitors came with RandR 1.5; the version must be asked for before use.
bool hasRandrMonitors(xcb_connection_t *connection)
{
    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(connection, &xcb_randr_id);
    Reply<xcb_randr_query_version_reply_t> version;
    if (randr && randr->present)
        version.reset(xcb_randr_query_version_reply(connection, xcb_randr_query_version(connection, 1, 5), nullptr));
    return version && (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 5));
}

// Memory files are passed as descriptors, which came with MIT-SHM 1.2.
bool sharedMemoryTakesDescriptors(xcb_connection_t *connection)
{
    const xcb_query_extension_reply_t *shm = xcb_get_extension_data(connection, &xcb_shm_id);
    Reply<xcb_shm_query_version_reply_t> version;
    if (shm && shm->present)
        version.reset(xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), nullptr));
    return version && (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 2));
}

// Made if it does not exist yet, so that it holds for a window manager that
// starts later.
xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Up to \a count 32-bit values of a window's property.
xcb_get_property_cookie_t askProperty(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property,
                                      uint32_t count)
{
    return xcb_get_property(connection, 0, window, property, XCB_ATOM_ANY, 0, count);
}

template<typename T>
QList<T> propertyValues(xcb_connection_t *connection, xcb_get_property_cookie_t cookie)
{
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto *values = static_cast<const T *>(xcb_get_property_value(reply.get()));
    return QList<T>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

size_t pictureBytes(const QRect &area)
{
    return size_t(area.width()) * size_t(area.height()) * 4;
}

// Asks the server to write \a lines lines of \a area from line \a top into
// the segment, where they lie in the picture.
xcb_shm_get_image_cookie_t askLines(xcb_connection_t *connection, xcb_window_t root, xcb_shm_seg_t segment,
                                    const QRect &area, int top, int lines)
{
    return xcb_shm_get_image(connection, root, int16_t(area.x()), int16_t(area.y() + top), uint16_t(area.width()),
                             uint16_t(lines), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment,
                             uint32_t(size_t(top) * size_t(area.width()) * 4));
}

// The lines of each strip of a grab of \a height lines.
int stripLinesFor(int height)
{
    return qMax(1, (height + grabStrips - 1) / grabStrips);
}

// Reads the replies to the strips \a asked for, in order: every one, also
// after a failure, so that none is left queued. Where \a data, the memory of
// a picture of \a size, is given, each strip is made opaque there while the
// server writes the next: the server leaves the unused top byte of its
// 24-bit pixels undefined. Whether every strip came.
bool readStrips(xcb_connection_t *connection, const QList<xcb_shm_get_image_cookie_t> &asked, void *data,
                const QSize &size)
{
    const int stripLines = stripLinesFor(size.height());
    bool complete = true;
    for (qsizetype i = 0; i < asked.size(); ++i) {
        complete = Reply<xcb_shm_get_image_reply_t>(xcb_shm_get_image_reply(connection, asked.at(i), nullptr))
                   && complete;
        if (complete && data) {
            const int top = int(i) * stripLines;
            QImage strip(static_cast<uchar *>(data) + size_t(top) * size_t(size.width()) * 4, size.width(),
                         qMin(stripLines, size.height() - top), size.width() * 4, QImage::Format_RGB32);
            makeOpaque(strip);
        }
    }
    return complete;
}

} // namespace

// Shared memory readied while the program waits anyway, and written once by
// the server then, so that during the grab neither side meets a page of it
// for the first time. Fresh pages cost more than the copy into them, above
// all on the server's side.
struct XcbScreenGrabber::PreparedSegment {
    QRect area;
    size_t size;
    int fd;
    xcb_shm_seg_t id;
    xcb_void_cookie_t attached;
    QList<xcb_shm_get_image_cookie_t> written; // a strip each, of stripLinesFor() lines
    bool isGrab = false;            // what the server writes is the next grab

    ~PreparedSegment() { close(fd); }
};

// A memory file for a picture of the desktop's area, made before it is
// needed, and where it holds a grab of that area already, its mapping;
// closed and unmapped unless taken.
struct XcbScreenGrabber::MemoryFile {
    QRect area;
    int fd = -1;
    void *data = nullptr;
    std::uint32_t segment = 0; // attached through the grabber's connection
    bool grabbed = false;

    ~MemoryFile()
    {
        if (fd >= 0)
            close(fd);
        if (data)
            munmap(data, pictureBytes(area));
    }
};

// prepareEarly()'s memory file, readied on a thread while the application
// starts. Once the capture may begin (no other one shows on the screen), the
// thread grabs into it as well, so that the server's copy, too, overlaps the
// making of the overlay; otherwise the memory serves the first grab alone.
struct XcbScreenGrabber::EarlyMemory {
    enum class Use { Undecided, Grab, Memory };

    ~EarlyMemory()
    {
        // A thread still waiting is told; the program ends only after it.
        decide(Use::Memory);
        if (made.valid() && made.wait_for(std::chrono::seconds(0)) != std::future_status::deferred)
            made.wait();
    }

    /// Whether the memory is used as \a use: the first decision holds. A
    /// grab goes through \a connection.
    bool decide(Use use, xcb_connection_t *connection = nullptr)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (decided == Use::Undecided) {
            decided = use;
            grabThrough = connection;
            decidedNow.notify_all();
        }
        return decided == use;
    }
    xcb_connection_t *grabConnection()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return grabThrough;
    }
    Use decision()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return decided;
    }
    Use awaitDecision()
    {
        std::unique_lock<std::mutex> lock(mutex);
        decidedNow.wait(lock, [this] { return decided != Use::Undecided; });
        return decided;
    }
    /// The memory file, once the thread is done with it; decided as \a use
    /// unless decided already.
    std::unique_ptr<MemoryFile> take(Use use)
    {
        decide(use);
        return made.valid() ? made.get() : nullptr;
    }

    std::future<std::unique_ptr<MemoryFile>> made;

private:
    std::mutex mutex;
    std::condition_variable decidedNow;
    Use decided = Use::Undecided;
    xcb_connection_t *grabThrough = nullptr;
};

std::unique_ptr<XcbScreenGrabber> XcbScreenGrabber::create(Transfer transfer)
{
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return {};
    // The screen that the display's name chose (":0.1"), as Qt uses it.
    const xcb_screen_t *screen = screenNumbered(connection, x11->display() ? DefaultScreen(x11->display()) : 0);
    if (!screen || !isTrueColour32(connection, screen))
        return {};
    return std::unique_ptr<XcbScreenGrabber>(new XcbScreenGrabber(connection, screen->root, transfer));
}

XcbScreenGrabber::XcbScreenGrabber(xcb_connection_t *connection, std::uint32_t root, Transfer transfer)
    : m_connection(connection)
    , m_root(root)
    , m_transfer(transfer)
    , m_clientListStacking(atom(connection, "_NET_CLIENT_LIST_STACKING"))
    , m_frameExtents(atom(connection, "_NET_FRAME_EXTENTS"))
    , m_hasMonitors(hasRandrMonitors(connection))
    , m_early(std::move(earlyMemory()))
{
    if (m_transfer == Transfer::SharedMemory && !sharedMemoryTakesDescriptors(m_connection))
        m_sharedMemoryFailures = sharedMemoryAttempts;
}

XcbScreenGrabber::~XcbScreenGrabber() = default;

std::unique_ptr<XcbScreenGrabber::EarlyMemory> &XcbScreenGrabber::earlyMemory()
{
    static std::unique_ptr<EarlyMemory> memory;
    return memory;
}

void XcbScreenGrabber::prepareEarly()
{
    std::unique_ptr<EarlyMemory> &early = earlyMemory();
    if (early)
        return;
    // Connected here rather than on the thread: finding the authority file
    // (libXau) is not safe while another thread connects, as Qt and the
    // display check do meanwhile. The connection itself may then be used
    // on the thread.
    int number = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &number);
    early = std::make_unique<EarlyMemory>();
    // Where no thread can be started, the first grab makes it itself.
    early->made = std::async(std::launch::async | std::launch::deferred, &XcbScreenGrabber::readyEarlyMemory,
                             connection, number, early.get());
}

std::unique_ptr<XcbScreenGrabber::MemoryFile> XcbScreenGrabber::readyEarlyMemory(xcb_connection_t *connection,
                                                                                 int number, EarlyMemory *early)
{
    const xcb_screen_t *screen = xcb_connection_has_error(connection) ? nullptr : screenNumbered(connection, number);
    QRect area;
    if (screen && isTrueColour32(connection, screen) && sharedMemoryTakesDescriptors(connection))
        area = desktopArea(connection, screen->root, monitors(connection, screen->root, hasRandrMonitors(connection)));
    const xcb_window_t root = screen ? screen->root : 0;
    xcb_disconnect(connection);
    if (area.isEmpty())
        return {};
    auto memory = std::make_unique<MemoryFile>();
    memory->area = area;
    memory->fd = newMemoryFile(pictureBytes(area));
    if (memory->fd < 0 || !readyAndGrab(root, memory.get(), early))
        return {};
    return memory;
}

bool XcbScreenGrabber::readyAndGrab(std::uint32_t root, MemoryFile *memory, EarlyMemory *early)
{
    const QRect area = memory->area;
    const int stripLines = stripLinesFor(area.height());
    const size_t lineBytes = size_t(area.width()) * 4;
    // The grab goes through the grabber's connection (xcb's connections are
    // shared between threads), so that the server paints the overlay from
    // the mapping that the grab made: a second one would cost it the faults
    // again.
    xcb_connection_t *connection = nullptr;
    xcb_void_cookie_t attached = {};
    QList<xcb_shm_get_image_cookie_t> asked;
    const auto askWritten = [&](int writtenLines) {
        if (!connection) {
            connection = early->grabConnection();
            // xcb closes the descriptor that it sends.
            if (const int sent = fcntl(memory->fd, F_DUPFD_CLOEXEC, 0); sent >= 0) {
                memory->segment = xcb_generate_id(connection);
                attached = xcb_shm_attach_fd_checked(connection, memory->segment, sent, 0);
            }
        }
        if (!memory->segment)
            return;
        for (int top = int(asked.size()) * stripLines; top < writtenLines; top += stripLines) {
            const int lines = qMin(stripLines, area.height() - top);
            readAheadOfGrab(connection, root, memory->segment, area.size(), {top, top + lines});
            asked.append(askLines(connection, root, memory->segment, area, top, lines));
        }
        xcb_flush(connection);
    };
    // The pages are made here, on a core that the starting application
    // leaves idle, rather than by the server when it first writes them; it
    // then only maps them. A strip at a time, so that a grab decided on
    // meanwhile starts on those written.
    bool written = true;
    for (int top = 0; written && top < area.height(); top += stripLines) {
        const int lines = qMin(stripLines, area.height() - top);
        written = writeZeros(memory->fd, size_t(top) * lineBytes, size_t(lines) * lineBytes);
        if (written && early->decision() == EarlyMemory::Use::Grab)
            askWritten(top + lines);
    }
    if (!connection && (!written || early->awaitDecision() != EarlyMemory::Use::Grab))
        return written;
    if (written)
        askWritten(area.height());
    // Mapped while the server writes: the pages exist, and mapping them does
    // not wait for what is in them.
    void *data = mmap(nullptr, pictureBytes(area), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, memory->fd, 0);
    memory->data = data == MAP_FAILED ? nullptr : data;
    const bool complete =
        readStrips(connection, asked, written ? memory->data : nullptr, area.size()) && written && memory->data;
    // A segment that the server refused is none to let go.
    if (memory->segment && Reply<xcb_generic_error_t>(xcb_request_check(connection, attached)))
        memory->segment = 0;
    memory->grabbed = complete && memory->segment;
    return true;
}

int XcbScreenGrabber::memoryFileFor(const QRect &area)
{
    if (m_early) {
        const std::unique_ptr<MemoryFile> early = std::exchange(m_early, {})->take(EarlyMemory::Use::Memory);
        if (early && early->area.size() == area.size())
            return std::exchange(early->fd, -1);
    }
    return newMemoryFile(pictureBytes(area));
}

QRect XcbScreenGrabber::desktopGeometry() const
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? primary->virtualGeometry() : QRect();
}

QList<XcbScreenGrabber::Monitor> XcbScreenGrabber::monitors(xcb_connection_t *connection, std::uint32_t root,
                                                            bool hasMonitors)
{
    QList<Monitor> found;
    if (!hasMonitors)
        return found;
    Reply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(connection, xcb_randr_get_monitors(connection, root, 1), nullptr));
    if (!reply)
        return found;
    for (auto m = xcb_randr_get_monitors_monitors_iterator(reply.get()); m.rem; xcb_randr_monitor_info_next(&m)) {
        Reply<xcb_get_atom_name_reply_t> name(
            xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, m.data->name), nullptr));
        const QString text = name ? QString::fromUtf8(xcb_get_atom_name_name(name.get()),
                                                      xcb_get_atom_name_name_length(name.get()))
                                  : QString();
        found.append({text, QRect(m.data->x, m.data->y, m.data->width, m.data->height)});
    }
    return found;
}

QRect XcbScreenGrabber::desktopArea(xcb_connection_t *connection, std::uint32_t root, const QList<Monitor> &monitors)
{
    // The root's size changes with the monitors, so it is asked for each time.
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, root), nullptr));
    const QRect rootGeometry = geometry ? QRect(0, 0, geometry->width, geometry->height) : QRect();
    QRect bounds;
    for (const Monitor &monitor : monitors)
        bounds |= monitor.geometry;
    // Without monitors the whole root; never past its edges, where the
    // server refuses to read.
    return bounds.isEmpty() ? rootGeometry : bounds & rootGeometry;
}

QRect XcbScreenGrabber::screenArea(const QScreen *screen) const
{
    const QList<Monitor> all = monitors();
    for (const Monitor &monitor : all) {
        if (monitor.name == screen->name())
            return monitor.geometry.translated(-desktopArea(all).topLeft());
    }
    return ScreenGrabber::screenArea(screen);
}

bool XcbScreenGrabber::needsWindowPerScreen() const
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    const QList<QScreen *> screens = QGuiApplication::screens();
    return !std::all_of(screens.cbegin(), screens.cend(), [&](const QScreen *screen) {
        const QRect area = screenArea(screen), scaled = ScreenGrabber::screenArea(screen);
        // A pixel apart where the factor is fractional.
        const auto near = [](int a, int b) { return std::abs(a - b) <= 1; };
        return qFuzzyCompare(screen->devicePixelRatio(), primary->devicePixelRatio())
               && near(area.left(), scaled.left()) && near(area.top(), scaled.top())
               && near(area.right(), scaled.right()) && near(area.bottom(), scaled.bottom());
    });
}

bool XcbScreenGrabber::sharedMemoryUsable() const
{
    return m_transfer == Transfer::SharedMemory && m_sharedMemoryFailures < sharedMemoryAttempts;
}

void XcbScreenGrabber::prepare()
{
    if ((m_preparedSegment && m_preparedSegment->isGrab) || earlyGrabDecided())
        return;
    std::uint32_t unused;
    bool unusedGrab;
    takePreparedSegment(QRect(), &unused, &unusedGrab); // of an earlier prepare() that no grab followed
    const QRect area = desktopArea(monitors());
    if (sharedMemoryUsable())
        m_preparedSegment = prepareSegment(area);
    else
        m_prepared = newLargeImage(area.size(), QImage::Format_RGB32);
}

bool XcbScreenGrabber::earlyGrabDecided() const
{
    return m_early && m_early->decision() == EarlyMemory::Use::Grab;
}

void XcbScreenGrabber::prepareGrabNow()
{
    // The start-up thread grabs into the memory that it readied, while this
    // one makes the overlay; the next grabDesktop() waits for it, and with
    // that the thread is done with the application's connection.
    if (m_early && sharedMemoryUsable() && m_early->decide(EarlyMemory::Use::Grab, m_connection))
        return;
    prepare();
    // Nothing of the program's shows yet: the write that readies the pages
    // is the grab.
    if (m_preparedSegment)
        m_preparedSegment->isGrab = true;
}

std::unique_ptr<XcbScreenGrabber::PreparedSegment> XcbScreenGrabber::prepareSegment(const QRect &area)
{
    const size_t size = pictureBytes(area);
    const int fd = area.isEmpty() ? -1 : memoryFileFor(area);
    if (fd < 0)
        return {};
    // xcb closes the descriptor that it sends; this side maps its own.
    const int sent = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (sent < 0) {
        close(fd);
        return {};
    }
    auto prepared = std::make_unique<PreparedSegment>();
    prepared->area = area;
    prepared->size = size;
    prepared->fd = fd;
    prepared->id = xcb_generate_id(m_connection);
    prepared->attached = xcb_shm_attach_fd_checked(m_connection, prepared->id, sent, 0);
    readAheadOfGrab(m_connection, m_root, prepared->id, area.size());
    // A grab now, while the program's windows may still show, only for the
    // server to write every page; the grab proper writes them again. In
    // strips, so that where it is the grab, each is finished while the
    // server writes the next.
    const int stripLines = stripLinesFor(area.height());
    for (int top = 0; top < area.height(); top += stripLines) {
        prepared->written.append(
            askLines(m_connection, m_root, prepared->id, area, top, qMin(stripLines, area.height() - top)));
    }
    xcb_flush(m_connection);
    return prepared;
}

void *XcbScreenGrabber::takePreparedSegment(const QRect &area, std::uint32_t *id, bool *grabbed)
{
    *grabbed = false;
    const std::unique_ptr<PreparedSegment> prepared = std::move(m_preparedSegment);
    if (!prepared)
        return nullptr;
    // Mapped while the server writes: the pages exist, and mapping them does
    // not wait for what is in them.
    void *data = !area.isEmpty() && area.size() == prepared->area.size()
                     ? mmap(nullptr, prepared->size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, prepared->fd, 0)
                     : MAP_FAILED;
    const bool isGrab = prepared->isGrab && area == prepared->area && data != MAP_FAILED;
    const bool written = readStrips(m_connection, prepared->written, isGrab ? data : nullptr, area.size());
    Reply<xcb_generic_error_t> refused(xcb_request_check(m_connection, prepared->attached));
    if (data != MAP_FAILED && !refused) {
        *id = prepared->id;
        *grabbed = isGrab && written;
        return data;
    }
    if (data != MAP_FAILED)
        munmap(data, prepared->size);
    if (!refused)
        xcb_shm_detach(m_connection, prepared->id);
    return nullptr;
}

void *XcbScreenGrabber::takeEarlyGrab(const QRect &area, std::uint32_t *id)
{
    if (!earlyGrabDecided())
        return nullptr;
    const std::unique_ptr<MemoryFile> early = std::exchange(m_early, {})->take(EarlyMemory::Use::Grab);
    // The desktop may have changed meanwhile.
    if (!early || !early->grabbed || early->area != area) {
        if (early && early->segment)
            xcb_shm_detach(m_connection, early->segment);
        return nullptr;
    }
    *id = early->segment;
    return std::exchange(early->data, nullptr);
}

QPixmap XcbScreenGrabber::grabDesktop()
{
    const QRect area = desktopArea(monitors());
    // The windows as they are now, while the program's own are off the
    // screen; the overlay later covers them all.
    m_windows = windowsIn(area);
    QImage picture;
    m_lastGrabShared = false;
    m_sharedPixels = nullptr;
    if (sharedMemoryUsable()) {
        picture = grabShared(area);
        // A server that cannot reach our memory (another machine) will not
        // next time either; a shortage of memory may pass.
        m_lastGrabShared = !picture.isNull();
        m_sharedMemoryFailures = m_lastGrabShared ? 0 : m_sharedMemoryFailures + 1;
    }
    if (picture.isNull())
        picture = grabOverConnection(area);
    // Memory prepared for a grab of another size is not kept.
    m_prepared = QImage();
    if (picture.isNull())
        return {};
    const QScreen *primary = QGuiApplication::primaryScreen();
    picture.setDevicePixelRatio(primary ? primary->devicePixelRatio() : 1.0);
    return QPixmap::fromImage(std::move(picture), Qt::NoFormatConversion);
}

QImage XcbScreenGrabber::grabShared(const QRect &area)
{
    Segment segment{m_connection, 0, nullptr, pictureBytes(area)};
    segment.data = takeEarlyGrab(area, &segment.id);
    bool grabbed = segment.data != nullptr;
    if (!segment.data)
        segment.data = takePreparedSegment(area, &segment.id, &grabbed);
    if (!segment.data) {
        segment = newSegment(m_connection, memoryFileFor(area), segment.size);
        if (segment.data)
            readAheadOfGrab(m_connection, m_root, segment.id, area.size());
    }
    if (!segment.data)
        return {};
    const bool written = grabbed || Reply<xcb_shm_get_image_reply_t>(xcb_shm_get_image_reply(
        m_connection,
        xcb_shm_get_image(m_connection, m_root, int16_t(area.x()), int16_t(area.y()), uint16_t(area.width()),
                          uint16_t(area.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment.id, 0),
        nullptr));
    if (!written) {
        destroy(segment);
        return {};
    }
    m_sharedPixels = segment.data;
    m_sharedSegment = segment.id;
    QImage picture(static_cast<uchar *>(segment.data), area.width(), area.height(), area.width() * 4,
                   QImage::Format_RGB32, releaseSegment, new Segment(segment));
    // A prepared grab has been made opaque strip by strip.
    if (!grabbed)
        makeOpaque(picture);
    return picture;
}

std::unique_ptr<ServerPainter> XcbScreenGrabber::serverPainter(const QImage &picture, QWidget *window) const
{
    // Only a picture that still lies where the last grab's segment is: a
    // live picture keeps its segment, and a segment is its picture's alone.
    if (picture.isNull() || !m_sharedPixels || picture.constBits() != m_sharedPixels)
        return {};
    return XcbServerPainter::create(m_connection, xcb_window_t(window->winId()), picture, m_sharedSegment);
}

QImage XcbScreenGrabber::grabOverConnection(const QRect &area)
{
    QImage picture = std::exchange(m_prepared, QImage());
    if (picture.size() != area.size())
        picture = newLargeImage(area.size(), QImage::Format_RGB32);
    if (picture.isNull())
        return {};
    const size_t lineBytes = size_t(area.width()) * 4;
    const int stripLines = int(qMax<size_t>(1, stripBytes / lineBytes));
    struct Strip {
        xcb_get_image_cookie_t cookie;
        int top, lines;
    };
    std::deque<Strip> asked;
    int next = 0;
    const auto ask = [&] {
        const int lines = qMin(stripLines, area.height() - next);
        asked.push_back({xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(area.x()),
                                       int16_t(area.y() + next), uint16_t(area.width()), uint16_t(lines), ~0u),
                         next, lines});
        next += lines;
    };
    bool complete = true;
    while (next < area.height() && asked.size() < size_t(stripsInFlight))
        ask();
    while (!asked.empty()) {
        const Strip strip = asked.front();
        asked.pop_front();
        // Every reply is read, also after a failure, so that none is left queued.
        Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(m_connection, strip.cookie, nullptr));
        if (complete && next < area.height())
            ask();
        const size_t bytes = lineBytes * size_t(strip.lines);
        if (!reply || size_t(xcb_get_image_data_length(reply.get())) < bytes) {
            complete = false;
            continue;
        }
        // The server leaves the unused top byte of its 24-bit pixels
        // undefined; it is set while the pixels are copied anyway.
        const auto *source = reinterpret_cast<const uint32_t *>(xcb_get_image_data(reply.get()));
        auto *target = reinterpret_cast<uint32_t *>(picture.scanLine(strip.top));
        for (size_t i = 0; i < bytes / 4; ++i)
            target[i] = source[i] | 0xff000000u;
    }
    return complete ? picture : QImage();
}

QList<std::uint32_t> XcbScreenGrabber::stackingOrder() const
{
    // Bottom to top: the window manager's clients where one runs (their
    // frames are its windows), else the root's children.
    const QList<xcb_window_t> clients = propertyValues<xcb_window_t>(
        m_connection, askProperty(m_connection, m_root, m_clientListStacking, 4096));
    if (!clients.isEmpty())
        return clients;
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    if (!tree)
        return {};
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    return QList<xcb_window_t>(children, children + xcb_query_tree_children_length(tree.get()));
}

QList<QRect> XcbScreenGrabber::windowsIn(const QRect &area) const
{
    QList<xcb_window_t> own;
    for (const QWindow *window : QGuiApplication::allWindows()) {
        if (window->handle())
            own.append(xcb_window_t(window->winId()));
    }
    struct Asked {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t position;
        xcb_get_property_cookie_t frame;
    };
    // Asked for all at once, then read: one round trip, not four a window.
    const QList<xcb_window_t> order = stackingOrder();
    QList<Asked> asked;
    for (const xcb_window_t window : order)
        asked.append({xcb_get_window_attributes(m_connection, window), xcb_get_geometry(m_connection, window),
                      xcb_translate_coordinates(m_connection, window, m_root, 0, 0),
                      askProperty(m_connection, window, m_frameExtents, 4)});
    QList<QRect> found;
    for (qsizetype i = 0; i < order.size(); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(m_connection, asked[i].attributes, nullptr));
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(m_connection, asked[i].geometry, nullptr));
        Reply<xcb_translate_coordinates_reply_t> position(
            xcb_translate_coordinates_reply(m_connection, asked[i].position, nullptr));
        const QList<uint32_t> frame = propertyValues<uint32_t>(m_connection, asked[i].frame);
        if (!attributes || !geometry || !position || own.contains(order[i])
            || attributes->map_state != XCB_MAP_STATE_VIEWABLE || attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        QRect window(position->dst_x, position->dst_y, geometry->width, geometry->height);
        // Left, right, top, bottom; as any client may set them on its own
        // windows, no larger than a screen could be.
        const auto extent = [&frame](int i) { return int(qMin(frame[i], uint32_t(1) << 16)); };
        if (frame.size() == 4)
            window.adjust(-extent(0), -extent(2), extent(1), extent(3));
        window = window.translated(-area.topLeft()) & QRect(QPoint(0, 0), area.size());
        if (!window.isEmpty())
            found.prepend(window);
    }
    return found;
}
