#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A real notification area: the probe's icon embeds in trayer through clsSystray; a click
# on its balloon comes back as BalloonClicked, left and right clicks on the icon as
# MouseUp 1 and MouseUp 2, a right click pops up the tray menu with its default item in
# bold, Escape closes it, and "Exit" from the menu removes the icon.
source "$(dirname "$0")/lib.sh"
PROBE=$1
OUT="$E2E_TMP/probe.out"

# said REGEX: the probe has printed a line matching REGEX.
said() { grep -Eq "^$1\$" "$OUT"; }
expect() { wait_until 10 said "$1" || fail "probe did not say '$1'; it said: $(tr '\n' '|' <"$OUT")"; }

start_xvfb
start_trayer
run_bg "$PROBE" --balloon >"$OUT" 2>"$E2E_TMP/probe.err"
probe=$LAST_PID
expect 'AddIconToTray 0'
expect 'ShowBalloon 0'

wait_tray_icon 15 tray_probe || fail "no probe icon inside trayer: $(xwininfo -root -tree | grep -A6 panel)"
icon_id=$TRAY_ICON_ID cx=$TRAY_X cy=$TRAY_Y
echo "icon $icon_id, clicking at $cx,$cy"

# visible_window SIZE_REGEX: a visible window of the probe whose size matches.
visible_window() {
    local id
    for id in $(xdotool search --onlyvisible --classname tray_probe 2>/dev/null); do
        xdotool getwindowgeometry "$id" | grep -Eq "Geometry: $1\$" && { echo "$id"; return 0; }
    done
    return 1
}
# The balloon is the probe's one visible window besides the icon and Qt's 1x1 helpers.
balloon_window() {
    local id
    for id in $(xdotool search --onlyvisible --classname tray_probe 2>/dev/null); do
        [[ "$id" != "$icon_id" ]] || continue
        xdotool getwindowgeometry "$id" | grep -q "Geometry: 1x1\$" || { echo "$id"; return 0; }
    done
    return 1
}
balloon=$(wait_until 10 balloon_window && balloon_window) || fail "no balloon on screen"
screenshot tray_balloon.png
eval "$(xdotool getwindowgeometry --shell "$balloon")"
echo "balloon ${WIDTH}x${HEIGHT} at +$X+$Y"
xdotool mousemove $((X + 25)) $((Y + HEIGHT - 12)) click 1
expect 'BalloonClicked'
wait_until 10 bash -c "! xdotool search --onlyvisible --classname tray_probe | grep -qx $balloon" ||
    fail "balloon still on screen after the click"
screenshot tray_icon.png

xdotool mousemove "$cx" "$cy" click 1
expect 'MouseDown 1'
expect 'MouseUp 1'
! said 'Popup .*' || fail "a left click opened the menu"

xdotool click 3
expect 'MouseDown 2'
expect 'MouseUp 2'
expect 'Popup [0-9]+x[0-9]+\+[0-9]+\+[0-9]+ default=&Show'
popup=$(grep -Eo '^Popup [0-9]+x[0-9]+' "$OUT" | head -n 1); popup=${popup#Popup }
# The menu is a window of its own on screen, of the size the probe reported.
menu=$(wait_until 10 visible_window "$popup" && visible_window "$popup") || fail "no $popup popup window on screen"
screenshot tray_popup.png
screenshot tray_popup_menu.png "$menu"
xdotool key Escape
expect 'Popup closed'
! said 'mnuDefault' || fail "Escape chose the default item"

# Exit through the menu: Up from no selection reaches the last item. Right after a popup
# closes, X may still deliver the next click to the closing menu's grab; click again then.
popups() { test "$(grep -c '^Popup [0-9]' "$OUT")" -ge 2; }
for attempt in 1 2 3; do
    xdotool mousemove "$cx" "$cy" click 3
    wait_until 3 popups && break
done
popups || fail "second popup did not open; the probe said: $(tr '\n' '|' <"$OUT")"
xdotool key Up Return
expect 'RemoveIconFromTray 0'
wait_exit "$probe" 15 || fail "probe did not end after Exit"
[[ "$EXIT_STATUS" == 0 ]] || fail "probe ended with status $EXIT_STATUS"
grep -v '^QStandardPaths' "$E2E_TMP/probe.err" >&2 || true
echo "PASS: $(tr '\n' '|' <"$OUT")"
