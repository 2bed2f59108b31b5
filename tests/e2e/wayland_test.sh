#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Kelvane on Wayland (a headless weston), with a tray host on a private session bus: "/tray"
# maps no window and registers a tray item; ContextMenu opens the tray menu as a window of its
# own (the compositor places it); SIGTERM ends with status 0 and the normal state stored.
# Without a tray host, "/tray" shows the window, as a normal start does, rather than leaving
# it unreachable. (Left clicks that show and hide the window while the item stays are
# waybar_test.sh's, through a real panel.)
source "$(dirname "$0")/lib.sh"
KELVANE=$1
INI="$XDG_CONFIG_HOME/Copperline.ini"
MAIN="[0-9]+\.[0-9]MB Kelvane v[0-9]+\.[0-9]+"

window_mapped() { [[ "$(mapped_toplevels "$MAIN")" == 1 ]]; }
# stop PID WHAT: SIGTERM closes the window and ends the program with status 0.
stop() {
    kill -TERM "$1"
    wait_exit "$1" 15 || fail "kelvane did not end on SIGTERM ($2)"
    [[ "$EXIT_STATUS" == 0 ]] || fail "kelvane ended with status $EXIT_STATUS ($2)"
}

start_session_bus
start_weston

# --- no tray host: "/tray" cannot hide in a tray, so the window shows as on a normal start ---
run_bg "$KELVANE" /tray
pid=$LAST_PID
wait_until 20 window_mapped || fail "'/tray' without a tray host mapped no window: $(weston-debug scene-graph | grep -i view)"
sleep 0.5 # the first frame
wayland_screenshot wayland_window.png
stop "$pid" "'/tray' without a tray host"

# --- a tray host: "/tray" maps nothing and registers an item ---
start_desktop_host
run_bg "$KELVANE" /tray
pid=$LAST_PID
host_expect 20 "registered .*"
sleep 0.5
[[ "$(mapped_toplevels '.*')" == 0 ]] || fail "'/tray' mapped a window: $(weston-debug scene-graph | grep xdg_toplevel)"

# ContextMenu: the menu is a window of its own.
sni_call ContextMenu 1000 10
menu_mapped() { [[ "$(mapped_toplevels Kelvane)" == 1 ]]; }
wait_until 10 menu_mapped || fail "ContextMenu mapped no menu"
stop "$pid" "from the tray"
host_expect 10 "unregistered $(sni_item)"
grep -qx 'KelvaneTray=0' "$INI" || fail "Copperline.ini after the end: $(cat "$INI")"
echo "PASS: $(tr '\n' '|' <"$HOST_LOG")"
