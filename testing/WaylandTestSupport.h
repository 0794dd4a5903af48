#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

/// Access to the sway compositor that a test runs on (see run-on-sway), for
/// what a Wayland client cannot see of itself: other clients' windows, the
/// outputs' pictures, and input from a seat that has no devices of its own.
namespace WaylandTestSupport {

/// A window as sway lists it.
struct SwayWindow {
    qint64 id = 0;
    QString title;
    QRect rect;        ///< its content, in the layout's logical units
    bool visible = false;
    bool focused = false;
    bool fullScreen = false;
    QString output;    ///< the output whose workspace holds it
};

/// Runs swaymsg with \a arguments; false when it fails.
bool swaymsg(const QStringList &arguments);

/// The windows titled exactly \a title.
QList<SwayWindow> windows(const QString &title);

/// Waits for a visible window titled \a title other than \a besides.
SwayWindow waitForWindow(const QString &title, qint64 besides = 0, int timeoutMs = 15000);

/// Waits until no visible window has the id \a id.
bool waitForGone(qint64 id, int timeoutMs = 15000);

/// Whether a window with id \a id is visible now.
bool isVisible(qint64 id);

/// What the outputs show, as grim reads it, in the outputs' own pixels.
QImage screenshot();

/// Makes \a picture the background of \a output (stretched, which is exact
/// when it has the output's size in pixels). The file goes to \a folder,
/// which the compositor's user must be able to read.
bool setOutputPicture(const QString &output, const QImage &picture, const QString &folder);

/// The whole layout's size in device pixels at \a scale.
QSize layoutPixels(qreal scale);

/// Shows \a pattern, a picture of layoutPixels(scale), on the outputs: each
/// gets its part as its background (files in \a folder). Every output must
/// have that scale. Returns what the outputs show once they show it (RGB32,
/// black where no output is); null when sway refused or did not show it
/// within \a timeoutMs. At a whole scale that is exactly the pattern. At a
/// fractional one the compositor resamples backgrounds, so it is what the
/// outputs show once two screenshots agree and nearly every pixel is close
/// to the pattern.
QImage showOnOutputs(const QImage &pattern, qreal scale, const QString &folder, int timeoutMs = 30000);

/// \a logical at \a scale device pixels per unit: the device pixels whose
/// centres it covers, as a compositor lays scaled outputs out.
QRect scaledRect(const QRect &logical, qreal scale);

/// The scale this run's outputs have, from the EXPECTED_SCALE variable
/// ("1", "2", "1.5"); 1 when unset.
qreal expectedScale();

/// Presses and releases \a key (an XKB key name such as "Escape") with
/// \a modifiers held (wtype's names: "ctrl", "alt", "shift"), or types
/// \a text, through the virtual keyboard of wtype.
bool key(const QString &keyName, const QStringList &modifiers = {});
bool type(const QString &text);

/// A pointer of its own on the compositor's seat (wl-virtual-pointer, named
/// by the WL_VIRTUAL_POINTER variable that the tests' CMake function sets).
/// Start it before the clients that it drives.
class VirtualPointer
{
public:
    ~VirtualPointer();
    /// Starts the pointer over a layout \a extent large (logical units).
    bool start(const QSize &extent);
    bool move(const QPoint &to);
    bool press(const QString &button = QStringLiteral("left"));
    bool release(const QString &button = QStringLiteral("left"));
    /// Press at \a from, move by way of the middle to \a to, release.
    bool drag(const QPoint &from, const QPoint &to);
    bool click(const QPoint &at);

private:
    bool command(const QByteArray &line);
    bool answered();

    QProcess m_process;
};

} // namespace WaylandTestSupport
