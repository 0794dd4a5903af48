/*
 * A pointer for the headless seat, which has none: a virtual pointer through
 * the wlroots protocol. Each line on standard input, "X Y WIDTH HEIGHT DOWN",
 * moves it to X,Y of a layout WIDTH x HEIGHT logical units large and holds
 * its left button down or not; "ok" answers once the compositor has it (and
 * once at the start).
 */
#include "virtual-pointer.h"

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <string.h>

static struct zwlr_virtual_pointer_manager_v1 *manager;

static void global(void *data __attribute__((unused)), struct wl_registry *registry, uint32_t name,
                   const char *interface, uint32_t version __attribute__((unused)))
{
    if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

int main(void)
{
    static const struct wl_registry_listener listener = {global, NULL};
    struct wl_display *display = wl_display_connect(NULL);
    wl_registry_add_listener(wl_display_get_registry(display), &listener, NULL);
    wl_display_roundtrip(display);
    struct zwlr_virtual_pointer_v1 *pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, NULL);
    unsigned x = 0, y = 0, width = 1, height = 1, down = 0, held = 0, time = 0;
    do {
        zwlr_virtual_pointer_v1_motion_absolute(pointer, time += 10, x, y, width, height);
        if (down != held)
            zwlr_virtual_pointer_v1_button(pointer, time, BTN_LEFT, held = down);
        zwlr_virtual_pointer_v1_frame(pointer);
        if (wl_display_roundtrip(display) < 0)
            return 1;
        puts("ok");
        fflush(stdout);
    } while (scanf("%u %u %u %u %u", &x, &y, &width, &height, &down) == 5);
    return 0;
}
