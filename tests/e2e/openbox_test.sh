#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Under openbox: the XEmbed tray (trayer), the window manager's part of the tray story (the rest: TrayTest); one instance.
source "$(dirname "$0")/lib.sh"
KELVANE=$1

is_active() { [[ "$(xdotool getactivewindow 2>/dev/null)" == "$1" ]]; }
# withdrawn ID: out of the window manager's client list, as a hidden window is and an iconified one is not.
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
# Placed before openbox framed it: the frame's middle within half its decoration of the screen's.
ox=$((2 * (cx - fl) + cw + fl + fr - 1024)) oy=$((2 * (cy - ft) + ch + ft + fb - 768)) # twice the offsets
((ox * ox <= (fl + fr + 6) ** 2 && oy * oy <= (ft + fb + 6) ** 2)) ||
    fail "window framed at $((cx - fl)),$((cy - ft)) size $((cw + fl + fr))x$((ch + ft + fb)) is not centred on 1024x768"
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

# --- SIGHUP ends it like Exit (the menu's Exit: xfce_panel_test; releases from the tray: panel_story) ---
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

# --- one Kelvane at a time whatever XDG_RUNTIME_DIR names (or another user's lock file) ---
# running_count PID...: how many of them still run.
running_count() {
    local pid n=0
    for pid in "$@"; do running "$pid" && n=$((n + 1)); done
    echo "$n"
}
one_running() { [[ "$(running_count "$@")" == 1 ]]; }

# As root the starts run as nobody, so that a folder of another owner is real.
user=$E2E_TMP/user
mkdir -m 0700 "$user" "$user/tmp" "$user/config"
as_user=()
if [[ $(id -u) == 0 ]]; then
    chmod 0711 "$E2E_TMP"
    chown -R nobody:nogroup "$user"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
mkdir -m 0500 "$user/read-only"
mkdir -m 0700 "$user/other-owner" "$user/runtime"
chown "$(stat -c %u:%g "$user")" "$user/read-only" "$user/runtime"
# start_as_user RUNTIME LOG: a start with XDG_RUNTIME_DIR=RUNTIME ("-" for none at all).
start_as_user() {
    local runtime=(XDG_RUNTIME_DIR="$1")
    [[ "$1" != - ]] || runtime=(-u XDG_RUNTIME_DIR)
    run_bg "${as_user[@]}" env "${runtime[@]}" HOME="$user" TMPDIR="$user/tmp" XDG_CONFIG_HOME="$user/config" \
        "$KELVANE" 2>>"$2"
}
# plant_lock: another user's lock file, held, where the user's own would be in the temp folder.
plant_lock() {
    local file=$user/tmp/kelvane.lock-$(stat -c %u "$user")
    install -m 0666 /dev/null "$file"
    /usr/bin/python3 -c 'import fcntl, sys, time
f = open(sys.argv[1], "r+")
fcntl.flock(f, fcntl.LOCK_EX)
print("held", flush=True)
time.sleep(600)' "$file" >"$E2E_TMP/planted" &
    planter=$!
    E2E_PIDS+=($planter)
    wait_until 5 grep -q held "$E2E_TMP/planted" || fail "the planted lock is not held"
}
# A killed program leaves no lock: the first case's starts then run where it ran.
start_as_user "$user/runtime" "$E2E_TMP/stderr-killed"
wait_for_window 20 "$KELVANE_TITLE" >/dev/null || fail "no window from the first start"
kill -KILL "$LAST_PID"
wait_exit "$LAST_PID" 5 || fail "kill -9 did not end kelvane"
wait_until 10 none_shown || fail "the killed kelvane's window stayed"

cases=("the user's own folder:$user/runtime" "missing folder:$user/missing" "read-only folder:$user/read-only"
    "another user's folder:$user/other-owner" "not set:-" "another user's lock file planted:$user/runtime")
for entry in "${cases[@]}"; do
    name=${entry%%:*} runtime=${entry#*:}
    if [[ "$name" == another* && ${#as_user[@]} == 0 ]]; then
        echo "skipped $name: only root can make a file or folder of another user"
        continue
    fi
    [[ "$name" != *planted ]] || plant_lock
    log=$E2E_TMP/stderr-${name// /-}
    pids=() n=3
    [[ "$name" != *own* ]] || n=10
    for ((i = 0; i < n; i++)); do start_as_user "$runtime" "$log"; pids+=("$LAST_PID"); done
    wait_until 20 one_running "${pids[@]}" || fail "$name: $(running_count "${pids[@]}") of $n kelvanes still run"
    wait_for_window 20 "$KELVANE_TITLE" >/dev/null || fail "$name: the kelvane left running showed no window"
    for pid in "${pids[@]}"; do
        running "$pid" && continue
        wait_exit "$pid" 1
        [[ "$EXIT_STATUS" == 0 ]] || fail "$name: a kelvane that lost the start ended with status $EXIT_STATUS"
    done
    # A later start, once the first may have made whatever folder it makes.
    start_as_user "$runtime" "$log"
    expect_exit "$LAST_PID" 5 "$name: a later start"
    one_running "${pids[@]}" || fail "$name: $(running_count "${pids[@]}") kelvanes run after a later start"
    [[ "$(shown_count)" == 1 ]] || fail "$name: $(shown_count) Kelvane windows on screen"
    ! grep -q 'XDG_RUNTIME_DIR not set' "$log" || fail "$name: the toolkit's notice came through: $(cat "$log")"
    for pid in "${pids[@]}"; do running "$pid" && kill "$pid"; done
    for pid in "${pids[@]}"; do wait_exit "$pid" 10 || fail "$name: kelvane did not end on SIGTERM"; done
    wait_until 10 none_shown || fail "$name: a window stayed"
    echo "ok $name: one instance"
done
echo "PASS: tray start, show, minimise, setup 256 -> 257 stored, SIGHUP, credits '$address', window manager close," \
    "one instance after kill -9 and whatever XDG_RUNTIME_DIR names"
