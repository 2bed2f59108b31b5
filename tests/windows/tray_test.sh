#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows program under Wine, in the tray: "kelvane.exe /tray" has the caption and usage
# as its icon's tool tip; a left click shows the window and takes the icon away; "Free 50 MB"
# takes 100 MiB and gives it all back; minimised it is in the tray again, where the menu's
# first item, "Show Kelvane", shows the window. (A second start: the mutex is
# windows_layers_test's, what main does with it tests/e2e/openbox_test.sh's.)
source "$(dirname "$0")/wine_lib.sh"
EXE=$(realpath "$1")
TIP_TEXT=$(realpath "$2")

wine_desktop start_openbox

# --- /tray: an icon with the figures as its tool tip ---
start_in_tray "$EXE"
pid=$LAST_PID
# Wine's tool tip is a window of its explorer without a name: one that is not the icon and big
# enough for the two lines (caption, usage) stands next to the icon once the pointer rests on
# it; its text, read back through the tool-tip control, is the caption and the usage.
tip_window() {
    local id
    for id in $(xdotool search --onlyvisible --classname "$ICON_CLASS" 2>/dev/null); do
        [[ "$id" != "$TRAY_ICON_ID" ]] || continue
        xdotool getwindowgeometry "$id" | awk '/Geometry/ {split($2, s, "x"); exit !(s[1] >= 80 && s[2] >= 20)}' &&
            { echo "$id"; return 0; }
    done
    return 1
}
tip_window >/dev/null && fail "a tool tip stands before the pointer is on the icon"
xdotool mousemove $((TRAY_X - 3)) "$TRAY_Y" sleep 0.3 mousemove "$TRAY_X" "$TRAY_Y"
wait_until 10 tip_window || fail "no tool tip on the icon"
tip=$(timeout 20 wine "$TIP_TEXT" | tr -d '\r')
grep -Eqx '[0-9.,]+MB Kelvane v[0-9]+\.[0-9]+' <<<"$tip" && grep -Eqx 'Usage: [0-9]+([.,][0-9])?%' <<<"$tip" ||
    fail "the tool tip reads '$tip', not the caption and the usage"
screenshot windows_tray_tip.png

# --- left click: the window, and the icon goes ---
xdotool mousemove "$TRAY_X" "$TRAY_Y" click 1
win=$(wait_for_window 15 "$KELVANE_TITLE") || fail "a left click showed no window"
wait_until 10 tray_icon_absent "$ICON_CLASS" || fail "the icon stayed with the window shown"

# --- Free 50 MB: the slider to 50, the button; 100 MiB taken and given back ---
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key --window "$win" Home Prior Prior Prior Prior Prior
start_rss=$(field_kb VmRSS "$pid")
start_hwm=$(field_kb VmHWM "$pid")
xdotool mousemove --window "$win" 250 50 click 1
released() { local rss hwm; rss=$(field_kb VmRSS "$pid") hwm=$(field_kb VmHWM "$pid")
             ((hwm >= start_rss + 100 * 1024 && rss <= start_rss + 10240)); }
wait_until 60 released ||
    fail "no release of 100 MiB: VmRSS $(field_kb VmRSS "$pid") kB, peak $(field_kb VmHWM "$pid") kB, from $start_rss kB (peak $start_hwm)"
peak=$(( $(field_kb VmHWM "$pid") - start_rss ))
((peak < 120 * 1024)) || fail "the release took $((peak >> 10)) MiB, not 100"

# --- minimised it goes to the tray; the menu's first item is "Show Kelvane" ---
xdotool windowminimize "$win"
wait_tray_icon 15 "$ICON_CLASS" || fail "no icon after minimising"
wait_until 10 none_shown || fail "the minimised window is still shown"
open_tray_menu || fail "a right click opened no menu"
screenshot windows_tray_menu.png
xdotool key Down Return
wait_for_window 15 "$KELVANE_TITLE" >/dev/null || fail "the menu's first item did not show the window"
wait_until 10 tray_icon_absent "$ICON_CLASS" || fail "the icon stayed after Show Kelvane"
echo "PASS: tray icon, tool tip, window, release of $((peak >> 10)) MiB, menu"
