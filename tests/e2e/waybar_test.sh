#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Kelvane in a real panel's tray over D-Bus: waybar (its tray module alone) under a headless
# sway, both with Kelvane on one private session bus, clicked as a hand would through a
# virtual pointer (virtual_pointer.c: headless sway has no input devices). "/tray" maps no
# window and waybar draws the icon; a right click opens the menu Kelvane exports
# (com.canonical.dbusmenu: waybar never asks the item for a menu of its own) and waybar draws
# its four rows; "Auto Kelvane" clears its check mark and stops the automatic release that the
# stored peak, below this machine's usage, sets off; "Auto Kelvane Setup" opens the setup
# window; a left click shows the main window, the next hides it and the next shows it again;
# "Exit" ends Kelvane with status 0, stored as not in the tray.
#
# Two outputs: waybar on the first, the windows on the second, so that what waybar draws
# (the icon, the menu) is found by comparing screenshots of the first. The pointer rests on
# the second output whenever a screenshot is taken, so that it hovers over nothing drawn.
source "$(dirname "$0")/lib.sh"
KELVANE=$1
POINTER=$2
HERE=$(dirname "$0")
INI="$XDG_CONFIG_HOME/Copperline.ini"
MAIN="[0-9]+\.[0-9]MB Kelvane v[0-9]+\.[0-9]+"
SETUP="Setup Auto Kelvane"
SHOTS="$E2E_TMP/shots"
WAYBAR_LOG="$E2E_TMP/waybar.log"
OUTPUT_W=1024 OUTPUT_H=768 BAR_H=30
PARK_X=$((2 * OUTPUT_W - 8)) PARK_Y=$((OUTPUT_H - 8))
mkdir -p "$SHOTS"
rm -rf "$E2E_ARTIFACTS/waybar_failure"

