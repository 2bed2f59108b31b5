#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Xfce's own panel with only its Status Tray, which hosts the icon over the session bus and
# draws the icon's menu itself from the menu the item exports; everything through real clicks
# (the story: panel_story in lib.sh). Under X11 a left click that shows the window takes the
# icon away, and minimising brings it back.
source "$(dirname "$0")/lib.sh"
KELVANE=$1
PANEL=xfce_panel
fail() { screenshot xfce_panel_failure.png || true; echo "FAIL: $*" >&2; exit 1; }

# The panel's plugin runs in a wrapper process: its window in the panel has no window type,
# the menus it pops up are popup menus.
wrapper_window() {
    local id
    for id in $(xdotool search --onlyvisible --classname wrapper-2.0 2>/dev/null); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q "$1" && { echo "$id"; return 0; }
    done
    return 1
}
# The icon is in the tray once the tray (1 pixel wide while empty) has grown, holds still and
# shows a picture.
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
panel_story "$KELVANE"
panel_exit
echo "PASS: Kelvane's menu drawn by xfce4-panel, releases, 'Auto Kelvane' off, setup window, show by click and by menu, minimise, Exit"
