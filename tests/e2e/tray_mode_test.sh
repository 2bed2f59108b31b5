#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Living in an XEmbed tray (trayer) under openbox: "kelvane /tray" starts with its icon in the
# panel and no window; a left click on the icon shows the window centred and active and takes
# the icon away; minimising hides the window and brings the icon back; "Auto Kelvane Setup"
# in the icon's menu opens the dialog, where a click on the amount bar's arrow changes the
# amount, stored when the window manager closes the dialog (steps and captions:
# SetupDialogTest); "Exit" in the menu ends the program, which stores the normal window state.
# "--tray" below the peak: a release shows the window, takes the stored amount, goes back to the
# tray, again at the next refresh (when: AutoFreeTest); SIGHUP ends it like Exit. A normal start
# shows the window at its size, opens the credits with xdg-open; the window manager's close ends it.
source "$(dirname "$0")/lib.sh"
KELVANE=$1

is_active() { [[ "$(xdotool getactivewindow 2>/dev/null)" == "$1" ]]; }
# withdrawn ID: the window manager has dropped the window from its client list, as it does
# with a hidden window and not with an iconified one.
withdrawn() { ! wmctrl -l | grep -qi "^0x0*$(printf %x "$1") "; }
frame_extents() { xprop -id "$1" _NET_FRAME_EXTENTS | grep -q '= [0-9]'; }

# A peak no usage reaches: no automatic release while the test runs.
printf '[Settings]\nAutoKelvanePeak=99\nAutoKelvaneMB=256\n' >"$INI"
start_xvfb
start_openbox
start_trayer

# --- start hidden in the tray ---
run_bg "$KELVANE" /tray
pid=$LAST_PID
wait_tray_icon 20 kelvane || fail "no kelvane icon inside trayer: $(xwininfo -root -tree | grep -A6 panel)"
none_shown || fail "'kelvane /tray' mapped a window: $(wmctrl -l)"

# --- left click: the window comes, centred, active; the icon goes ---
xdotool mousemove "$TRAY_X" "$TRAY_Y" click 1
win=$(wait_for_window 10 "$KELVANE_TITLE") || fail "a left click on the icon showed no window"
wait_until 10 tray_icon_absent kelvane || fail "the icon stayed in the panel with the window shown"
wait_until 5 is_active "$win" || fail "the shown window is not the active one (active: $(xdotool getactivewindow))"
wait_until 5 frame_extents "$win" || fail "openbox put no frame extents on the window"
eval "$(xwininfo -id "$win" | awk -F: '/Absolute upper-left X/ {print "cx=" $2+0}
    /Absolute upper-left Y/ {print "cy=" $2+0} /Width/ {print "cw=" $2+0} /Height/ {print "ch=" $2+0}')"
read -r fl fr ft fb < <(xprop -id "$win" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
# The program places the window before the window manager has framed it: whether it centres
# the outer frame or the client area, the frame's middle is within half its decoration (and
# a few pixels) of the screen's middle.
awk -v x=$((cx - fl)) -v y=$((cy - ft)) -v w=$((cw + fl + fr)) -v h=$((ch + ft + fb)) \
    -v dx=$(((fl + fr) / 2 + 3)) -v dy=$(((ft + fb) / 2 + 3)) 'BEGIN {
    ox = x + w / 2 - 512; oy = y + h / 2 - 384
    exit !(ox <= dx && -ox <= dx && oy <= dy && -oy <= dy)
}' || fail "window framed at $((cx - fl)),$((cy - ft)) size $((cw + fl + fr))x$((ch + ft + fb)) is not centred on 1024x768"
screenshot tray_shown.png

# --- minimise: the window is withdrawn and the icon is back ---
xdotool windowminimize "$win"
wait_until 10 none_shown || fail "the minimised window is still on screen"
wait_until 10 withdrawn "$win" ||
    fail "the minimised window was iconified, not hidden: $(wmctrl -l)"
