# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the end-to-end tests. Each test gets its own X server, runtime directory, temp
# directory and settings directory, so tests never share a lock or a settings file with each
# other or with the user. Every wait has a time limit; everything started is stopped on exit.
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

# Starts a fresh X server on a free display number and exports DISPLAY. -noreset: without
# it the server resets when its last client leaves, and the readiness check below is such a
# client, so a program connecting right after it could meet a server in mid-reset.
start_xvfb() {
    local fdfile="$E2E_TMP/displayfd"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -nolisten unix-abstract -noreset \
        3>"$fdfile" 2>"$E2E_TMP/xvfb.log" &
    E2E_PIDS+=($!)
    wait_until 15 grep -q '[0-9]' "$fdfile" || fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
    export DISPLAY=":$(tr -dc 0-9 <"$fdfile")"
    wait_until 10 xdpyinfo || fail "X server $DISPLAY does not answer"
}

# Starts a window manager on the test display with its stock configuration, and waits until
# it manages windows. Its log and session files go to the test's folder, not the user's.
start_openbox() {
    XDG_CACHE_HOME="$E2E_TMP/cache" openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
    E2E_PIDS+=($!)
    wait_until 15 wmctrl -m || fail "openbox did not start: $(tr '\n' '|' <"$E2E_TMP/openbox.log")"
}

# Starts an XEmbed notification-area host at the top right of the screen. trayer now and
# then exits at start without a word on a fresh server; one more try covers that.
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

# tray_icon_geometry CLASS: "ID WxH+X+Y +ROOTX+ROOTY" of the icon window of WM_CLASS CLASS
# that trayer holds, from its line in the window tree:
#   0x... "tray_probe": ("tray_probe" "tray_probe")  22x30+0+0  +1001+1
# Prints nothing when trayer holds no such icon. awk reads the whole tree: leaving early
# would end xwininfo with SIGPIPE, which pipefail reports as a failure.
tray_icon_geometry() {
    xwininfo -root -tree | awk -v class="(\"$1\"" '/\("panel" "trayer"\)/ { inside = 1; next }
        inside && !found && index($0, class) { for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) size = $i;
                                               print $1, size, $NF; found = 1 }'
}

# tray_icon_present CLASS / tray_icon_absent CLASS: trayer holds an icon of that class, or not.
tray_icon_present() { [[ -n "$(tray_icon_geometry "$1")" ]]; }
tray_icon_absent() { [[ -z "$(tray_icon_geometry "$1")" ]]; }

# tray_icon_settled CLASS: the icon is in the panel and its place holds still (the panel lays
# an icon out after embedding it).
tray_icon_settled() {
    local first
    first=$(tray_icon_geometry "$1")
    [[ -n "$first" ]] || return 1
    sleep 0.3
    [[ "$(tray_icon_geometry "$1")" == "$first" ]]
}

