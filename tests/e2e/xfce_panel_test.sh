#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Xfce's Status Tray on a private bus with a notification server (desktop_host.py): tray_probe's balloons, then panel_story.
source "$(dirname "$0")/lib.sh"
KELVANE=$1
PROBE=$2
PANEL=xfce_panel
OUT="$E2E_TMP/probe.out" HOST_LOG="$E2E_TMP/host.log"
fail() { screenshot xfce_panel_failure.png || true; echo "FAIL: $*" >&2; exit 1; }

# --- the notification server and the probe's view of it ---
start_desktop_host() {
    /usr/bin/python3 "$(dirname "$0")/desktop_host.py" "$HOST_LOG" 2>>"$E2E_TMP/host.err" &
    HOST_PID=$!
    E2E_PIDS+=($HOST_PID)
    wait_until 10 grep -q '^host ready' "$HOST_LOG" || fail "the desktop host did not start: $(cat "$E2E_TMP/host.err")"
}
# host_said REGEX: a whole line of the host's log; host_expect SECONDS REGEX waits for one.
host_said() { grep -Eq "^$1\$" "$HOST_LOG"; }
host_expect() { wait_until "$1" host_said "$2" || fail "the host did not log '$2'; it logged: $(tr '\n' '|' <"$HOST_LOG")"; }
# host_call Invoke|Expire ARGS...: the host's own controls.
host_call() {
    dbus-send --session --type=method_call --print-reply --dest=org.freedesktop.Notifications /org/freedesktop/Notifications \
        "org.kelvane.TestHost.$1" "${@:2}" >/dev/null
}
notify_id() { sed -En "s/^notify .* id=([0-9]+) .*body=$1\$/\1/p" "$HOST_LOG"; }
said() { grep -Eq "^$1\$" "$OUT"; }
expect() { wait_until 10 said "$1" || fail "probe did not say '$1'; it said: $(tr '\n' '|' <"$OUT")"; }
registered() { [[ -n "$(sni_registered)" ]]; }

# --- the panel's side of panel_story ---
# The plugin runs in a wrapper process: its window in the panel has no window type, the menus
# it pops up are popup menus.
wrapper_window() {
    local id
    for id in $(xdotool search --onlyvisible --classname wrapper-2.0 2>/dev/null); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q "$1" && { echo "$id"; return 0; }
    done
    return 1
}
# The icon is in once the tray (1 pixel wide while empty) has grown, holds still and shows a picture.
panel_icon() {
    local id w h x y
    id=$(wrapper_window 'not found') || return 1
    read -r w h x y < <(xwininfo -id "$id" | awk -F: '/Width/ {w = $2} /Height/ {h = $2}
        /Absolute upper-left X/ {x = $2} /Absolute upper-left Y/ {y = $2} END {print w + 0, h + 0, x + 0, y + 0}')
    ((w >= 16)) && [[ -n "$(sni_registered)" ]] || return 1
    sleep 0.3
    [[ "$(xwininfo -id "$id" | grep -c "Width: $w\$")" == 1 ]] || return 1
    (($(/usr/bin/import -window root -crop "${w}x$h+$x+$y" png:- | /usr/bin/convert png:- -format %k info:) > 8)) || return 1
    ICON_X=$((x + w / 2)) ICON_Y=$((y + h / 2))
}
panel_click() { xdotool mousemove "$1" "$2" click "$([[ $3 == left ]] && echo 1 || echo 3)"; }
# Away from the icon, whose tool tip would hide rows, and from the menu, whose highlight would.
panel_park() { xdotool mousemove 1000 700; }
panel_shot() { /usr/bin/import -window root ${2:+-crop "$2"} "ppm:$1"; }
# A menu left open (popped up while a release had taken the icon away) goes first.
panel_before_menu() { ! wrapper_window POPUP_MENU >/dev/null || { xdotool key Escape; wait_until 3 eval '! wrapper_window POPUP_MENU'; }; }
panel_menu_box() {
    local id X Y WIDTH HEIGHT SCREEN WINDOW
    id=$(wrapper_window POPUP_MENU) || return 1
    eval "$(xdotool getwindowgeometry --shell "$id")"
    echo "$X $Y $WIDTH $HEIGHT"
}
panel_shown() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
panel_gone() { ! panel_shown "$1"; }
panel_close() { wmctrl -c "$1"; }
panel_hide() {
    wait_until 10 eval '! panel_icon' || fail "the icon stayed in the panel with the window shown"
    xdotool windowminimize "$(xdotool search --onlyvisible --name "$KELVANE_TITLE" | head -n 1)"
    wait_until 10 none_shown || fail "the minimised window is still on screen"
}

start_xvfb
start_openbox
start_session_bus
start_xfce_panel
start_desktop_host

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
host_expect 10 "notify app=tray_probe id=[0-9]+ .* body=Freed"
host_call Expire "uint32:$(notify_id Freed)"
expect 'BalloonTimeout'
[[ "$(grep -c '^BalloonClicked$' "$OUT")" == 1 ]] || fail "clicks reported: $(tr '\n' '|' <"$OUT")"
kill "$probe"
wait_until 10 eval '! registered' || fail "the probe's item stayed: $(sni_registered)"

# --- Kelvane: the story, a panel restart, ContextMenu ---
panel_story "$KELVANE"
xfce4-panel --quit
wait_until 10 eval '! sni_host_up' || fail "the panel did not quit"
start_xfce_panel
wait_until 20 registered || fail "Kelvane's item did not register with the restarted panel"
xdotool mousemove 600 200
sni_context_menu 600 200
menu=$(wait_until 10 menu_window && menu_window) || fail "ContextMenu opened no menu"
eval "$(xdotool getwindowgeometry --shell "$menu")"
((X == 600 && Y == 200)) || fail "the menu is at $X,$Y, not at the pointer (600,200)"
screenshot dbus_menu.png
sleep 0.3 # the menu takes the keyboard after it is mapped
xdotool key Up Return
expect_clean_end "$PANEL_PID" 10 Exit
wait_until 10 eval '! registered' || fail "Kelvane's item stayed after Exit: $(sni_registered)"

# --- no notification server: balloons are lost, the icon registers ---
kill "$HOST_PID"
wait "$HOST_PID" 2>/dev/null || true
: >"$OUT"
run_bg "$PROBE" >"$OUT" 2>"$E2E_TMP/probe.err"
expect 'ShowBalloon 0'
expect 'HideBalloon 0'
wait_until 10 registered || fail "the probe's icon did not register without a notification server"
sleep 1 # the bus refuses the balloons at once
! said 'Balloon.*' || fail "balloon events without a notification server: $(tr '\n' '|' <"$OUT")"
! host_said "notify app=Kelvane .*" || fail "Kelvane posted a notification: $(grep '^notify' "$HOST_LOG")"
! grep -Eq '^notify .*summary= body=$' "$HOST_LOG" || fail "an empty notification was posted"
echo "PASS: probe's balloons as notifications, Kelvane's menu drawn by xfce4-panel, releases, 'Auto Kelvane' off," \
    "setup window, show by click, minimise, panel restart, ContextMenu Exit"
