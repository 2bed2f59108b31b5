#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Setting up the automatic release from the tray: "Auto Kelvane Setup" in the icon's menu
# opens the dialog with the stored values; a click on the amount bar's right arrow changes the
# amount, which closing the dialog with the window manager's close stores. (Drags, steps and
# what each bar shows are the dialog's unit tests' part.)
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

# --- one step right on the amount bar ---
xdotool mousemove --window "$dlg" 233 70 click 1
sleep 0.5
screenshot setup_changed.png "$dlg"

# --- closing stores both values ---
wmctrl -i -c "$dlg"
stored() { grep -qx 'AutoKelvanePeak=90' "$INI" && grep -qx 'AutoKelvaneMB=257' "$INI"; }
wait_until 10 stored || fail "Copperline.ini after closing the dialog: $(tr '\n' '|' <"$INI")"
wait_until 10 bash -c "! xdotool search --onlyvisible --name '$DIALOG'" || fail "the dialog stayed on screen"

# --- Exit from the menu ---
open_tray_menu || fail "a right click on the icon opened no menu"
xdotool key Up Return
wait_exit "$pid" 10 || fail "kelvane did not end after Exit"
[[ "$EXIT_STATUS" == 0 ]] || fail "Exit ended kelvane with status $EXIT_STATUS"
echo "PASS: amount 256 -> 257 by arrow, stored on close with the peak of 90"
