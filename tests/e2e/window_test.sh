#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program in a real X server: the window appears with the free memory in its
# title, the figure matches the kernel's, and SIGTERM (and SIGHUP, from the tray) end the
# program through its normal close, which stores the window state.
source "$(dirname "$0")/lib.sh"
KELVANE=$1

start_xvfb
run_bg "$KELVANE"
pid=$LAST_PID
win=$(wait_for_window 40 "$KELVANE_TITLE") || fail "no Kelvane window"

title=$(xdotool getwindowname "$win")
shown_mb=${title%%MB*}
avail_kb=$(awk '/^MemAvailable:/ {print $2}' /proc/meminfo)
# Memory moves while the test runs; 5% of the total is a generous bound for a busy machine.
total_kb=$(awk '/^MemTotal:/ {print $2}' /proc/meminfo)
awk -v shown="$shown_mb" -v avail="$avail_kb" -v total="$total_kb" 'BEGIN {
    diff = shown - avail / 1024; if (diff < 0) diff = -diff
    exit !(diff <= total / 1024 * 0.05)
}' || fail "title $title does not match MemAvailable ${avail_kb} kB"

geometry=$(xdotool getwindowgeometry "$win" | awk '/Geometry/ {print $2}')
[[ "$geometry" == 312x114 ]] || fail "client area is $geometry, not 312x114"

screenshot window.png "$win"
screenshot screen.png

kill -TERM "$pid"
wait_exit "$pid" 15 || fail "kelvane did not end after SIGTERM"
[[ "$EXIT_STATUS" == 0 ]] || fail "kelvane ended with status $EXIT_STATUS after SIGTERM"
INI="$XDG_CONFIG_HOME/Copperline.ini"
grep -qx 'KelvaneTray=0' "$INI" || fail "Copperline.ini after SIGTERM: $(cat "$INI" 2>/dev/null)"

rm -f "$INI"
start_trayer
run_bg "$KELVANE" /tray
pid=$LAST_PID
# The icon comes after the signal handlers: start-up is over.
wait_tray_icon 20 kelvane || fail "kelvane /tray put no icon in the tray"
kill -HUP "$pid"
wait_exit "$pid" 15 || fail "kelvane in the tray did not end after SIGHUP"
[[ "$EXIT_STATUS" == 0 ]] || fail "kelvane ended with status $EXIT_STATUS after SIGHUP"
grep -qx 'KelvaneTray=0' "$INI" || fail "Copperline.ini after SIGHUP: $(cat "$INI" 2>/dev/null)"
echo "PASS: window '$title' ($geometry), MemAvailable $((avail_kb / 1024)) MB"
