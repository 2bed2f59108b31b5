#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# waybar's tray under headless sway (two outputs, a virtual pointer): panel_story, the no-host start, Kelvane's own popup.
source "$(dirname "$0")/lib.sh"
KELVANE=$1
POINTER=$2
PANEL=waybar
WAYBAR_LOG="$E2E_TMP/waybar.log"
OUTPUT_W=1024 OUTPUT_H=768 BAR_H=30
PARK_X=$((2 * OUTPUT_W - 8)) PARK_Y=$((OUTPUT_H - 8))
rm -rf "$E2E_ARTIFACTS/waybar_failure"

# On a failure the screen, the last screenshots and the programs' logs go to the artifacts.
fail() {
    local evidence="$E2E_ARTIFACTS/waybar_failure"
    mkdir -p "$evidence"
    timeout 10 grim "$evidence/screen.png" 2>/dev/null || true
    cp "$PANEL_SHOTS"/*.ppm "$WAYBAR_LOG" "$E2E_TMP"/sway.log "$E2E_TMP"/pointer.err "$E2E_TMP"/kelvane.log "$evidence/" 2>/dev/null || true
    echo "FAIL: $*" >&2
    exit 1
}
# --- sway, which refuses to run as root (then it runs as nobody), with a runtime folder of its own ---
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

# sway_windows: "VISIBLE FLOATING WIDTHxHEIGHT TITLE" (true/false) of each window sway holds.
sway_windows() {
    swaymsg -t get_tree | jq -r '.. | objects | select(has("shell"))
        | "\(.visible) \(.type == "floating_con") \(.rect.width)x\(.rect.height) \(.name)"'
}

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
    wait_until 20 sni_host_up || fail "waybar's tray is not on the bus: $(tail -5 "$WAYBAR_LOG")"
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
panel_park() { pointer move "$PARK_X" "$PARK_Y"; }

# --- the panel's side of the story ---
# The first output, at 0,0 of the layout; a part of it as grim names a region ("X,Y WxH").
panel_shot() {
    local region=(-o HEADLESS-1)
    [[ -z "${2:-}" ]] || region=(-g "$(sed -E 's/^([0-9]+x[0-9]+)\+([0-9]+)\+([0-9]+)$/\2,\3 \1/' <<<"$2")")
    timeout 10 grim "${region[@]}" -t ppm "$1"
}
panel_click() { pointer click "$1" "$2" "$3"; }
# The icon: what the bar shows and did not show empty, in the same place twice in a row.
bar_changed() { panel_shot "$PANEL_SHOTS/bar.ppm" && changed_box "$PANEL_SHOTS/bar_empty.ppm" "$PANEL_SHOTS/bar.ppm" any "${OUTPUT_W}x$BAR_H+0+0"; }
panel_icon() {
    local box x y w h
    box=$(bar_changed) && [[ "$(bar_changed)" == "$box" ]] || return 1
    read -r x y w h <<<"$box"
    ICON_X=$((x + w / 2)) ICON_Y=$((y + h / 2))
}
# The menu: what is light now and was not before the right click.
panel_before_menu() { panel_park && panel_shot "$PANEL_SHOTS/before_menu.ppm"; }
panel_menu_box() { panel_shot "$PANEL_SHOTS/now.ppm" && changed_box "$PANEL_SHOTS/before_menu.ppm" "$PANEL_SHOTS/now.ppm" light; }
panel_shown() { sway_windows | grep -Eqx "true [a-z]+ [0-9x]+ $1"; }
panel_gone() { ! sway_windows | grep -Eq "^[a-z]+ [a-z]+ [0-9x]+ $1\$"; }
panel_close() { swaymsg "[title=\"^$1\$\"] kill" >/dev/null; }
panel_hide() {
    [[ "$(sni_registered)" == "$PANEL_ITEM" ]] || fail "the tray item $PANEL_ITEM did not stay with the window shown: $(sni_registered)"
    pointer click "$ICON_X" "$ICON_Y" left
    panel_park
    wait_until 10 panel_gone "$MAIN_TITLE" || fail "a left click on the icon did not hide the window: $(sway_windows | tr '\n' '|')"
    [[ "$(sni_registered)" == "$PANEL_ITEM" ]] || fail "the tray item $PANEL_ITEM did not stay with the window hidden: $(sni_registered)"
}

start_session_bus
start_sway
export QT_QPA_PLATFORM=wayland

# --- no tray host: "/tray" shows the window as on a normal start; SIGTERM ends it with 0 ---
run_bg "$KELVANE" /tray 2>>"$E2E_TMP/kelvane.log"
wait_until 20 panel_shown "$MAIN_TITLE" || fail "'/tray' without a tray host showed no window: $(sway_windows | tr '\n' '|')"
kill -TERM "$LAST_PID"
expect_clean_end "$LAST_PID" 15 SIGTERM

start_waybar
start_pointer
panel_park
wait_until 10 panel_shot "$PANEL_SHOTS/bar_empty.ppm" || fail "grim took no screenshot"
panel_story "$KELVANE"
/usr/bin/convert "$PANEL_SHOTS/bar.ppm" "$E2E_ARTIFACTS/waybar_icon.png"

# --- with no window shown, ContextMenu from a host: Kelvane's own popup, floated at its own size ---
sni_context_menu 0 0
wait_until 10 panel_shown Kelvane || fail "ContextMenu showed no popup: $(sway_windows | tr '\n' '|')"
read -r _ floating popup_w popup_h _ < <(sway_windows | grep ' Kelvane$' | tr x ' ')
[[ "$floating" == true ]] && ((popup_w < OUTPUT_W / 2 && popup_h < OUTPUT_H / 2)) ||
    fail "Kelvane's own popup is ${popup_w}x$popup_h, floating: $floating (output ${OUTPUT_W}x$OUTPUT_H)"
panel_close Kelvane
wait_until 10 panel_gone Kelvane || fail "Kelvane's own popup did not close"

open_menu || fail "no menu for Exit"
choose E_xit
expect_clean_end "$PANEL_PID" 10 Exit
echo "PASS: icon at $ICON_X,$ICON_Y, menu at $MENU_X,$MENU_Y ${MENU_W}x$MENU_H, no-host start, own popup, Exit"