# On a failure the screen, the last screenshots and the programs' logs go to the artifacts.
fail() {
    local evidence="$E2E_ARTIFACTS/waybar_failure" shot
    rm -rf "$evidence" && mkdir -p "$evidence"
    timeout 10 grim "$evidence/screen.png" 2>/dev/null || true
    for shot in "$SHOTS"/*.ppm; do
        [[ -e "$shot" ]] && /usr/bin/convert "$shot" "$evidence/$(basename "$shot" .ppm).png"
    done
    cp "$WAYBAR_LOG" "$E2E_TMP"/sway.log "$E2E_TMP"/pointer.err "$E2E_TMP"/kelvane.log "$evidence/" 2>/dev/null || true
    echo "FAIL: $*" >&2
    exit 1
}

# --- sway, as an unprivileged user with a runtime folder of its own ---
# sway refuses to run as root: a test run as root starts it as nobody.
start_sway() {
    local runtime="$E2E_TMP/sway" as_user=()
    if ((EUID == 0)); then
        chmod 0711 "$E2E_TMP"
        install -d -m 0700 -o nobody -g nogroup "$runtime"
        as_user=(setpriv --reuid=nobody --regid=nogroup --init-groups)
    else
        mkdir -m 0700 "$runtime"
    fi
    cat >"$E2E_TMP/sway.conf" <<EOF
output HEADLESS-1 mode ${OUTPUT_W}x$OUTPUT_H position 0 0
output HEADLESS-2 mode ${OUTPUT_W}x$OUTPUT_H position $OUTPUT_W 0
workspace 1 output HEADLESS-2
# The pointer goes only where the test moves it.
mouse_warping none
focus_follows_mouse no
EOF
    env -i PATH=/usr/bin:/bin HOME=/nonexistent XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless \
        WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=2 \
        "${as_user[@]}" sway -c "$E2E_TMP/sway.conf" >"$E2E_TMP/sway.log" 2>&1 &
    E2E_PIDS+=($!)
    # Its display socket (wayland-1, the first free name) and its IPC socket.
    sway_up() { test -S "$runtime/wayland-1" && compgen -G "$runtime/sway-ipc.*.sock"; }
    wait_until 20 sway_up || fail "sway did not start: $(tail -5 "$E2E_TMP/sway.log")"
    SWAYSOCK=$(compgen -G "$runtime/sway-ipc.*.sock")
    # An absolute path: the programs connecting keep the test's own runtime folder.
    export SWAYSOCK WAYLAND_DISPLAY="$runtime/wayland-1"
    unset DISPLAY
    wait_until 10 swaymsg -t get_outputs || fail "sway does not answer: $(tail -5 "$E2E_TMP/sway.log")"
}

# sway_windows: "VISIBLE TITLE" of each window sway holds (VISIBLE: True or False).
sway_windows() {
    swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(node):
    if "shell" in node:
        print(node.get("visible"), node.get("name"))
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))'
}
window_shown() { sway_windows | grep -Eqx "True $1"; }
window_gone() { ! sway_windows | grep -Eq "^[A-Za-z]+ $1\$"; }

# --- waybar, its tray alone, on the first output; it is the session's StatusNotifierWatcher ---
start_waybar() {
    cat >"$E2E_TMP/waybar.json" <<EOF
{ "output": "HEADLESS-1", "layer": "top", "position": "top", "height": $BAR_H,
  "modules-right": ["tray"], "tray": { "icon-size": 22, "spacing": 4 } }
EOF
    cat >"$E2E_TMP/waybar.css" <<EOF
* { font-family: "DejaVu Sans"; font-size: 13px; }
window#waybar { background: #30343c; }
EOF
    GTK_THEME=Adwaita NO_AT_BRIDGE=1 XDG_CONFIG_HOME="$E2E_TMP/waybar-config" XDG_CACHE_HOME="$E2E_TMP/cache" \
        waybar -c "$E2E_TMP/waybar.json" -s "$E2E_TMP/waybar.css" -l debug >"$WAYBAR_LOG" 2>&1 &
    E2E_PIDS+=($!)
    watcher_ready() {
        dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
            org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
            string:IsStatusNotifierHostRegistered | grep -q 'boolean true'
    }
    wait_until 20 watcher_ready || fail "waybar's tray is not on the bus: $(tail -5 "$WAYBAR_LOG")"
}

# --- the pointer: one device for the whole test, one command at a time ---
start_pointer() {
    local reply
    coproc POINTER_IO { exec "$POINTER" $((2 * OUTPUT_W)) "$OUTPUT_H" 2>"$E2E_TMP/pointer.err"; }
    E2E_PIDS+=($POINTER_IO_PID)
    read -r -t 10 reply <&"${POINTER_IO[0]}" && [[ "$reply" == ready ]] ||
        fail "the virtual pointer did not start: $(cat "$E2E_TMP/pointer.err")"
}
# pointer COMMAND: returns once sway has handled it (see virtual_pointer.c).
pointer() {
    local reply
    echo "$*" >&"${POINTER_IO[1]}"
    read -r -t 10 reply <&"${POINTER_IO[0]}" || fail "the virtual pointer did not answer '$*': $(cat "$E2E_TMP/pointer.err")"
    [[ "$reply" == ok ]] || fail "the virtual pointer on '$*': $reply"
}
park() { pointer move "$PARK_X" "$PARK_Y"; }

# --- what the first output shows ---
shot() { timeout 10 grim -o HEADLESS-1 -t ppm "$SHOTS/$1.ppm"; }
screen() { /usr/bin/python3 "$HERE/screen.py" "$@"; }
keep_shot() { /usr/bin/convert "$SHOTS/$1.ppm" "$E2E_ARTIFACTS/$2"; }

# icon_drawn: the bar shows something it did not show empty, in the same place twice in a row
# (waybar lays the icon out after adding it); sets ICON_X, ICON_Y, its middle.
icon_drawn() {
    local x y w h
    shot bar_a && read -r x y w h < <(screen changed "$SHOTS/bar_empty.ppm" "$SHOTS/bar_a.ppm" 0 0 "$OUTPUT_W" "$BAR_H") || return 1
    shot bar_b && [[ "$(screen changed "$SHOTS/bar_empty.ppm" "$SHOTS/bar_b.ppm" 0 0 "$OUTPUT_W" "$BAR_H")" == "$x $y $w $h" ]] || return 1
    ICON_X=$((x + w / 2)) ICON_Y=$((y + h / 2))
}

# open_menu NAME: right-clicks the icon and waits until the menu is drawn and holds still;
# sets MENU_X, MENU_Y, MENU_W, MENU_H (its light body) and ROWS (the middle Y of each row of
# text, top first), and keeps the picture as NAME.
open_menu() {
    park && shot before_menu
    pointer click "$ICON_X" "$ICON_Y" right
    park
    menu_drawn() {
        local box rows
        shot "$1" && { read -r box && read -r rows; } < <(screen menu "$SHOTS/before_menu.ppm" "$SHOTS/$1.ppm") || return 1
        shot "$1_again" && screen same "$SHOTS/$1.ppm" "$SHOTS/$1_again.ppm" 0 0 "$OUTPUT_W" "$OUTPUT_H" || return 1
        read -r MENU_X MENU_Y MENU_W MENU_H <<<"$box"
        read -r -a ROWS <<<"$rows"
    }
    wait_until 10 menu_drawn "$1" || fail "a right click on the icon drew no menu"
}
# choose ROW: a left click on the ROW-th row (from 1) of the open menu, which then closes.
choose() {
    local y=${ROWS[$(($1 - 1))]}
    pointer click $((MENU_X + MENU_W / 2)) "$y" left
    park
    # Nothing light left of it (the icon under its corner may go with an Exit).
    menu_closed() {
        local status=0
        shot after_menu || return 1
        screen menu "$SHOTS/before_menu.ppm" "$SHOTS/after_menu.ppm" >/dev/null || status=$?
        ((status == 1))
    }
    wait_until 10 menu_closed || fail "the menu stayed open after a click on its row $1 (y $y)"
}
# row_box N: "X Y W H" of the N-th row (from 1): from half-way to the row above to half-way to
# the row below (the menu's edges for the first and last).
row_box() {
    local i=$(($1 - 1)) top bottom
    top=$(( i == 0 ? MENU_Y : (ROWS[i - 1] + ROWS[i]) / 2 ))
    bottom=$(( i == ${#ROWS[@]} - 1 ? MENU_Y + MENU_H : (ROWS[i] + ROWS[i + 1]) / 2 ))
    echo "$MENU_X $top $MENU_W $((bottom - top))"
}

# The menu Kelvane exports, as sni_menu_layout prints it.
exported_menu() { sni_menu_layout "$(sni_registered | tail -n 1)" 2>&1; }
registered() { [[ -n "$(sni_registered)" ]]; }
menu_is() { [[ "$(exported_menu)" == "$1" ]]; }
menu_with_auto() {
    printf '%s\n' "_Show Kelvane" - "Auto Kelvane Setup" "Auto Kelvane [$1]" - "E_xit"
}

# A peak below this machine's usage: every refresh from the tray sets off a release of 200 MB,
# 400 MiB written.
peak=$(usage_peak)
printf '[Settings]\nAutoKelvanePeak=%s\nAutoKelvaneMB=200\n' "$peak" >"$INI"

start_session_bus
start_sway
start_waybar
start_pointer
park
wait_until 10 shot bar_empty || fail "grim took no screenshot"

# --- "/tray": no window, an item that waybar draws ---
run_bg env QT_QPA_PLATFORM=wayland "$KELVANE" /tray 2>"$E2E_TMP/kelvane.log"
pid=$LAST_PID
wait_until 20 registered || fail "Kelvane registered no tray item with waybar"
item=$(sni_registered)
wait_until 20 icon_drawn || fail "waybar drew no icon for Kelvane's item"
keep_shot bar_b waybar_icon.png

# The peak sets off releases (the window shows for each, on the second output).
wait_until 30 eval '(($(peak_rss_mb "$pid") >= 400))' ||
    fail "no automatic release of 400 MiB from the tray (peak $peak %, held $(peak_rss_mb "$pid") MiB)"

# --- a right click: Kelvane's menu, drawn by waybar ---
open_menu menu_checked
((${#ROWS[@]} == 4)) || fail "waybar drew a menu of ${#ROWS[@]} rows (rows at y ${ROWS[*]:-none}), not Kelvane's four"
menu_is "$(menu_with_auto x)" || fail "the exported menu is: $(exported_menu | tr '\n' '|')"
keep_shot menu_checked waybar_menu.png

# --- "Auto Kelvane": the check mark goes, and so do the releases ---
choose 3
wait_until 10 menu_is "$(menu_with_auto ' ')" || fail "'Auto Kelvane' is still checked: $(exported_menu | tr '\n' '|')"
# A release under way when the click came runs to its end first (Kelvane answers the bus
# while it runs, so the check mark may go before its window shows).
quiet() {
    local before
    before=$(minor_faults "$pid")
    sleep 0.5
    window_gone "$MAIN" && (($(minor_faults "$pid") - before < 1000))
}
wait_until 30 quiet || fail "a release went on after 'Auto Kelvane' was unchecked"
faults=$(minor_faults "$pid")
released() { (($(minor_faults "$pid") - faults >= 50000)); }
# Two refreshes (3 s apart) would each write 400 MiB, 102,400 pages.
! wait_until 8 released || fail "a release after 'Auto Kelvane' was unchecked: $(($(minor_faults "$pid") - faults)) page faults"

# The menu drawn next time, in the same place: its third row changed.
checked=("${ROWS[@]}")
open_menu menu_unchecked
[[ "${ROWS[*]}" == "${checked[*]}" ]] || fail "the menu's rows moved from y ${checked[*]} to y ${ROWS[*]}"
! screen same "$SHOTS/menu_checked.ppm" "$SHOTS/menu_unchecked.ppm" $(row_box 3) ||
    fail "the row of 'Auto Kelvane' ($(row_box 3)) still looks as it did checked"

# --- "Auto Kelvane Setup": the setup window ---
choose 2
wait_until 10 window_shown "$SETUP" || fail "'Auto Kelvane Setup' opened no window: $(sway_windows | tr '\n' '|')"
swaymsg "[title=\"^$SETUP\$\"] kill" >/dev/null
wait_until 10 window_gone "$SETUP" || fail "the setup window did not close"

# --- left clicks: the window shows and hides; the icon stays throughout ---
for want in shown gone; do
    pointer click "$ICON_X" "$ICON_Y" left
    park
    wait_until 10 "window_$want" "$MAIN" || fail "after a left click on the icon the window is not $want: $(sway_windows | tr '\n' '|')"
    [[ "$(sni_registered)" == "$item" ]] || fail "the tray item $item did not stay with the window $want: $(sni_registered)"
done

# --- "Show Kelvane" shows the window too ---
open_menu menu_show
choose 1
wait_until 10 window_shown "$MAIN" || fail "'Show Kelvane' showed no window: $(sway_windows | tr '\n' '|')"
pointer click "$ICON_X" "$ICON_Y" left
park
wait_until 10 window_gone "$MAIN" || fail "a left click did not hide the window shown from the menu"

# --- with no window shown, a host that asks for the menu (ContextMenu) gets Kelvane's own
# popup as a window of its own: floated at its natural size, not tiled over the output ---
own_popup() {
    swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(node, floating):
    r = node.get("rect", {})
    if "shell" in node and node.get("name") == "Kelvane":
        print(floating, r.get("width"), r.get("height"))
    for child in node.get("nodes", []):
        walk(child, floating)
    for child in node.get("floating_nodes", []):
        walk(child, True)
walk(json.load(sys.stdin), False)'
}
item_path=/StatusNotifierItem
[[ "$item" != */* ]] || item_path="/${item#*/}"
dbus-send --session --type=method_call --dest="${item%%/*}" "$item_path" org.kde.StatusNotifierItem.ContextMenu int32:0 int32:0
wait_until 10 eval '[[ -n "$(own_popup)" ]]' || fail "ContextMenu showed no popup: $(sway_windows | tr '\n' '|')"
read -r floating popup_w popup_h <<<"$(own_popup)"
[[ "$floating" == True ]] && ((popup_w < OUTPUT_W / 2 && popup_h < OUTPUT_H / 2)) ||
    fail "Kelvane's own popup is ${popup_w}x$popup_h, floating: $floating (output ${OUTPUT_W}x$OUTPUT_H)"
swaymsg '[title="^Kelvane$"] kill' >/dev/null
wait_until 10 eval '[[ -z "$(own_popup)" ]]' || fail "Kelvane's own popup did not close"

# --- "Exit" ---
open_menu menu_exit
choose 4
wait_exit "$pid" 10 || fail "'Exit' did not end Kelvane"
[[ "$EXIT_STATUS" == 0 ]] || fail "'Exit' ended Kelvane with status $EXIT_STATUS"
grep -qx 'KelvaneTray=0' "$INI" || fail "Copperline.ini after Exit: $(cat "$INI")"
echo "PASS: icon at $ICON_X,$ICON_Y, menu at $MENU_X,$MENU_Y ${MENU_W}x$MENU_H with rows at y ${ROWS[*]}, peak $peak %"
