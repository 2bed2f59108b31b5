#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Xfce's own panel with only its Status Tray, which hosts the icon over the session bus and
# draws the icon's menu itself from the menu the item exports; everything through real clicks.
# "kelvane /tray" puts its icon in the panel; a right click opens Kelvane's menu (its entries,
# order and separators as exported, "Auto Kelvane" checked); choosing "Auto Kelvane" clears the
# check mark and stops the automatic release that was running; "Auto Kelvane Setup" opens the
# setup window; a left click shows the window and takes the icon away, minimising brings it
# back; "Exit" ends Kelvane with 0 and stores the normal state.
source "$(dirname "$0")/lib.sh"
KELVANE=$1
INI="$XDG_CONFIG_HOME/Copperline.ini"
MENU="$E2E_TMP/menu.png" LAYOUT=""
LAYOUT_CHECKED='_Show Kelvane|-|Auto Kelvane Setup|Auto Kelvane [x]|-|E_xit'
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
# shows a picture; ICON_X, ICON_Y are its centre.
icon_drawn() {
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
icon_gone() { ! icon_drawn; }
item() { sni_registered | tail -n 1; }
layout() { sni_menu_layout "$(item)" 2>&1 | paste -sd '|'; }
# The menu as drawn: its rows match the exported entries (LAYOUT) one for one, separators
# included.
drawn_as_exported() {
    local want
    /usr/bin/import -window root -crop "${WIDTH}x$HEIGHT+$X+$Y" "$MENU" || return 1
    LAYOUT=$(layout)
    want=$(tr '|' '\n' <<<"$LAYOUT" | awk '{print ($0 == "-" ? "separator" : "item")}' | paste -sd ' ')
    [[ "$(menu_rows "$MENU" | cut -d' ' -f1 | paste -sd ' ')" == "$want" ]]
}
no_menu() { ! wrapper_window POPUP_MENU; }
# open_menu: right-clicks the icon until the panel's menu is up, moves the pointer away (the
# icon's tool tip and a highlighted row would hide rows) and waits until it is drawn whole. A
# menu left open (the panel's own, popped up while a release had taken the icon away) goes first.
open_menu() {
    local attempt id
    for attempt in 1 2 3; do
        no_menu || { xdotool key Escape; wait_until 3 no_menu; }
        wait_until 10 icon_drawn || return 1
        xdotool mousemove "$ICON_X" "$ICON_Y" click 3
        wait_until 3 wrapper_window POPUP_MENU && break
    done
    id=$(wrapper_window POPUP_MENU) || return 1
    xdotool mousemove 1000 700
    eval "$(xdotool getwindowgeometry --shell "$id")"
    wait_until 5 drawn_as_exported
}
# row_of LABEL: "TOP BOTTOM" of that entry's row in the picture of the open menu.
row_of() {
    local n
    n=$(tr '|' '\n' <<<"$LAYOUT" | grep -nxF "$1" | cut -d: -f1)
    [[ -n "$n" ]] && menu_rows "$MENU" | sed -n "${n}p" | cut -d' ' -f2-
}
click_row() {
    local top bottom
    read -r top bottom < <(row_of "$1") || fail "no row '$1' in the menu: $LAYOUT"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + (top + bottom) / 2)) click 1
}
# How dark the check column of a row is (0 black, 255 white).
check_column() {
    local top bottom
    read -r top bottom < <(row_of "$1")
    /usr/bin/convert "$MENU" +repage -crop "26x$((bottom - top + 1))+0+$top" -colorspace Gray -format '%[fx:int(mean * 255)]' info:
}
# The process has held at least $2 MiB at some time.
held_mb() { (($(peak_rss_mb "$1") >= $2)); }
unchecked() { [[ "$(layout)" == "${LAYOUT_CHECKED/\[x\]/[ ]}" ]]; }

