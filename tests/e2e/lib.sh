# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the end-to-end tests: own server and folders each, a time limit on every wait, all stopped on exit.
set -euo pipefail

E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-e2e.XXXXXX")
export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
export XDG_CONFIG_HOME="$E2E_TMP/config"
# The program's per-user lock in the temp folder too.
export TMPDIR="$E2E_TMP/tmp"
mkdir -p -m 0700 "$XDG_RUNTIME_DIR" "$TMPDIR"
mkdir -p "$XDG_CONFIG_HOME"
INI="$XDG_CONFIG_HOME/Copperline.ini"
# No session bus: Qt then uses the XEmbed tray protocol, which trayer hosts.
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
E2E_PIDS=()
E2E_ARTIFACTS="${E2E_ARTIFACTS:-$PWD/artifacts}"
mkdir -p "$E2E_ARTIFACTS"

e2e_cleanup() {
    local pid
    for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${E2E_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# wait_until SECONDS COMMAND...: polls COMMAND every 0.1 s until it succeeds.
wait_until() {
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# A fresh X server, DISPLAY exported; -noreset: else the readiness check's leaving resets it.
start_xvfb() {
    local fdfile="$E2E_TMP/displayfd"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -nolisten unix-abstract -noreset \
        3>"$fdfile" 2>"$E2E_TMP/xvfb.log" &
    E2E_PIDS+=($!)
    wait_until 15 grep -q '[0-9]' "$fdfile" || fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
    export DISPLAY=":$(tr -dc 0-9 <"$fdfile")"
    wait_until 10 xdpyinfo || fail "X server $DISPLAY does not answer"
}

# A window manager in its stock configuration, its files in the test's folder.
start_openbox() {
    XDG_CACHE_HOME="$E2E_TMP/cache" openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
    E2E_PIDS+=($!)
    wait_until 15 wmctrl -m || fail "openbox did not start: $(tr '\n' '|' <"$E2E_TMP/openbox.log")"
}

# An XEmbed tray at the top right; trayer now and then exits at start on a fresh server.
start_trayer() {
    local attempt pid
    for attempt in 1 2 3; do
        trayer --edge top --align right --widthtype pixel --width 200 --height 32 \
            --SetDockType false --SetPartialStrut false --transparent false --tint 0xdddddd \
            >>"$E2E_TMP/trayer.log" 2>&1 &
        pid=$!
        E2E_PIDS+=($pid)
        if wait_until 5 xdotool search --classname panel; then return 0; fi
        echo "trayer attempt $attempt: $(kill -0 $pid 2>/dev/null && echo running || echo exited)" >>"$E2E_TMP/trayer.log"
        kill "$pid" 2>/dev/null || true
    done
    fail "trayer did not start: $(tr '\n' '|' <"$E2E_TMP/trayer.log")"
}

# tray_icon_geometry CLASS: "ID WxH+X+Y +ROOTX+ROOTY" of trayer's icon of that class (awk reads all: no SIGPIPE).
tray_icon_geometry() {
    xwininfo -root -tree | awk -v class="(\"$1\"" '/\("panel" "trayer"\)/ { inside = 1; next }
        inside && !found && index($0, class) { for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) size = $i;
                                               print $1, size, $NF; found = 1 }'
}

tray_icon_absent() { [[ -z "$(tray_icon_geometry "$1")" ]]; }
# The icon is in and holds still (trayer lays it out after embedding it).
tray_icon_settled() {
    local first
    first=$(tray_icon_geometry "$1")
    [[ -n "$first" ]] || return 1
    sleep 0.3
    [[ "$(tray_icon_geometry "$1")" == "$first" ]]
}

# wait_tray_icon SECONDS CLASS: sets TRAY_ICON_ID (decimal) and TRAY_X, TRAY_Y (its centre) once settled.
wait_tray_icon() {
    local id size origin w h x y
    wait_until "$1" tray_icon_settled "$2" || return 1
    read -r id size origin < <(tray_icon_geometry "$2")
    w=${size%%x*}; h=${size#*x}; h=${h%%+*}
    x=${origin#+}; y=${x#*+}; x=${x%%+*}
    TRAY_ICON_ID=$((id))
    TRAY_X=$((x + w / 2)); TRAY_Y=$((y + h / 2))
}

# wait_for_window SECONDS NAME_REGEX: the id of the first visible window of that title.
wait_for_window() {
    wait_until "$1" xdotool search --onlyvisible --name "$2" || return 1
    xdotool search --onlyvisible --name "$2" | head -n 1
}

# screenshot FILE [WINDOW]: the whole screen, or one window (ImageMagick's import, in /usr/bin).
screenshot() {
    /usr/bin/import -window "${2:-root}" "$E2E_ARTIFACTS/$1"
}

# run_bg COMMAND...: starts COMMAND in the background; its pid is in LAST_PID.
run_bg() {
    "$@" &
    LAST_PID=$!
    E2E_PIDS+=($LAST_PID)
}

running() { kill -0 "$1" 2>/dev/null && [[ "$(ps -o stat= -p "$1")" != Z* ]]; }
# wait_exit PID SECONDS: PID (a child) ends within SECONDS; its status is in EXIT_STATUS.
wait_exit() {
    wait_until "$2" eval "! running $1" || return 1
    EXIT_STATUS=0
    wait "$1" || EXIT_STATUS=$?
}
# expect_exit PID SECONDS WHAT: PID ends with 0 within SECONDS after WHAT.
expect_exit() {
    wait_exit "$1" "$2" || fail "Kelvane did not end after $3"
    [[ "$EXIT_STATUS" == 0 ]] || fail "$3 ended Kelvane with status $EXIT_STATUS"
}
# expect_clean_end PID SECONDS WHAT: that, and the window state stored as out of the tray.
expect_clean_end() {
    expect_exit "$@"
    grep -qx KelvaneTray=0 "$INI" 2>/dev/null || fail "Copperline.ini after $3: $(tr '\n' '|' <"$INI" 2>/dev/null)"
}

# --- a desktop's session bus ---
# A private session bus without service folders: nothing starts on it behind the test's back.
start_session_bus() {
    cat >"$E2E_TMP/bus.conf" <<EOF
<busconfig>
  <type>session</type>
  <listen>unix:path=$E2E_TMP/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    dbus-daemon --config-file="$E2E_TMP/bus.conf" --nofork --nopidfile >"$E2E_TMP/bus.log" 2>&1 &
    E2E_PIDS+=($!)
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/bus"
    wait_until 10 dbus-send --session --dest=org.freedesktop.DBus --type=method_call --print-reply \
        /org/freedesktop/DBus org.freedesktop.DBus.GetId || fail "the session bus did not start: $(cat "$E2E_TMP/bus.log")"
}

# sni_context_menu X Y: a host's ContextMenu call on the item the watcher lists last.
sni_context_menu() {
    local item path=/StatusNotifierItem
    item=$(panel_item)
    [[ "$item" != */* ]] || path="/${item#*/}"
    dbus-send --session --type=method_call --print-reply --dest="${item%%/*}" "$path" \
        org.kde.StatusNotifierItem.ContextMenu "int32:$1" "int32:$2" >/dev/null
}

# --- the program's own windows ---
MAIN_TITLE='[0-9]+\.[0-9]MB Kelvane v[0-9]+\.[0-9]+' SETUP_TITLE='Setup Auto Kelvane'
KELVANE_TITLE="^$MAIN_TITLE\$"
shown_count() { { xdotool search --onlyvisible --name "$KELVANE_TITLE" 2>/dev/null || true; } | wc -l; }
none_shown() { [[ "$(shown_count)" == 0 ]]; }
# menu_window: the program's window on screen other than the icon, the main window and Qt's 1x1 helpers.
menu_window() {
    local id
    for id in $(xdotool search --onlyvisible --classname kelvane 2>/dev/null); do
        [[ "$id" != "${TRAY_ICON_ID:-}" ]] || continue
        xdotool getwindowname "$id" | grep -Eq "$KELVANE_TITLE" && continue
        xdotool getwindowgeometry "$id" | grep -q "Geometry: 1x1\$" || { echo "$id"; return 0; }
    done
    return 1
}
# Right-clicks ($TRAY_X, $TRAY_Y) until a menu is up: a click may go to a closing menu's grab.
open_tray_menu() {
    local attempt
    for attempt in 1 2 3; do
        xdotool mousemove "$TRAY_X" "$TRAY_Y" click 3
        wait_until 3 menu_window && return 0
    done
    return 1
}

# --- menus a D-Bus tray host draws ---
watcher() {
    dbus-send --session --type=method_call --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher "string:$1"
}
# sni_registered: the watcher's items, one a line ("<bus name>/<path>" or "<bus name>").
sni_registered() { watcher RegisteredStatusNotifierItems | grep -o 'string "[^"]*"' | cut -d'"' -f2; }
sni_host_up() { watcher IsStatusNotifierHostRegistered | grep -q 'boolean true'; }
# sni_menu_layout ITEM: its dbusmenu as a host reads it, a line per visible entry ("-" a separator, " [x]"/" [ ]" a check).
sni_menu_layout() {
    /usr/bin/python3 - "$1" <<'PY'
import sys, dbus
bus, props = dbus.SessionBus(), "org.freedesktop.DBus.Properties"
name, _, path = sys.argv[1].partition("/")
if not name:
    sys.exit("no item registered")
menu = bus.get_object(name, "/" + (path or "StatusNotifierItem"), introspect=False).Get("org.kde.StatusNotifierItem", "Menu", dbus_interface=props)
try:
    _, (_, _, entries) = bus.get_object(name, menu, introspect=False).GetLayout(0, -1, dbus.Array(signature="s"), dbus_interface="com.canonical.dbusmenu")
except dbus.DBusException as error:
    sys.exit(f"no menu at {menu}: {error.get_dbus_name()}")
for _, entry, _ in entries:
    if not entry.get("visible", True):
        continue
    check = " [x]" if entry.get("toggle-state") == 1 else " [ ]"
    print("-" if entry.get("type") == "separator" else entry.get("label", "") + (check if entry.get("toggle-type") == "checkmark" else ""))
PY
}
# menu_rows IMAGE: "item|separator TOP BOTTOM" per band darker than the background (a separator: at most 3 lines).
menu_rows() {
    /usr/bin/convert "$1" +repage -colorspace Gray -scale "1x$(/usr/bin/identify -format %h "$1")!" -depth 8 -compress none pgm:- |
        awk '{ for (i = 1; i <= NF; i++) t[k++] = $i }
        END { n = t[2]; top = -1
              for (y = 0; y < n; y++) if (t[y + 4] > bg) bg = t[y + 4]
              for (y = 0; y <= n; y++) {
                  ink = y < n && t[y + 4] < bg
                  if (ink && top < 0) top = y
                  if (!ink && top >= 0) { if (top > 0 && y < n) print (y - top <= 3 ? "separator" : "item"), top, y - 1; top = -1 }
              } }'
}

# --- the program's memory, from outside ---
# field_kb KEY PID: a kB figure of /proc/PID/status.
field_kb() { awk -v key="$1:" '$1 == key {print $2}' "/proc/$2/status"; }
# usage_peak: a peak surely below the usage (others' memory comes and goes): 1 %, or 0 under 2 %.
usage_peak() { awk '/^MemTotal:/ {t = $2} /^MemAvailable:/ {a = $2} END {print ((1 - a / t) * 100 >= 2 ? 1 : 0)}' /proc/meminfo; }

# --- a real panel's tray over D-Bus; each panel's test defines the panel_* functions it calls ---
PANEL_SHOTS="$E2E_TMP/shots" MENU="$E2E_TMP/shots/menu.ppm"
LAYOUT_CHECKED='_Show Kelvane|-|Auto Kelvane Setup|Auto Kelvane [x]|-|E_xit' LAYOUT=""
mkdir -p "$PANEL_SHOTS"
# Xfce's panel with its Status Tray alone, the session's tray host; again: a restart.
start_xfce_panel() {
    local config="$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
    export XDG_CACHE_HOME="$E2E_TMP/cache" NO_AT_BRIDGE=1
    if [[ ! -d "$config" ]]; then
        mkdir -p "$config"
        cat >"$config/xfce4-panel.xml" <<'EOF'
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
        run_bg /usr/lib/*/xfce4/xfconf/xfconfd >"$E2E_TMP/xfconfd.log" 2>&1
    fi
    run_bg xfce4-panel >>"$E2E_TMP/panel.log" 2>&1
    wait_until 30 sni_host_up || fail "the panel's Status Tray is not on the bus: $(tr '\n' '|' <"$E2E_TMP/panel.log")"
}
panel_item() { sni_registered | tail -n 1; }
panel_layout() { sni_menu_layout "$(panel_item)" 2>&1 | paste -sd '|'; }
panel_unchecked() { [[ "$(panel_layout)" == "${LAYOUT_CHECKED/\[x\]/[ ]}" ]]; }

# changed_box BEFORE AFTER any|light [GEOMETRY]: "X Y W H" around the pixels that differ (light ones in AFTER).
changed_box() {
    local light=() crop=() both=() box
    [[ "$3" != light ]] || light=(\( -clone 1 -grayscale Rec601Luma -threshold 78% \)) both=(-compose multiply -composite)
    [[ -z "${4:-}" ]] || crop=(-crop "$4" +repage)
    box=$(/usr/bin/convert "$1" "$2" "${crop[@]}" \( -clone 0,1 -compose difference -composite -fill white +opaque black \) \
        "${light[@]}" -delete 0,1 "${both[@]}" -format %@ info: 2>/dev/null) || return 1
    [[ "$box" =~ ^([1-9][0-9]*)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    echo "${BASH_REMATCH[3]} ${BASH_REMATCH[4]} ${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
}

# menu_drawn: the open menu's picture ($MENU) has a row per entry of LAYOUT; sets MENU_X, MENU_Y, MENU_W, MENU_H.
menu_drawn() {
    local box want
    box=$(panel_menu_box) || return 1
    read -r MENU_X MENU_Y MENU_W MENU_H <<<"$box"
    panel_shot "$MENU" "${MENU_W}x$MENU_H+$MENU_X+$MENU_Y" || return 1
    want=$(tr '|' '\n' <<<"$LAYOUT" | awk '{print ($0 == "-" ? "separator" : "item")}' | paste -sd ' ')
    [[ "$(menu_rows "$MENU" | cut -d' ' -f1 | paste -sd ' ')" == "$want" ]]
}
# open_menu: right-clicks the icon until the menu is up and drawn; LAYOUT as exported just before.
open_menu() {
    local attempt
    for attempt in 1 2 3; do
        panel_before_menu
        wait_until 10 panel_icon || return 1
        LAYOUT=$(panel_layout)
        panel_click "$ICON_X" "$ICON_Y" right
        panel_park
        wait_until 5 panel_menu_box && break
    done
    wait_until 5 menu_drawn
}
# row_of LABEL: "TOP BOTTOM" of that entry's row in the picture of the open menu.
row_of() {
    local n
    n=$(tr '|' '\n' <<<"$LAYOUT" | grep -nxF "$1" | cut -d: -f1)
    [[ -n "$n" ]] && menu_rows "$MENU" | sed -n "${n}p" | cut -d' ' -f2-
}
# choose LABEL: a left click on that row of the open menu, which then closes.
choose() {
    local top bottom
    read -r top bottom < <(row_of "$1") || fail "no row '$1' in the menu: $LAYOUT"
    panel_click $((MENU_X + MENU_W / 2)) $((MENU_Y + (top + bottom) / 2)) left
    panel_park
    wait_until 10 eval '! panel_menu_box >/dev/null' || fail "the menu stayed open after a click on '$1'"
}

# panel_story KELVANE...: releases from the tray, the menu drawn as exported, "Auto Kelvane" off, setup, a left click.
panel_story() {
    local attempt
    printf '[Settings]\nAutoKelvanePeak=%s\nAutoKelvaneMB=32\n' "$(usage_peak)" >"$INI"
    run_bg "$@" /tray 2>>"$E2E_TMP/kelvane.log"
    PANEL_PID=$LAST_PID
    wait_until 20 panel_icon || fail "no icon drawn in the panel"
    wait_until 30 eval '(($(field_kb VmHWM "$PANEL_PID") >= 65536))' || fail "no automatic release of 64 MiB from the tray"

    # A release may take the icon, and the menu, away: try again right after the next one.
    for attempt in 1 2 3 4 5; do
        wait_until 10 panel_shown "$MAIN_TITLE" || true
        wait_until 30 panel_gone "$MAIN_TITLE" || fail "the window did not go back to the tray after a release"
        open_menu || continue
        [[ "$LAYOUT" == "$LAYOUT_CHECKED" ]] || fail "the exported menu is $LAYOUT"
        choose 'Auto Kelvane [x]'
        /usr/bin/convert "$MENU" "$E2E_ARTIFACTS/${PANEL}_menu.png"
        wait_until 3 panel_unchecked && break
    done
    panel_unchecked || fail "'Auto Kelvane' not turned off in $attempt attempts; the menu exported when last opened: $LAYOUT;" \
        "the menu drawn: $(menu_rows "$MENU" 2>&1 | paste -sd ' ')"
    # Releases stopping with the item unchecked: AutoFreeTest.triggerMatrix.
    wait_until 30 panel_gone "$MAIN_TITLE" || fail "a release went on after 'Auto Kelvane' was unchecked"
    PANEL_ITEM=$(panel_item)
    open_menu || fail "a right click opened no menu"
    panel_unchecked || fail "the menu opened again is $(panel_layout)"
    choose 'Auto Kelvane Setup'
    wait_until 10 panel_shown "$SETUP_TITLE" || fail "'Auto Kelvane Setup' opened no setup window"
    panel_close "$SETUP_TITLE"
    wait_until 10 panel_gone "$SETUP_TITLE" || fail "the setup window did not close"
    panel_gone "$MAIN_TITLE" || fail "the setup window's close left the main window shown"

    wait_until 10 panel_icon || fail "no icon after the setup window closed"
    panel_click "$ICON_X" "$ICON_Y" left
    wait_until 10 panel_shown "$MAIN_TITLE" || fail "a left click on the icon showed no window"
    panel_hide
}
