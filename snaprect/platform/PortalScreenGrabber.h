#pragma once

#include "ScreenGrabber.h"

class QImage;
class QObject;

/// Grabs through the desktop portal's Screenshot call on the session bus,
/// the one way a Wayland client may read the screen: the portal asks the
/// compositor, writes the picture to a file and answers with its address on
/// a request object of its own. The answer comes later, through the event
/// loop.
class PortalScreenGrabber : public ScreenGrabber
{
public:
    /// Also has every top-level widget draw a new frame for each configure
    /// of its window, which a compositor may wait for.
    PortalScreenGrabber();
    ~PortalScreenGrabber() override;

    /// The bounding rectangle of the screens, in logical units.
    QRect desktopGeometry() const override;
    /// Waits for the portal's answer in a local event loop.
    QPixmap grabDesktop() override;
    void requestDesktop(QObject *context, Done done) override;
    /// The scale of the last picture, the one the compositor rendered every
    /// output at; before the first, the largest device-pixel ratio.
    qreal pixelsPerUnit(const QScreen *screen) const override;
    bool needsWindowPerScreen() const override { return true; }
    bool canPlaceWindows() const override { return false; }

    /// How long the portal may take to answer once it has accepted the call;
    /// a portal may ask the user first, so this is generous by default.
    void setAnswerTimeout(int milliseconds) { m_answerTimeoutMs = milliseconds; }

    /// The portal's picture comes in device pixels and says nothing about
    /// their scale: the ratio of its width to the desktop's logical width is
    /// that scale. Qt's devicePixelRatio() cannot be trusted for it, as Qt
    /// rounds fractional output scales up. The result carries the scale as
    /// its devicePixelRatio(). Takes the picture over, rather than copy it.
    static QPixmap fitToDesktop(QImage picture, const QRect &desktop);

    /// The path on which the portal answers a request with \a token from the
    /// connection whose unique name is \a uniqueName (":1.42").
    static QString requestPath(const QString &uniqueName, const QString &token);

private:
    int m_answerTimeoutMs = 120000;
    qreal m_pictureScale = 0;   // of the last picture; 0 before the first
    std::unique_ptr<QObject> m_frameOnConfigure; // the application's event filter

};