# --- the panel, configured with the Status Tray alone ---
start_xvfb
start_openbox
start_session_bus
mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
cat >"$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="32"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
EOF
export XDG_CACHE_HOME="$E2E_TMP/cache" NO_AT_BRIDGE=1
run_bg /usr/lib/*/xfce4/xfconf/xfconfd >"$E2E_TMP/xfconfd.log" 2>&1
run_bg xfce4-panel >"$E2E_TMP/panel.log" 2>&1
host_up() {
    dbus-send --session --type=method_call --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher string:IsStatusNotifierHostRegistered | grep -q 'boolean true'
}
wait_until 30 host_up || fail "the panel's Status Tray is not on the bus: $(tr '\n' '|' <"$E2E_TMP/panel.log")"

# --- in the tray, with a peak below any usage: automatic releases run ---
printf '[Settings]\nAutoKelvanePeak=0\nAutoKelvaneMB=128\n' >"$INI"
run_bg "$KELVANE" /tray
pid=$LAST_PID
wait_until 20 icon_drawn || fail "no icon drawn in the panel's Status Tray"
# 128 MB take 256 MiB.
wait_until 20 held_mb "$pid" 256 || fail "no automatic release with the peak at 0"

# --- the menu the panel draws; "Auto Kelvane" chosen ---
# A release takes the icon away for a moment every 3 s, and the menu with it: try again then.
for attempt in 1 2 3 4 5; do
    wait_until 30 none_shown || fail "the window did not go back to the tray after a release"
    open_menu || continue
    [[ "$LAYOUT" == "$LAYOUT_CHECKED" ]] || fail "the exported menu is $LAYOUT"
    screenshot xfce_panel_menu.png
    checked_column=$(check_column 'Auto Kelvane [x]')
    click_row 'Auto Kelvane [x]'
    wait_until 3 unchecked && break
done
unchecked || fail "'Auto Kelvane' not turned off in $attempt attempts; the menu exported when last opened: $LAYOUT;" \
    "the menu drawn: $(menu_rows "$MENU" 2>&1 | paste -sd ' ')"

# --- no more releases: over three refreshes the item stays, no window, no memory written (a
# release writes 65536 pages) ---
wait_until 30 none_shown || fail "the window did not go back to the tray"
before_item=$(item) before_faults=$(minor_faults "$pid")
for _ in $(seq 100); do none_shown || fail "a release ran with 'Auto Kelvane' off"; sleep 0.1; done
faults=$(($(minor_faults "$pid") - before_faults))
[[ "$(item)" == "$before_item" ]] && ((faults < 32768)) ||
    fail "a release ran with 'Auto Kelvane' off: item $before_item -> $(item), $faults minor faults"

# --- the check mark is gone; "Auto Kelvane Setup" opens the setup window ---
open_menu || fail "a right click opened no menu"
unchecked || fail "the menu opened again is $(layout)"
column=$(check_column 'Auto Kelvane [ ]')
((column >= checked_column + 10)) || fail "the check column is drawn as dark as before ($column, checked $checked_column)"
click_row 'Auto Kelvane Setup'
setup=$(wait_for_window 10 '^Setup Auto Kelvane$') || fail "'Auto Kelvane Setup' opened no setup window"
wmctrl -i -c "$setup"
wait_until 10 none_shown || fail "the setup window's close left a window of Kelvane shown"

# --- a left click shows the window, the icon goes; minimising brings it back ---
wait_until 10 icon_drawn || fail "no icon after the setup window closed"
xdotool mousemove "$ICON_X" "$ICON_Y" click 1
win=$(wait_for_window 10 "$KELVANE_TITLE") || fail "a left click on the icon showed no window"
wait_until 10 icon_gone || fail "the icon stayed in the panel with the window shown"
xdotool windowminimize "$win"
wait_until 10 none_shown || fail "the minimised window is still on screen"

# --- "Show Kelvane" shows it too; minimised again ---
open_menu || fail "no menu after minimising"
click_row '_Show Kelvane'
win=$(wait_for_window 10 "$KELVANE_TITLE") || fail "'Show Kelvane' showed no window"
xdotool windowminimize "$win"
wait_until 10 none_shown || fail "the minimised window is still on screen"

# --- Exit ---
open_menu || fail "no menu after minimising again"
click_row E_xit
wait_exit "$pid" 10 || fail "kelvane did not end after Exit"
[[ "$EXIT_STATUS" == 0 ]] || fail "Exit ended kelvane with status $EXIT_STATUS"
grep -qx 'KelvaneTray=0' "$INI" || fail "Copperline.ini after Exit: $(cat "$INI")"
echo "PASS: Kelvane's menu drawn by xfce4-panel, 'Auto Kelvane' off after $attempt attempt(s) ($faults faults in 10 s), setup window, show by click and by menu, minimise, Exit"
