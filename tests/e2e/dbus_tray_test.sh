#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Xfce's panel as the tray host on the session bus (StatusNotifierItem) under X11, with the
# desktop's notification server (desktop_host.py).
# The probe: its icon registers; balloons become notifications with their title, text and
# urgency; a withdrawn balloon is closed, never posted empty; a click on the notification is
# BalloonClicked, a click on another one is nothing, an expired one is BalloonTimeout.
# Kelvane: "/tray" registers its item with no window; a restarted panel gets it again;
# ContextMenu (from hosts that call it) pops the menu with "Exit" at the pointer, and the item
# goes with the program; Kelvane posts no notification. Without a notification server the
# probe's balloons are lost and its icon still registers. Clicks, the menu a host draws and
# automatic releases: xfce_panel_test.sh and waybar_test.sh.
source "$(dirname "$0")/lib.sh"
KELVANE=$1
PROBE=$2
OUT="$E2E_TMP/probe.out"

said() { grep -Eq "^$1\$" "$OUT"; }
expect() { wait_until 10 said "$1" || fail "probe did not say '$1'; it said: $(tr '\n' '|' <"$OUT")"; }
notify_id() { grep -E "^notify .*body=$1\$" "$HOST_LOG" | sed 's/.* id=\([0-9]*\) .*/\1/'; }

start_xvfb
start_openbox
start_session_bus
start_xfce_panel
start_desktop_host
registered() { [[ -n "$(sni_registered)" ]]; }

# --- the probe: balloons as notifications ---
run_bg "$PROBE" >"$OUT" 2>"$E2E_TMP/probe.err"
probe=$LAST_PID
wait_until 10 registered || fail "the probe's icon did not register"
expect 'ShowBalloon 0'
expect 'HideBalloon 0'
host_expect 10 "notify app=tray_probe id=[0-9]+ replaces=0 urgency=2 timeout=30000 actions=default summary=Tray probe body=Out of memory"
first=$(notify_id 'Memory is low')
[[ -n "$first" ]] || fail "no notification for the first balloon: $(tr '\n' '|' <"$HOST_LOG")"
host_said "notify app=tray_probe id=$first replaces=0 urgency=1 timeout=10000 actions=default summary=Tray probe body=Memory is low" ||
    fail "the warning was posted as: $(grep 'Memory is low' "$HOST_LOG")"
host_expect 10 "close $first"
expect 'BalloonShow'
[[ "$(grep -c '^BalloonShow$' "$OUT")" == 1 ]] || fail "BalloonShow for the withdrawn balloon: $(tr '\n' '|' <"$OUT")"
# A click on the withdrawn one (another program's, as far as the probe knows) is nothing.
host_call Invoke "uint32:$first" string:default
host_call Invoke "uint32:$(notify_id 'Out of memory')" string:default
expect 'BalloonClicked'
# The click brings an information balloon; the desktop lets it expire.
host_expect 10 "notify app=tray_probe id=[0-9]+ replaces=0 urgency=0 timeout=10000 actions=default summary=Tray probe body=Freed"
host_call Expire "uint32:$(notify_id Freed)"
expect 'BalloonTimeout'
[[ "$(grep -c '^BalloonClicked$' "$OUT")" == 1 ]] || fail "clicks reported: $(tr '\n' '|' <"$OUT")"

kill "$probe"
wait_until 10 eval '! registered' || fail "the probe's item stayed: $(sni_registered)"

# --- Kelvane in the tray: a panel restart, the menu ---
run_bg "$KELVANE" /tray
pid=$LAST_PID
wait_until 20 registered || fail "'kelvane /tray' registered no item"
none_shown || fail "'kelvane /tray' mapped a window"
xfce4-panel --quit
wait_until 10 eval '! sni_host_up' || fail "the panel did not quit"
start_xfce_panel
wait_until 20 registered || fail "Kelvane's item did not register with the restarted panel"

xdotool mousemove 600 200
sni_call ContextMenu 600 200
menu=$(wait_until 10 menu_window && menu_window) || fail "ContextMenu opened no menu"
eval "$(xdotool getwindowgeometry --shell "$menu")"
((X == 600 && Y == 200)) || fail "the menu is at $X,$Y, not at the pointer (600,200)"
screenshot dbus_menu.png
sleep 0.3 # the menu takes the keyboard after it is mapped
xdotool key Up Return
wait_exit "$pid" 10 || fail "kelvane did not end after Exit"
[[ "$EXIT_STATUS" == 0 ]] || fail "Exit ended kelvane with status $EXIT_STATUS"
wait_until 10 eval '! registered' || fail "Kelvane's item stayed after Exit: $(sni_registered)"

# --- no notification server: balloons are lost, the icon registers ---
stop_desktop_host
: >"$OUT"
run_bg "$PROBE" >"$OUT" 2>"$E2E_TMP/probe.err"
expect 'ShowBalloon 0'
expect 'HideBalloon 0'
wait_until 10 registered || fail "the probe's icon did not register without a notification server"
sleep 1 # the bus refuses the balloons at once
! said 'Balloon.*' || fail "balloon events without a notification server: $(tr '\n' '|' <"$OUT")"

! host_said "notify app=Kelvane .*" || fail "Kelvane posted a notification: $(grep '^notify' "$HOST_LOG")"
! grep -Eq '^notify .*summary= body=$' "$HOST_LOG" || fail "an empty notification was posted"
echo "PASS: $(tr '\n' '|' <"$HOST_LOG")"
