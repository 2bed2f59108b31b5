# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the Windows end-to-end tests: the end-to-end helpers and a fresh Wine prefix of
# the test's own, whose shell docks the program's tray icons in trayer.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
WINE_PREFIX_TOOL=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../../packaging/windows/wine-prefix")
# No menu entries of Wine's for the shortcuts an installer makes.
export WINEPREFIX="$E2E_TMP/wineprefix" WINEDEBUG=-all XDG_DATA_HOME="$E2E_TMP/data"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap '"$WINE_PREFIX_TOOL" stop "$WINEPREFIX"; e2e_cleanup' EXIT
# The tray icon of Wine's shell: an embedded window of Wine's explorer.
ICON_CLASS=explorer.exe
SETTINGS_KEY='HKCU\Software\VB and VBA Program Settings\Copperline\Settings'

# reg_value KEY NAME: the text of a string value, empty when there is none.
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }

# wine_desktop [WINDOW_MANAGER_START]: an X server, the window manager if one is named,
# trayer, the prefix; the working folder is never the program's, which would hide a missing DLL.
wine_desktop() {
    start_xvfb
    "${@:-true}"
    start_trayer
    "$WINE_PREFIX_TOOL" start "$WINEPREFIX" || fail "no Wine prefix"
    cd "$E2E_TMP"
}

# start_in_tray EXE: starts EXE /tray and waits for its icon, with no window shown; the
# program's pid is in LAST_PID.
start_in_tray() {
    run_bg wine "$1" /tray </dev/null >>"$E2E_TMP/kelvane.log" 2>&1
    wait_tray_icon 60 "$ICON_CLASS" || fail "$1 /tray put no icon in the tray: $(tail -3 "$E2E_TMP/kelvane.log")"
    none_shown || fail "$1 /tray showed a window"
}
