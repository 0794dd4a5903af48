/*
 * A pointer for a compositor that has none (a headless sway): it creates a
 * virtual pointer through the wlroots protocol and replays what it reads on
 * standard input, one command a line, answering "ok" once the compositor has
 * handled it:
 *
 *   move X Y          absolute position in the layout's logical units
 *   down [BUTTON]     press BUTTON (left, right or middle; default left)
 *   up [BUTTON]       release it
 *
 * Usage: wl-virtual-pointer WIDTH HEIGHT (the layout's logical extent).
 * Started once per test, before the clients it drives, so that they see a
 * pointer on the seat from the start.
 */
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wayland-client.h>

static struct zwlr_virtual_pointer_manager_v1 *manager;
static struct wl_seat *seat;

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version)
{
    (void)data;
    (void)version;
    if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

static int button_code(const char *name)
{
    if (!name || strcmp(name, "left") == 0)
        return BTN_LEFT;
    if (strcmp(name, "right") == 0)
        return BTN_RIGHT;
    if (strcmp(name, "middle") == 0)
        return BTN_MIDDLE;
    return -1;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    const uint32_t width = (uint32_t)strtoul(argv[1], NULL, 10);
    const uint32_t height = (uint32_t)strtoul(argv[2], NULL, 10);

    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "wl-virtual-pointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!manager) {
        fprintf(stderr, "wl-virtual-pointer: the compositor offers no virtual pointers\n");
        return 1;
    }
    struct zwlr_virtual_pointer_v1 *pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display);
    printf("ok\n");
    fflush(stdout);

    uint32_t time = 1;
    char line[256];
    while (fgets(line, sizeof line, stdin)) {
        char command[16] = "", argument[16] = "";
        unsigned x = 0, y = 0;
        time += 10;
        if (sscanf(line, "move %u %u", &x, &y) == 2) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, time, x, y, width, height);
        } else if (sscanf(line, "%15s %15s", command, argument) >= 1
                   && (strcmp(command, "down") == 0 || strcmp(command, "up") == 0)) {
            const int code = button_code(argument[0] ? argument : NULL);
            if (code < 0) {
                printf("error: unknown button %s\n", argument);
                fflush(stdout);
                continue;
            }
            zwlr_virtual_pointer_v1_button(pointer, time, (uint32_t)code,
                                           strcmp(command, "down") == 0 ? WL_POINTER_BUTTON_STATE_PRESSED
                                                                        : WL_POINTER_BUTTON_STATE_RELEASED);
        } else {
            printf("error: %s", line);
            fflush(stdout);
            continue;
        }
        zwlr_virtual_pointer_v1_frame(pointer);
        if (wl_display_roundtrip(display) < 0)
            return 1;
        printf("ok\n");
        fflush(stdout);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(manager);
    if (seat)
        wl_seat_destroy(seat);
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
