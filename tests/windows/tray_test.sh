#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows program under Wine, in the tray of an X desktop (trayer, which hosts the icons
# that Wine's shell docks there): "kelvane.exe /tray" puts its icon in the tray with the
# caption and usage as its tool tip and shows no window; a second start ends at once; a
# left click shows the window and takes the icon away; "Free 50 MB" takes 100 MiB and gives
# it all back; minimised it is in the tray again, where a right click opens the menu whose
# first item, "Show Kelvane", shows the window; "Exit" from the menu stores KelvaneTray = 0
# in the registry.
source "$(dirname "$0")/../e2e/lib.sh"
EXE=$(realpath "$1")
TIP_TEXT=$(realpath "$2")
WINE_PREFIX_TOOL=$(realpath "$(dirname "$0")/../../packaging/windows/wine-prefix")
export WINEPREFIX="$E2E_TMP/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
REG_KEY='HKCU\Software\VB and VBA Program Settings\Copperline\Settings'
trap '"$WINE_PREFIX_TOOL" stop "$WINEPREFIX"; e2e_cleanup' EXIT

# The window that owns the tray selection of screen 0 (0 for none).
tray_owner() {
    python3 - <<'PY'
import ctypes
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XInternAtom.restype = ctypes.c_ulong
x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XGetSelectionOwner.restype = ctypes.c_ulong
display = x.XOpenDisplay(None)
print(x.XGetSelectionOwner(display, x.XInternAtom(display, b"_NET_SYSTEM_TRAY_S0", 0)) if display else 0)
PY
}
field_kb() { awk -v key="$1:" '$1 == key {print $2}' "/proc/$2/status"; }
stored_tray() { wine reg query "$REG_KEY" /v KelvaneTray 2>/dev/null | tr -d '\r' | awk '$1 == "KelvaneTray" {print $2, $3}'; }
# The tray icon of Wine's shell: an embedded window of Wine's explorer.
ICON_CLASS=explorer.exe

start_xvfb
start_openbox
start_trayer
owner=$(tray_owner)
[[ "$owner" != 0 ]] || fail "no program owns the tray selection: Wine would keep its icons to itself"
"$WINE_PREFIX_TOOL" start "$WINEPREFIX" || fail "no Wine prefix"

# --- /tray: an icon with the figures as its tool tip, no window ---
cd "$E2E_TMP"   # not the program's folder: the DLLs beside it must be enough
run_bg wine "$EXE" /tray </dev/null >>"$E2E_TMP/kelvane.log" 2>&1
pid=$LAST_PID
wait_tray_icon 60 "$ICON_CLASS" || fail "no icon in the tray: $(xwininfo -root -tree | grep -A6 panel)"
[[ "$(tray_owner)" == "$owner" ]] || fail "trayer no longer owns the tray selection"
none_shown || fail "'kelvane.exe /tray' showed a window"
# Wine's tool tip is a window of its explorer without a name: one that is not the icon and big
# enough for the two lines (caption, usage) stands next to the icon once the pointer rests on
# it; its text, read back through the tool-tip control, is the caption and the usage.
tip_window() {
    local id
    for id in $(xdotool search --onlyvisible --classname "$ICON_CLASS" 2>/dev/null); do
        [[ "$id" != "$TRAY_ICON_ID" ]] || continue
        xdotool getwindowgeometry "$id" | awk '/Geometry/ {split($2, s, "x"); exit !(s[1] >= 80 && s[2] >= 20)}' &&
            { echo "$id"; return 0; }
    done
    return 1
}
tip_window >/dev/null && fail "a tool tip stands before the pointer is on the icon"
xdotool mousemove $((TRAY_X - 3)) "$TRAY_Y" sleep 0.3 mousemove "$TRAY_X" "$TRAY_Y"
wait_until 10 tip_window || fail "no tool tip on the icon"
tip=$(timeout 20 wine "$TIP_TEXT" | tr -d '\r')
grep -Eqx '[0-9.,]+MB Kelvane v[0-9]+\.[0-9]+' <<<"$tip" && grep -Eqx 'Usage: [0-9]+([.,][0-9])?%' <<<"$tip" ||
    fail "the tool tip reads '$tip', not the caption and the usage"
screenshot windows_tray_tip.png

# --- a second start ends at once, quietly and successfully ---
started=$SECONDS
run_bg wine "$EXE" </dev/null >>"$E2E_TMP/second.log" 2>&1
wait_exit "$LAST_PID" 20 || fail "a second start is still running"
[[ "$EXIT_STATUS" == 0 ]] || fail "the second start ended with status $EXIT_STATUS"
none_shown || fail "the second start showed a window"
echo "second start ended after $((SECONDS - started)) s"

# --- left click: the window, and the icon goes ---
xdotool mousemove "$TRAY_X" "$TRAY_Y" click 1
win=$(wait_for_window 15 "$KELVANE_TITLE") || fail "a left click showed no window"
wait_until 10 tray_icon_absent "$ICON_CLASS" || fail "the icon stayed with the window shown"

# --- Free 50 MB: the slider to 50, the button; 100 MiB taken and given back ---
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key --window "$win" Home Prior Prior Prior Prior Prior
start_rss=$(field_kb VmRSS "$pid")
start_hwm=$(field_kb VmHWM "$pid")
xdotool mousemove --window "$win" 250 50 click 1
released() { local rss hwm; rss=$(field_kb VmRSS "$pid") hwm=$(field_kb VmHWM "$pid")
             ((hwm >= start_rss + 100 * 1024 && rss <= start_rss + 10240)); }
wait_until 60 released ||
    fail "no release of 100 MiB: VmRSS $(field_kb VmRSS "$pid") kB, peak $(field_kb VmHWM "$pid") kB, from $start_rss kB (peak $start_hwm)"
peak=$(( $(field_kb VmHWM "$pid") - start_rss ))
((peak < 120 * 1024)) || fail "the release took $((peak >> 10)) MiB, not 100"

# --- minimised it goes to the tray; the menu's first item is "Show Kelvane" ---
to_tray() {
    xdotool windowminimize "$win"
    wait_tray_icon 15 "$ICON_CLASS" || fail "no icon after minimising"
    wait_until 10 none_shown || fail "the minimised window is still shown"
}
to_tray
open_tray_menu || fail "a right click opened no menu"
screenshot windows_tray_menu.png
xdotool key Down Return
win=$(wait_for_window 15 "$KELVANE_TITLE") || fail "the menu's first item did not show the window"
wait_until 10 tray_icon_absent "$ICON_CLASS" || fail "the icon stayed after Show Kelvane"

# --- Exit from the menu ends the program, which stores the normal state ---
to_tray
open_tray_menu || fail "no menu the second time"
xdotool key Up Return
wait_exit "$pid" 20 || fail "Exit did not end the program"
[[ "$EXIT_STATUS" == 0 ]] || fail "the program ended with status $EXIT_STATUS"
[[ "$(stored_tray)" == "REG_SZ 0" ]] || fail "KelvaneTray is '$(stored_tray)', not REG_SZ 0"
echo "PASS: tray icon, tool tip, single instance, menu, window, release of $((peak >> 10)) MiB, KelvaneTray REG_SZ 0"
