#pragma once

#include "ScreenGrabber.h"

#include <QList>

#include <cstdint>
#include <future>
#include <memory>

struct xcb_connection_t;

/// Reads the desktop straight from the X server: the root window's pixels
/// under the bounding rectangle of all RandR monitors, into memory shared
/// with the server (MIT-SHM) when the server can reach it, otherwise over the
/// connection. Where each screen lies in the picture comes from its monitor,
/// in the server's own pixels, whatever scaling Qt applies.
class XcbScreenGrabber : public ScreenGrabber
{
public:
    enum class Transfer {
        SharedMemory, ///< MIT-SHM, and the connection when that fails
        Connection,   ///< always over the connection
    };

    /// A grabber for the application's X server; null when the platform is
    /// not X11 or the root window is not the usual 24-bit true colour in
    /// 32-bit pixels, which is the only format read directly.
    static std::unique_ptr<XcbScreenGrabber> create(Transfer transfer);
    ~XcbScreenGrabber() override;

    /// Starts making, on a thread, the shared memory of the first grab from
    /// the display that DISPLAY names, while the application is still
    /// starting: a memory file as large as the desktop, its pages allocated.
    /// The first grabber made afterwards uses it while the desktop keeps that
    /// size; where its prepareGrabNow() comes first, the thread makes that
    /// grab too. Where the display cannot be reached or shares no memory,
    /// nothing is made and grabs go the usual way.
    static void prepareEarly();

    QRect desktopGeometry() const override;
    QRect screenArea(const QScreen *screen) const override;
    /// True where Qt's coordinates are not the server's pixels divided by one
    /// factor: Qt scales screens but not their origins, so scaled screens
    /// side by side or stacked leave gaps that one window would span wrongly.
    bool needsWindowPerScreen() const override;
    void prepare() override;
    void prepareGrabNow() override;
    QPixmap grabDesktop() override;
    QList<QRect> windowsAtGrab() const override { return m_windows; }
    /// Where grabs go through shared memory, which the server can copy from.
    bool paintsOnServer() const override { return sharedMemoryUsable(); }
    std::unique_ptr<ServerPainter> serverPainter(const QImage &picture, QWidget *window) const override;

    /// Whether the last grabDesktop() went through shared memory.
    bool lastGrabShared() const { return m_lastGrabShared; }

private:
    struct Monitor {
        QString name;
        QRect geometry;
    };

    struct PreparedSegment;
    struct MemoryFile;
    struct EarlyMemory;

    XcbScreenGrabber(xcb_connection_t *connection, std::uint32_t root, Transfer transfer);

    static QList<Monitor> monitors(xcb_connection_t *connection, std::uint32_t root, bool hasMonitors);
    QList<Monitor> monitors() const { return monitors(m_connection, m_root, m_hasMonitors); }
    static QRect desktopArea(xcb_connection_t *connection, std::uint32_t root, const QList<Monitor> &monitors);
    QRect desktopArea(const QList<Monitor> &monitors) const { return desktopArea(m_connection, m_root, monitors); }
    bool sharedMemoryUsable() const;
    /// prepareEarly()'s work, on its thread, through \a connection to the
    /// default screen \a number, which it closes; with a grab where \a early
    /// is decided so.
    static std::unique_ptr<MemoryFile> readyEarlyMemory(xcb_connection_t *connection, int number,
                                                        EarlyMemory *early);
    /// Writes \a memory's pages, and grabs the desktop under \a root into
    /// it where \a early is decided so; false when nothing of it is of use.
    static bool readyAndGrab(std::uint32_t root, MemoryFile *memory, EarlyMemory *early);
    static std::unique_ptr<EarlyMemory> &earlyMemory();
    /// Whether prepareGrabNow() left the next grab to the start-up thread.
    bool earlyGrabDecided() const;
    /// The start-up thread's grab, when it has been made and is one of
    /// \a area: its memory, attached as \a id; otherwise null.
    void *takeEarlyGrab(const QRect &area, std::uint32_t *id);
    /// A memory file for a picture of \a area: prepareEarly()'s where it
    /// fits, else a new one; -1 when none can be made.
    int memoryFileFor(const QRect &area);
    std::unique_ptr<PreparedSegment> prepareSegment(const QRect &area);
    /// The prepared segment's memory and, in \a id, its name on the server
    /// when it fits a grab of \a area; otherwise null, and it is let go.
    /// \a grabbed tells whether it holds that grab already.
    void *takePreparedSegment(const QRect &area, std::uint32_t *id, bool *grabbed);
    QImage grabShared(const QRect &area);
    QImage grabOverConnection(const QRect &area);
    QList<std::uint32_t> stackingOrder() const;
    QList<QRect> windowsIn(const QRect &area) const;

    xcb_connection_t *m_connection;
    std::uint32_t m_root;
    Transfer m_transfer;
    std::uint32_t m_clientListStacking; // atoms, asked for once
    std::uint32_t m_frameExtents;
    bool m_hasMonitors = false;
    int m_sharedMemoryFailures = 0;
    QImage m_prepared;              // memory for the next grab over the connection
    std::unique_ptr<PreparedSegment> m_preparedSegment; // or through shared memory
    std::unique_ptr<EarlyMemory> m_early; // of prepareEarly(), until a segment is made
    bool m_lastGrabShared = false;
    const void *m_sharedPixels = nullptr; // the last grab's segment, while its picture lives
    std::uint32_t m_sharedSegment = 0;
    QList<QRect> m_windows;         // at the last grab, topmost first
};
