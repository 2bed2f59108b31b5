// SPDX-License-Identifier: GPL-3.0-or-later
// virtual_pointer WIDTH HEIGHT: one pointer device (a new one can lose clients a click) for a headless sway, reading
// "move X Y" or "click X Y left|right" lines, each answered "ok" once handled; clicks apart, else GTK sees a double click.
#define _POSIX_C_SOURCE 200809L
#include "virtual-pointer-client-protocol.h"

#include <linux/input-event-codes.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

enum { PauseBeforePressMs = 150, PauseBeforeReleaseMs = 80, SeparateClicksMs = 600 };

struct pointer_state {
    struct wl_seat *seat;
    struct zwlr_virtual_pointer_manager_v1 *manager;
    struct zwlr_virtual_pointer_v1 *pointer;
    uint32_t width, height;
    uint32_t last_click_ms; // when the last click's press was sent, 0 before any
};

static void global_added(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                         uint32_t version)
{
    (void)version;
    struct pointer_state *state = data;
    if (strcmp(interface, wl_seat_interface.name) == 0 && !state->seat)
        state->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        state->manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void global_removed(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = { global_added, global_removed };

// The monotonic clock in milliseconds, as event times are given.
static uint32_t now_ms(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

static void pause_ms(long ms)
{
    struct timespec wait = { ms / 1000, (ms % 1000) * 1000000 };
    nanosleep(&wait, NULL);
}

static int move_to(struct wl_display *display, struct pointer_state *state, uint32_t x, uint32_t y)
{
    zwlr_virtual_pointer_v1_motion_absolute(state->pointer, now_ms(), x, y, state->width, state->height);
    zwlr_virtual_pointer_v1_frame(state->pointer);
    return wl_display_roundtrip(display) >= 0; // false when disconnected
}

static int set_button(struct wl_display *display, struct pointer_state *state, uint32_t code, int pressed)
{
    zwlr_virtual_pointer_v1_button(state->pointer, now_ms(), code,
                                   pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(state->pointer);
    return wl_display_roundtrip(display) >= 0;
}

// One command line: 1 when handled, 0 for a bad command, -1 when disconnected.
static int run_command(struct wl_display *display, struct pointer_state *state, const char *line)
{
    char name[16] = "";
    unsigned x = 0, y = 0;
    const int fields = sscanf(line, "click %u %u %15s", &x, &y, name) == 3 ? 3 : sscanf(line, "move %u %u", &x, &y);
    const uint32_t code = strcmp(name, "left") == 0 ? BTN_LEFT : strcmp(name, "right") == 0 ? BTN_RIGHT : 0;
    if ((fields != 2 && (fields != 3 || !code)) || x >= state->width || y >= state->height)
        return 0;
    int connected = move_to(display, state, x, y);
    if (fields == 3) {
        pause_ms(PauseBeforePressMs);
        const uint32_t since = now_ms() - state->last_click_ms;
        if (state->last_click_ms && since < SeparateClicksMs)
            pause_ms(SeparateClicksMs - since);
        state->last_click_ms = now_ms();
        connected = connected && set_button(display, state, code, 1);
        pause_ms(PauseBeforeReleaseMs);
        connected = connected && set_button(display, state, code, 0);
    }
    return connected ? 1 : -1;
}

int main(int argc, char **argv)
{
    struct pointer_state state = { 0 };
    if (argc != 3 || sscanf(argv[1], "%u", &state.width) != 1 || sscanf(argv[2], "%u", &state.height) != 1 ||
        state.width == 0 || state.height == 0) {
        fputs("usage: virtual_pointer LAYOUT_WIDTH LAYOUT_HEIGHT\n", stderr);
        return 2;
    }
    struct wl_display *display = wl_display_connect(NULL);
    if (display)
        wl_registry_add_listener(wl_display_get_registry(display), &registry_listener, &state);
    if (!display || wl_display_roundtrip(display) < 0 || !state.manager) {
        fputs("virtual_pointer: no Wayland display offering zwlr_virtual_pointer_manager_v1\n", stderr);
        return 1;
    }
    state.pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(state.manager, state.seat);
    puts("ready");
    fflush(stdout);

    char line[128];
    while (fgets(line, sizeof line, stdin)) {
        const int outcome = run_command(display, &state, line);
        if (outcome < 0) {
            fputs("virtual_pointer: the connection to the compositor is gone\n", stderr);
            return 1;
        }
        fputs(outcome ? "ok\n" : "error: not a command (move X Y, click X Y B)\n", stdout);
        fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}