# wait_tray_icon SECONDS CLASS: waits until the icon has settled in the panel and sets
# TRAY_ICON_ID (decimal, as xdotool prints ids) and TRAY_X, TRAY_Y (its centre on screen).
wait_tray_icon() {
    local id size origin w h x y
    wait_until "$1" tray_icon_settled "$2" || return 1
    read -r id size origin < <(tray_icon_geometry "$2")
    w=${size%%x*}; h=${size#*x}; h=${h%%+*}
    x=${origin#+}; y=${x#*+}; x=${x%%+*}
    TRAY_ICON_ID=$((id))
    TRAY_X=$((x + w / 2)); TRAY_Y=$((y + h / 2))
}

# wait_for_window SECONDS NAME_REGEX: prints the id of the first visible window whose
# title matches.
wait_for_window() {
    wait_until "$1" xdotool search --onlyvisible --name "$2" || return 1
    xdotool search --onlyvisible --name "$2" | head -n 1
}

# screenshot FILE [WINDOW]: the whole screen, or one window.
screenshot() {
    # Another convert/import may come first on PATH; ImageMagick's is in /usr/bin.
    /usr/bin/import -window "${2:-root}" "$E2E_ARTIFACTS/$1"
}

# run_bg COMMAND...: starts COMMAND in the background; its pid is in LAST_PID.
run_bg() {
    "$@" &
    LAST_PID=$!
    E2E_PIDS+=($LAST_PID)
}

# wait_exit PID SECONDS: waits for PID (a child of this shell) to end; its exit status is
# in EXIT_STATUS. Fails when it is still running after SECONDS.
wait_exit() {
    local pid=$1 deadline=$((SECONDS + $2))
    while [[ "$(ps -o stat= -p "$pid" 2>/dev/null)" != Z* ]] && kill -0 "$pid" 2>/dev/null; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
    EXIT_STATUS=0
    wait "$pid" || EXIT_STATUS=$?
}

# --- a desktop's session bus ---
# start_session_bus: a private session bus for this test, with no service folders, so that
# nothing is started on it behind the test's back; exports DBUS_SESSION_BUS_ADDRESS.
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

# start_desktop_host: the notification server of desktop_host.py on the session bus, logging
# to $HOST_LOG; HOST_PID is its pid. Returns once it owns its name.
HOST_LOG="$E2E_TMP/host.log"
start_desktop_host() {
    # The system's Python, which has the dbus and gi modules.
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/desktop_host.py" "$HOST_LOG" 2>>"$E2E_TMP/host.err" &
    HOST_PID=$!
    E2E_PIDS+=($HOST_PID)
    wait_until 10 grep -q '^host ready' "$HOST_LOG" || fail "the desktop host did not start: $(cat "$E2E_TMP/host.err")"
}
stop_desktop_host() { kill "$HOST_PID"; wait "$HOST_PID" 2>/dev/null || true; }
# host_said REGEX: a line of the host's log matches it whole. host_expect SECONDS REGEX: waits for one.
host_said() { grep -Eq "^$1\$" "$HOST_LOG"; }
host_expect() { wait_until "$1" host_said "$2" || fail "the host did not log '$2'; it logged: $(tr '\n' '|' <"$HOST_LOG")"; }
# sni_call METHOD X Y: what a tray host calls on a click (Activate, ContextMenu or
# SecondaryActivate) on the item the watcher lists last ("<bus name>/<path>" or "<bus name>").
sni_call() {
    local item path=/StatusNotifierItem
    item=$(sni_registered | tail -n 1)
    [[ "$item" != */* ]] || path="/${item#*/}"
    dbus-send --session --type=method_call --print-reply --dest="${item%%/*}" "$path" \
        "org.kde.StatusNotifierItem.$1" "int32:$2" "int32:$3" >/dev/null
}
# host_call METHOD ARGS...: the host's own controls (Invoke, Expire).
host_call() {
    dbus-send --session --type=method_call --print-reply --dest=org.freedesktop.Notifications /org/freedesktop/Notifications \
        "org.kelvane.TestHost.$1" "${@:2}" >/dev/null
}

# --- the program's own windows ---
MAIN_TITLE='[0-9]+\.[0-9]MB Kelvane v[0-9]+\.[0-9]+' SETUP_TITLE='Setup Auto Kelvane'
KELVANE_TITLE="^$MAIN_TITLE\$"
# How many main windows are on screen.
shown_count() { { xdotool search --onlyvisible --name "$KELVANE_TITLE" 2>/dev/null || true; } | wc -l; }
none_shown() { [[ "$(shown_count)" == 0 ]]; }
# menu_window [CLASS]: prints the tray menu's window: one of the program's (or CLASS's) on
# screen other than the icon ($TRAY_ICON_ID), the main window and Qt's 1x1 helpers.
menu_window() {
    local id
    for id in $(xdotool search --onlyvisible --classname "${1:-kelvane}" 2>/dev/null); do
        [[ "$id" != "${TRAY_ICON_ID:-}" ]] || continue
        xdotool getwindowname "$id" | grep -Eq "$KELVANE_TITLE" && continue
        xdotool getwindowgeometry "$id" | grep -q "Geometry: 1x1\$" || { echo "$id"; return 0; }
    done
    return 1
}
# Right-clicks the icon at ($TRAY_X, $TRAY_Y) until its menu is on screen: right after a popup
# closes, X may still deliver the next click to the closing menu's grab.
open_tray_menu() {
    local attempt
    for attempt in 1 2 3; do
        xdotool mousemove "$TRAY_X" "$TRAY_Y" click 3
        wait_until 3 menu_window && return 0
    done
    return 1
}

# --- menus a D-Bus tray host draws ---
# sni_registered: the items the tray host's watcher lists, one a line ("<bus name>/<path>" or
# "<bus name>").
sni_registered() {
    dbus-send --session --type=method_call --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher string:RegisteredStatusNotifierItems |
        grep -o 'string "[^"]*"' | cut -d'"' -f2
}
# sni_menu_layout ITEM: the menu ITEM (as sni_registered lists it) exports, read as a host reads
# it (com.canonical.dbusmenu GetLayout at the item's Menu path): one line per visible entry, its
# label (mnemonics as "_"), "-" for a separator, " [x]" or " [ ]" after a checkable one. Fails
# when the item exports no menu.
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
# menu_rows IMAGE: the rows of a menu in a picture of it, top to bottom, as "item TOP BOTTOM" or
# "separator TOP BOTTOM" (lines from the picture's top): bands of lines darker than the
# background, a separator being one at most 3 lines tall; the frame at the edges is left out.
# The pointer must be off the menu, whose highlight would fill a row.
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
# peak_rss_mb PID: the most it has held at any time, in MiB. minor_faults PID: its minor page
# faults so far (a release writes every page it takes, one fault each).
peak_rss_mb() { awk '/^VmHWM:/ {print int($2 / 1024)}' "/proc/$1/status"; }
minor_faults() { awk '{print $10}' "/proc/$1/stat"; }
# usage_peak: a peak below the usage (1 - MemAvailable/MemTotal): 1 %, or 0 where less than 2 %
# is in use now. Other programs' memory comes and goes while a test runs, so a peak just below
# the usage of the moment is soon above it.
usage_peak() { awk '/^MemTotal:/ {t = $2} /^MemAvailable:/ {a = $2} END {print ((1 - a / t) * 100 >= 2 ? 1 : 0)}' /proc/meminfo; }

# --- a real panel's tray over D-Bus: the story both panels' tests tell ---
# The panel's test defines, beside fail(): panel_icon (sets ICON_X, ICON_Y once the icon is
# drawn and holds still), panel_click X Y left|right, panel_park (the pointer over nothing
# drawn), panel_shot FILE [WxH+X+Y] (the screen the panel is on, or that part, as PPM),
# panel_before_menu (readies a right click: a menu left open goes), panel_menu_box ("X Y W H"
# of the menu the panel pops up; fails while none is up), panel_shown TITLE and panel_gone
# TITLE (a window of that title on screen, or none), panel_close TITLE, and panel_hide (hides
# the shown main window as that desktop does).
PANEL_SHOTS="$E2E_TMP/shots" MENU="$E2E_TMP/shots/menu.ppm"
LAYOUT_CHECKED='_Show Kelvane|-|Auto Kelvane Setup|Auto Kelvane [x]|-|E_xit' LAYOUT=""
mkdir -p "$PANEL_SHOTS"
sni_host_up() {
    dbus-send --session --type=method_call --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher string:IsStatusNotifierHostRegistered | grep -q 'boolean true'
}
# start_xfce_panel: Xfce's panel with its Status Tray alone, the session's tray host; again
# after "xfce4-panel --quit", a restart.
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

# changed_box BEFORE AFTER any|light [GEOMETRY]: "X Y W H" around the pixels that differ
# between the pictures (inside GEOMETRY), only those light in AFTER with "light"; fails when
# none do.
changed_box() {
    local light=() crop=() both=() box
    [[ "$3" != light ]] || light=(\( -clone 1 -grayscale Rec601Luma -threshold 78% \)) both=(-compose multiply -composite)
    [[ -z "${4:-}" ]] || crop=(-crop "$4" +repage)
    box=$(/usr/bin/convert "$1" "$2" "${crop[@]}" \( -clone 0,1 -compose difference -composite -fill white +opaque black \) \
        "${light[@]}" -delete 0,1 "${both[@]}" -format %@ info: 2>/dev/null) || return 1
    [[ "$box" =~ ^([1-9][0-9]*)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    echo "${BASH_REMATCH[3]} ${BASH_REMATCH[4]} ${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
}

# menu_drawn: the open menu's picture ($MENU) has rows that match the entries it exports
# (LAYOUT) one for one, separators included; sets MENU_X, MENU_Y, MENU_W, MENU_H.
menu_drawn() {
    local box want
    box=$(panel_menu_box) || return 1
    read -r MENU_X MENU_Y MENU_W MENU_H <<<"$box"
    panel_shot "$MENU" "${MENU_W}x$MENU_H+$MENU_X+$MENU_Y" || return 1
    want=$(tr '|' '\n' <<<"$LAYOUT" | awk '{print ($0 == "-" ? "separator" : "item")}' | paste -sd ' ')
    [[ "$(menu_rows "$MENU" | cut -d' ' -f1 | paste -sd ' ')" == "$want" ]]
}
# open_menu: right-clicks the icon until the panel's menu is up and waits until it is drawn;
# LAYOUT is the menu the item exports just before.
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
# check_column LABEL: how dark the check column of that row is (0 black, 255 white).
check_column() {
    local top bottom
    read -r top bottom < <(row_of "$1")
    /usr/bin/convert "$MENU" +repage -crop "26x$((bottom - top + 1))+0+$top" -colorspace Gray -format '%[fx:int(mean * 255)]' info:
}

# panel_story KELVANE...: "/tray" with a peak below the usage (a release of 32 MB, 64 MiB
# written, at each refresh): the icon is drawn and releases run; a right click opens the menu
# as exported ("Auto Kelvane" checked); choosing "Auto Kelvane" clears the mark, drawn lighter
# next time, and stops the releases; "Auto Kelvane Setup" opens the setup window; a left click
# and "Show Kelvane" show the window. PANEL_PID is the program's pid, PANEL_ITEM its item once the
# releases stopped.
panel_story() {
    local attempt checked_column column faults
    printf '[Settings]\nAutoKelvanePeak=%s\nAutoKelvaneMB=32\n' "$(usage_peak)" >"$INI"
    run_bg "$@" /tray 2>>"$E2E_TMP/kelvane.log"
    PANEL_PID=$LAST_PID
    wait_until 20 panel_icon || fail "no icon drawn in the panel"
    wait_until 30 eval '(($(peak_rss_mb "$PANEL_PID") >= 64))' || fail "no automatic release of 64 MiB from the tray"

    # A release may take the icon away, and the menu with it: right after one ends the next
    # is furthest off; try again when it came all the same.
    for attempt in 1 2 3 4 5; do
        wait_until 10 panel_shown "$MAIN_TITLE" || true
        wait_until 30 panel_gone "$MAIN_TITLE" || fail "the window did not go back to the tray after a release"
        open_menu || continue
        [[ "$LAYOUT" == "$LAYOUT_CHECKED" ]] || fail "the exported menu is $LAYOUT"
        choose 'Auto Kelvane [x]'
        /usr/bin/convert "$MENU" "$E2E_ARTIFACTS/${PANEL}_menu.png"
        checked_column=$(check_column 'Auto Kelvane [x]')
        wait_until 3 panel_unchecked && break
    done
    panel_unchecked || fail "'Auto Kelvane' not turned off in $attempt attempts; the menu exported when last opened: $LAYOUT;" \
        "the menu drawn: $(menu_rows "$MENU" 2>&1 | paste -sd ' ')"
    # A release under way when the click came runs to its end; then over two refreshes (3 s
    # apart) nothing is written (a release writes 16384 pages) and the item stays.
    quiet() {
        local before
        before=$(minor_faults "$PANEL_PID")
        sleep 0.5
        panel_gone "$MAIN_TITLE" && (($(minor_faults "$PANEL_PID") - before < 1000))
    }
    wait_until 30 quiet || fail "a release went on after 'Auto Kelvane' was unchecked"
    PANEL_ITEM=$(panel_item) faults=$(minor_faults "$PANEL_PID")
    ! wait_until 8 eval '(($(minor_faults "$PANEL_PID") - faults >= 8192))' ||
        fail "a release after 'Auto Kelvane' was unchecked: $(($(minor_faults "$PANEL_PID") - faults)) page faults"
    [[ "$(panel_item)" == "$PANEL_ITEM" ]] || fail "the item $PANEL_ITEM went with 'Auto Kelvane' off: $(panel_item)"

    open_menu || fail "a right click opened no menu"
    panel_unchecked || fail "the menu opened again is $(panel_layout)"
    column=$(check_column 'Auto Kelvane [ ]')
    ((column >= checked_column + 10)) || fail "the check column is drawn as dark as before ($column, checked $checked_column)"
    choose 'Auto Kelvane Setup'
    wait_until 10 panel_shown "$SETUP_TITLE" || fail "'Auto Kelvane Setup' opened no setup window"
    panel_close "$SETUP_TITLE"
    wait_until 10 panel_gone "$SETUP_TITLE" || fail "the setup window did not close"
    panel_gone "$MAIN_TITLE" || fail "the setup window's close left the main window shown"

    wait_until 10 panel_icon || fail "no icon after the setup window closed"
    panel_click "$ICON_X" "$ICON_Y" left
    wait_until 10 panel_shown "$MAIN_TITLE" || fail "a left click on the icon showed no window"
    panel_hide
    open_menu || fail "no menu after the window was hidden"
    choose '_Show Kelvane'
    wait_until 10 panel_shown "$MAIN_TITLE" || fail "'Show Kelvane' showed no window"
    panel_hide
}
# panel_exit: "Exit" from the menu ends the program with 0, stored as not in the tray.
panel_exit() {
    open_menu || fail "no menu for Exit"
    choose E_xit
    wait_exit "$PANEL_PID" 10 || fail "'Exit' did not end Kelvane"
    [[ "$EXIT_STATUS" == 0 ]] || fail "'Exit' ended Kelvane with status $EXIT_STATUS"
    grep -qx 'KelvaneTray=0' "$INI" || fail "Copperline.ini after Exit: $(cat "$INI")"
}
