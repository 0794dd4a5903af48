#include "DataControlClipboardOwner.h"

#include <wlr-data-control-client.h>

#include <QGuiApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr char pngType[] = "image/png";
}

DataControlClipboardOwner::~DataControlClipboardOwner()
{
    if (m_display)
        wl_display_disconnect(m_display);
}

void DataControlClipboardOwner::global(void *owner, wl_registry *registry, uint32_t name, const char *interface,
                                       uint32_t)
{
    auto *self = static_cast<DataControlClipboardOwner *>(owner);
    if (qstrcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 && !self->m_manager)
        self->m_manager = static_cast<zwlr_data_control_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    else if (qstrcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
        self->m_seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
}

void DataControlClipboardOwner::selection(void *owner, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
{
    auto *self = static_cast<DataControlClipboardOwner *>(owner);
    if (self->m_offer)
        zwlr_data_control_offer_v1_destroy(self->m_offer);
    self->m_offer = offer;
    ++self->m_selections;
}

void DataControlClipboardOwner::finished(void *owner, zwlr_data_control_device_v1 *)
{
    emit static_cast<DataControlClipboardOwner *>(owner)->replaced();
}

void DataControlClipboardOwner::send(void *owner, zwlr_data_control_source_v1 *, const char *mimeType, int32_t fd)
{
    if (qstrcmp(mimeType, pngType) == 0)
        static_cast<DataControlClipboardOwner *>(owner)->write(fd);
    else
        ::close(fd);
}

void DataControlClipboardOwner::cancelled(void *owner, zwlr_data_control_source_v1 *)
{
    auto *self = static_cast<DataControlClipboardOwner *>(owner);
    self->m_cancelled = true;
    emit self->replaced();
}

ClipboardOwner::Taken DataControlClipboardOwner::take(const QByteArray &png, QString *failure)
{
    m_png = png;
    if (!(m_display = wl_display_connect(nullptr))) {
        *failure = QStringLiteral("无法连接 Wayland 混成器。");
        return Taken::Failed;
    }
    static const wl_registry_listener registryListener{global, [](void *, wl_registry *, uint32_t) {}};
    wl_registry_add_listener(wl_display_get_registry(m_display), &registryListener, this);
    wl_display_roundtrip(m_display);
    if (!m_manager || !m_seat)
        return Taken::NotOffered;

    // The device announces the selection of the moment when it is made, and
    // each new one after; the source's request comes once that is past.
    static const zwlr_data_control_device_v1_listener deviceListener{
        [](void *, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *) {}, selection, finished,
        [](void *, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *) {}};
    m_device = zwlr_data_control_manager_v1_get_data_device(m_manager, m_seat);
    zwlr_data_control_device_v1_add_listener(m_device, &deviceListener, this);
    wl_display_roundtrip(m_display);
    m_selections = 0;

    // Writing to a reader that has gone must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    static const zwlr_data_control_source_v1_listener sourceListener{send, cancelled};
    m_source = zwlr_data_control_manager_v1_create_data_source(m_manager);
    zwlr_data_control_source_v1_add_listener(m_source, &sourceListener, this);
    zwlr_data_control_source_v1_offer(m_source, pngType);
    zwlr_data_control_device_v1_set_selection(m_device, m_source);
    // The compositor announces the new selection to every device, this one
    // too, before it answers the round trip; had another client's come
    // after it, the source would have been cancelled.
    if (wl_display_roundtrip(m_display) < 0 || m_selections == 0 || !m_offer || m_cancelled) {
        *failure = QStringLiteral("Wayland 混成器没有把剪贴板交给保管它的进程。");
        return Taken::Failed;
    }
    m_events = new QSocketNotifier(wl_display_get_fd(m_display), QSocketNotifier::Read, this);
    connect(m_events, &QSocketNotifier::activated, this, &DataControlClipboardOwner::dispatch);
    return Taken::Held;
}

void DataControlClipboardOwner::dispatch()
{
    if (wl_display_dispatch(m_display) < 0) {
        m_events->setEnabled(false);
        emit replaced();
        return;
    }
    wl_display_flush(m_display);
}

void DataControlClipboardOwner::write(int fd)
{
    // A reader that takes its time must not hold up the others.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    auto *writable = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(writable, &QSocketNotifier::activated, this, [this, writable, fd, written = qsizetype(0)]() mutable {
        const ssize_t n = ::write(fd, m_png.constData() + written, size_t(m_png.size() - written));
        if (n > 0)
            written += n;
        if (written == m_png.size() || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            writable->setEnabled(false);
            writable->deleteLater();
            ::close(fd);
        }
    });
}

std::unique_ptr<ClipboardOwner> ClipboardOwner::createNative()
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return std::make_unique<DataControlClipboardOwner>();
    return {};
}
