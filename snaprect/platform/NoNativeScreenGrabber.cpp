#include "ScreenGrabber.h"

// Platforms without a back end of their own use Qt's grab.
std::unique_ptr<ScreenGrabber> ScreenGrabber::createNative(const QByteArray &)
{
    return {};
}

void ScreenGrabber::prepareBeforeApplication()
{
}
