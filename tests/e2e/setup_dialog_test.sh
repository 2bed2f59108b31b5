#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Setting up the automatic release from the tray: "Auto Kelvane Setup" in the icon's menu
# opens the dialog with the stored values; dragging the peak bar's thumb to the far left and
# a click on the amount bar's right arrow change the values, which closing the dialog with
# the window manager's close stores.
source "$(dirname "$0")/lib.sh"
KELVANE=$1
DIALOG='^Setup Auto Kelvane$'
INI="$XDG_CONFIG_HOME/Copperline.ini"

# The stored peak of 90 % must not set off a release while the test runs.
usage=$(awk '/^MemTotal:/ {t = $2} /^MemAvailable:/ {a = $2} END {print int((1 - a / t) * 100)}' /proc/meminfo)
if ((usage >= 85)); then
    echo "SKIP: memory usage is $usage %, too close to the 90 % peak this test stores"
    exit 77
fi
printf '[Settings]\nAutoKelvanePeak=90\nAutoKelvaneMB=256\n' >"$INI"

# thumb_x FILE Y: the middle of a scroll bar's thumb on row Y of the dialog's picture FILE,
# between x 36 and 240 where the bar lies: the longest run of pixels off the track's colour
# (the row's commonest), the arrows at either end left out.
thumb_x() {
    /usr/bin/convert "$1" -crop "204x1+36+$2" +repage txt:- | awk -F'[:, ]+' 'NR > 1 { c[$1] = $0 ~ /#/ ? substr($0, index($0, "#"), 7) : ""; n[c[$1]]++ }
        END { for (k in n) if (n[k] > best) { best = n[k]; track = k }
              for (x = 14; x < 190; x++) {
                  if (c[x] != track) { if (!run) start = x; run++ } else run = 0
                  if (run > longest) { longest = run; from = start }
              }
              if (longest > 4) print 36 + from + int(longest / 2); else exit 1 }'
}
start_xvfb
start_openbox
start_trayer
run_bg "$KELVANE" /tray
pid=$LAST_PID
wait_tray_icon 20 kelvane || fail "no kelvane icon inside trayer"

# --- the menu's second item opens the dialog (the menu opens with nothing selected) ---
open_tray_menu || fail "a right click on the icon opened no menu"
xdotool key Down Down Return
dlg=$(wait_for_window 10 "$DIALOG") || fail "'Auto Kelvane Setup' opened no dialog"
size=$(xdotool getwindowgeometry "$dlg" | awk '/Geometry/ {print $2}')
[[ "$size" == 249x105 ]] || fail "the dialog's client area is $size, not 249x105"
sleep 0.5
screenshot setup_dialog.png "$dlg"

# --- drag the peak bar's thumb to the far left, then one step right on the amount bar ---
tx=$(thumb_x "$E2E_ARTIFACTS/setup_dialog.png" 32) || fail "no thumb found on the peak bar"
xdotool mousemove --window "$dlg" "$tx" 32 mousedown 1
sleep 0.2
xdotool mousemove --window "$dlg" $(((tx + 36) / 2)) 32
sleep 0.2
xdotool mousemove --window "$dlg" 0 32
sleep 0.2
xdotool mouseup 1
sleep 0.2
xdotool mousemove --window "$dlg" 233 70 click 1
sleep 0.5
screenshot setup_changed.png "$dlg"

# --- closing stores both values ---
wmctrl -i -c "$dlg"
stored() { grep -qx 'AutoKelvanePeak=50' "$INI" && grep -qx 'AutoKelvaneMB=257' "$INI"; }
wait_until 10 stored || fail "Copperline.ini after closing the dialog: $(tr '\n' '|' <"$INI")"
wait_until 10 bash -c "! xdotool search --onlyvisible --name '$DIALOG'" || fail "the dialog stayed on screen"

# --- Exit from the menu ---
open_tray_menu || fail "a right click on the icon opened no menu"
xdotool key Up Return
wait_exit "$pid" 10 || fail "kelvane did not end after Exit"
[[ "$EXIT_STATUS" == 0 ]] || fail "Exit ended kelvane with status $EXIT_STATUS"
echo "PASS: peak 90 -> 50 by drag, amount 256 -> 257 by arrow, stored on close"
