#pragma once

#include "ScreenGrabber.h"

/// Grabs through QScreen::grabWindow on the primary screen, which on X11 (and
/// Windows, macOS) reads the whole virtual desktop when asked for it.
class QtScreenGrabber : public ScreenGrabber
{
public:
    QRect desktopGeometry() const override;
    QPixmap grabDesktop() override;
};
