// Lays out RandR 1.5 monitors on one Xvfb screen: xrr-monitors WxH+X+Y ...
// The first is the primary and takes over the screen's only output, which
// replaces that output's automatic monitor (xrandr --setmonitor would keep
// it as one more); the others are monitors without an output.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy)
        return 1;
    const Window root = DefaultRootWindow(dpy);
    XRRScreenResources *resources = XRRGetScreenResources(dpy, root);
    const RROutput output = resources->noutput > 0 ? resources->outputs[0] : None;
    for (int i = 1; i < argc; ++i) {
        int width = 0, height = 0, x = 0, y = 0;
        if (std::sscanf(argv[i], "%dx%d+%d+%d", &width, &height, &x, &y) != 4)
            return 2;
        const bool primary = i == 1 && output != None;
        XRRMonitorInfo *monitor = XRRAllocateMonitor(dpy, primary ? 1 : 0);
        *monitor = {XInternAtom(dpy, ("M" + std::to_string(i)).c_str(), False), i == 1, False, primary ? 1 : 0, x, y,
                    width, height, width * 254 / 960, height * 254 / 960, monitor->outputs};
        if (primary)
            monitor->outputs[0] = output;
        XRRSetMonitor(dpy, root, monitor);
        XRRFreeMonitors(monitor);
    }
    XRRFreeScreenResources(resources);
    XCloseDisplay(dpy);
    return 0;
}