wait_tray_icon 10 kelvane || fail "no icon in the panel after minimising"

# --- the menu's second item (it opens with nothing selected) opens the setup dialog ---
open_tray_menu || fail "a right click on the icon opened no menu"
screenshot tray_menu.png
xdotool key Down Down Return
dlg=$(wait_for_window 10 "^$SETUP_TITLE\$") || fail "'Auto Kelvane Setup' opened no dialog"
size=$(xdotool getwindowgeometry "$dlg" | awk '/Geometry/ {print $2}')
[[ "$size" == 249x105 ]] || fail "the dialog's client area is $size, not 249x105"
sleep 0.5
# One step right on the amount bar; closing stores both values.
xdotool mousemove --window "$dlg" 233 70 click 1
sleep 0.5
screenshot setup_changed.png "$dlg"
wmctrl -i -c "$dlg"
stored() { grep -qx 'AutoKelvanePeak=99' "$INI" && grep -qx 'AutoKelvaneMB=257' "$INI"; }
wait_until 10 stored || fail "Copperline.ini after closing the dialog: $(tr '\n' '|' <"$INI")"
wait_until 10 eval '! xdotool search --onlyvisible --name "^$SETUP_TITLE\$"' || fail "the dialog stayed on screen"

# --- right click: the menu; Up from no selection reaches Exit ---
open_tray_menu || fail "a right click on the icon opened no menu"
xdotool key Up Return
expect_clean_end "$pid" 10 Exit

# --- automatic releases from the tray; SIGHUP ---
printf '[Settings]\nAutoKelvanePeak=%s\nAutoKelvaneMB=256\n' "$(usage_peak)" >"$INI"
run_bg "$KELVANE" --tray
pid=$LAST_PID
wait_for_window 20 "$KELVANE_TITLE" >/dev/null || fail "no window shown for an automatic release"
screenshot autofree_release.png
# 256 MB take 512 MiB: about 2 s here, several times that sanitized on a busy machine.
in_tray() { none_shown && ! tray_icon_absent kelvane; }
wait_until 30 in_tray || fail "after the release the window did not go back to the tray"
mb=$(($(field_kb VmHWM "$pid") >> 10))
((mb >= 512)) || fail "the program held at most $mb MiB, less than the 512 MiB of the stored 256 MB"
wait_for_window 10 "$KELVANE_TITLE" >/dev/null || fail "no second automatic release"
kill -HUP "$pid"
expect_clean_end "$pid" 15 SIGHUP
wait_until 10 tray_icon_absent kelvane || fail "the icon stayed in the panel after SIGHUP"

# --- a normal start: the credits label opens its address through xdg-open ---
rm -f "$INI"
mkdir -p "$E2E_TMP/bin"
OPENED="$E2E_TMP/xdg-open.args"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\n' "$OPENED" >"$E2E_TMP/bin/xdg-open"
chmod +x "$E2E_TMP/bin/xdg-open"
run_bg env PATH="$E2E_TMP/bin:$PATH" "$KELVANE"
pid=$LAST_PID
win=$(wait_for_window 20 "$KELVANE_TITLE") || fail "a normal start showed no window"
size=$(xdotool getwindowgeometry "$win" | awk '/Geometry/ {print $2}')
[[ "$size" == 312x114 ]] || fail "client area is $size, not 312x114"
xdotool mousemove --window "$win" 40 101 click 1
wait_until 10 test -s "$OPENED" || fail "a click on the credits label started no xdg-open"
address=$(head -n 1 "$OPENED")
[[ "$address" == file://*README.md ]] || fail "xdg-open got '$address', not the README's file:// address"

# --- the window manager's close button ends the program like Exit ---
wmctrl -i -c "$win"
expect_clean_end "$pid" 10 "the window manager's close"
echo "PASS: tray start, show, minimise, setup 256 -> 257 stored, menu Exit, releases of $mb MiB from --tray, SIGHUP," \
    "credits '$address', window manager close"
