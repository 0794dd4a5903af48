#include "ScreenGrabber.h"

#include "QtScreenGrabber.h"

std::unique_ptr<ScreenGrabber> ScreenGrabber::create()
{
    return std::make_unique<QtScreenGrabber>();
}

ScreenGrabber &ScreenGrabber::instance()
{
    static const std::unique_ptr<ScreenGrabber> grabber = create();
    return *grabber;
}
