// Lays out RandR 1.5 monitors on one Xvfb screen:
//   xrr-monitors WxH+X+Y [WxH+X+Y ...]
// The first becomes the primary monitor and takes over the screen's only
// output (which replaces the automatic monitor of that output); the others
// are monitors without an output.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <cstring>

namespace {

struct Geometry { int width, height, x, y; };

bool parse(const char *text, Geometry &g)
{
    return std::sscanf(text, "%dx%d+%d+%d", &g.width, &g.height, &g.x, &g.y) == 4;
}

RROutput findOutput(Display *dpy, Window root, const char *name)
{
    XRRScreenResources *res = XRRGetScreenResources(dpy, root);
    RROutput found = None;
    for (int i = 0; res && i < res->noutput && found == None; ++i) {
        XRROutputInfo *info = XRRGetOutputInfo(dpy, res, res->outputs[i]);
        if (info && std::strcmp(info->name, name) == 0)
            found = res->outputs[i];
        XRRFreeOutputInfo(info);
    }
    XRRFreeScreenResources(res);
    return found;
}

int millimetres(int pixels) { return pixels * 254 / 960; } // 96 dpi

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s WxH+X+Y [WxH+X+Y ...]\n", argv[0]);
        return 2;
    }
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "xrr-monitors: cannot open display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(dpy);
    const RROutput output = findOutput(dpy, root, "screen");
    for (int i = 1; i < argc; ++i) {
        Geometry g{};
        if (!parse(argv[i], g)) {
            std::fprintf(stderr, "xrr-monitors: bad geometry '%s'\n", argv[i]);
            return 2;
        }
        const bool first = i == 1;
        XRRMonitorInfo *monitor = XRRAllocateMonitor(dpy, first && output != None ? 1 : 0);
        char name[16];
        std::snprintf(name, sizeof name, "M%d", i);
        monitor->name = XInternAtom(dpy, name, False);
        monitor->primary = first;
        monitor->x = g.x;
        monitor->y = g.y;
        monitor->width = g.width;
        monitor->height = g.height;
        monitor->mwidth = millimetres(g.width);
        monitor->mheight = millimetres(g.height);
        if (first && output != None)
            monitor->outputs[0] = output;
        XRRSetMonitor(dpy, root, monitor);
        XRRFreeMonitors(monitor);
    }
    XSync(dpy, False);
    XCloseDisplay(dpy);
    return 0;
}
