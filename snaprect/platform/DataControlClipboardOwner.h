#pragma once

#include "ClipboardOwner.h"

#include <QByteArray>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;
class QSocketNotifier;

/// Owns the Wayland selection through the wlroots data-control protocol
/// (sway and the other wlroots compositors, KDE Plasma), the one way for a
/// client without a window with the keyboard focus: on a connection of its
/// own, the seat's selection becomes a source of this process, which writes
/// the picture to every client that pastes it.
class DataControlClipboardOwner : public ClipboardOwner
{
public:
    ~DataControlClipboardOwner() override;

    /// NotOffered where the compositor has no data-control manager.
    Taken take(const QByteArray &png, QString *failure) override;

private:
    static void global(void *owner, wl_registry *registry, uint32_t name, const char *interface, uint32_t version);
    static void selection(void *owner, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer);
    static void finished(void *owner, zwlr_data_control_device_v1 *);
    static void send(void *owner, zwlr_data_control_source_v1 *, const char *mimeType, int32_t fd);
    static void cancelled(void *owner, zwlr_data_control_source_v1 *);

    /// Writes the picture to \a fd as its reader takes it, then closes it.
    void write(int fd);
    void dispatch();

    QByteArray m_png;
    wl_display *m_display = nullptr;
    wl_seat *m_seat = nullptr;
    zwlr_data_control_manager_v1 *m_manager = nullptr;
    zwlr_data_control_device_v1 *m_device = nullptr;
    zwlr_data_control_source_v1 *m_source = nullptr;
    zwlr_data_control_offer_v1 *m_offer = nullptr; // the seat's selection as last announced
    int m_selections = 0;                            // announced since the device was made
    bool m_cancelled = false;
    QSocketNotifier *m_events = nullptr;
};
