#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows distribution under Wine, in a fresh prefix, always run from another folder than
# the program's (the working folder would hide a missing DLL):
# - the portable zip holds the programs, stripped, with exactly what they ship with; unpacked
#   anywhere, kelvane.exe starts in the tray and its menu's Exit ends it;
# - kelvanec.exe, the console program, answers the command options with the texts and exit
#   statuses of Linux, frees memory with its progress, stops at Ctrl-C, and writes, reports
#   and removes the login start (the windowed kelvane.exe with /tray);
# - the installer, silent, puts the program in the user's program folder, with the Start-menu
#   shortcut and the "Apps & features" entry, and with /AUTOSTART the login start; /D= puts it
#   elsewhere; the installed program starts in the tray; the silent uninstall takes all of it
#   away, the login start included, and leaves the settings.
source "$(dirname "$0")/../e2e/lib.sh"
ZIP=$(realpath "$1")
SETUP=$(realpath "$2")
VERSION=$3
WINE_PREFIX_TOOL=$(realpath "$(dirname "$0")/../../packaging/windows/wine-prefix")
export WINEPREFIX="$E2E_TMP/wineprefix" WINEDEBUG=-all XDG_DATA_HOME="$E2E_TMP/data"
# No menu entries of Wine's for the shortcuts the installer makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap '"$WINE_PREFIX_TOOL" stop "$WINEPREFIX"; e2e_cleanup' EXIT
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane'
SETTINGS_KEY='HKCU\Software\VB and VBA Program Settings\Copperline\Settings'

# reg_value KEY NAME: the text of a string value, empty when there is none.
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
unix_path() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }
# console ARGS...: runs kelvanec.exe with stdout and stderr in $out and $err, status in $status.
console() {
    status=0
    wine "$PORTABLE/kelvanec.exe" "$@" >"$E2E_TMP/out" 2>"$E2E_TMP/err" </dev/null || status=$?
    out=$(tr -d '\r' <"$E2E_TMP/out") err=$(tr -d '\r' <"$E2E_TMP/err")
}
# tray_run EXE: starts EXE /tray, waits for its icon, ends it from the menu with status 0.
tray_run() {
    run_bg wine "$1" /tray </dev/null >>"$E2E_TMP/kelvane.log" 2>&1
    local pid=$LAST_PID
    wait_tray_icon 60 explorer.exe || fail "$1 /tray put no icon in the tray: $(tail -3 "$E2E_TMP/kelvane.log")"
    none_shown || fail "$1 /tray showed a window"
    open_tray_menu || fail "no tray menu for $1"
    xdotool key Up Return
    wait_exit "$pid" 20 || fail "Exit did not end $1"
    [[ "$EXIT_STATUS" == 0 ]] || fail "$1 ended with status $EXIT_STATUS"
    wait_until 10 tray_icon_absent explorer.exe || fail "the icon of $1 stayed after Exit"
}

start_xvfb
start_trayer
"$WINE_PREFIX_TOOL" start "$WINEPREFIX" || fail "no Wine prefix"
mkdir -p "$E2E_TMP/elsewhere"
cd "$E2E_TMP/elsewhere"

# --- the portable zip ---
mkdir "$E2E_TMP/unpacked"
unzip -q "$ZIP" -d "$E2E_TMP/unpacked"
PORTABLE=$E2E_TMP/unpacked/kelvane-$VERSION-windows-x64
(cd "$PORTABLE" && find . -type f | sort) >"$E2E_TMP/files"
for file in kelvane.exe kelvanec.exe README.md LICENSE.txt platforms/qwindows.dll; do
    grep -qx "./$file" "$E2E_TMP/files" || fail "the zip lacks $file: $(tr '\n' ' ' <"$E2E_TMP/files")"
done
! grep -Ei 'test|offscreen' "$E2E_TMP/files" || fail "the zip holds what only the tests use"
while read -r binary; do
    [[ "$(x86_64-w64-mingw32-nm "$PORTABLE/$binary" 2>&1)" == *"no symbols" ]] || fail "$binary is not stripped"
done < <(grep -E '\.(exe|dll)$' "$E2E_TMP/files")
subsystem() { x86_64-w64-mingw32-objdump -p "$PORTABLE/$1" | awk '$1 == "Subsystem" {print $3, $4}'; }
[[ "$(subsystem kelvane.exe)" == "(Windows GUI)" ]] || fail "kelvane.exe is no windowed program: $(subsystem kelvane.exe)"
[[ "$(subsystem kelvanec.exe)" == "(Windows CUI)" ]] || fail "kelvanec.exe is no console program: $(subsystem kelvanec.exe)"
# The version resource and the icon group with its sizes, from 16 up to 256 (0 in an icon's byte).
resources=$(x86_64-w64-mingw32-windres -J coff -O rc -i "$PORTABLE/kelvane.exe" 2>&1)
grep -q "VALUE \"ProductVersion\", \"$VERSION\"" <<<"$resources" &&
    grep -q "FILEVERSION ${VERSION//./, }, 0" <<<"$resources" || fail "no version $VERSION in kelvane.exe's resources"
grep -q '"\\020\\020\\000\\000", 1, 32,' <<<"$resources" && grep -q '"\\000\\000\\000\\000", 1, 32,' <<<"$resources" ||
    fail "kelvane.exe's icon lacks 16 or 256 px: $(grep -A12 RT_GROUP_ICON <<<"$resources")"
echo "sizes: $(du -b "$ZIP" | cut -f1) bytes zipped, kelvane.exe $(du -b "$PORTABLE/kelvane.exe" | cut -f1), kelvanec.exe $(du -b "$PORTABLE/kelvanec.exe" | cut -f1)"

# --- the console program: texts, exit statuses, a release, Ctrl-C ---
console --version
[[ "$status" == 0 && "$out" == "kelvane $VERSION" ]] || fail "--version: status $status, '$out' '$err'"
console --help
[[ "$status" == 0 && "$(head -n1 <<<"$out")" == "Usage: kelvane [--tray | /tray]" ]] || fail "--help: status $status, '$out'"
console --free 0
[[ "$status" == 2 && -z "$out" && "$err" == *"from 1 to 32767, not '0'"* ]] || fail "--free 0: status $status, '$out' '$err'"
console --status --json
[[ "$status" == 0 ]] && python3 -c 'import json, sys; o = json.loads(sys.argv[1]); assert 0 < o["availPhys"] <= o["totalPhys"]' "$out" ||
    fail "--status --json: status $status, '$out' '$err'"
console --free 20
[[ "$status" == 0 && "$out" == *$'\n100% 20/20 MB  Free: '* && "$out" == *"Done: took 40 MiB, all given back"* ]] ||
    fail "--free 20: status $status, '$out' '$err'"
run_bg wine "$PORTABLE/kelvanec.exe" --free 2000 >"$E2E_TMP/free.out" 2>&1 </dev/null
wait_until 30 grep -q '^ *[1-9][0-9]*% ' "$E2E_TMP/free.out" || fail "no progress from --free 2000: $(cat "$E2E_TMP/free.out")"
kill -INT "$LAST_PID"
wait_exit "$LAST_PID" 20 || fail "Ctrl-C did not end --free 2000"
[[ "$EXIT_STATUS" == 0 ]] && grep -q '^Stopped at step [0-9]* of 2000: took [0-9]* MiB, all given back' "$E2E_TMP/free.out" ||
    fail "Ctrl-C: status $EXIT_STATUS, $(tail -3 "$E2E_TMP/free.out")"

# --- the windowed program from the zip, in the tray ---
tray_run "$PORTABLE/kelvane.exe"

# --- the login start, from the console program: the windowed program with /tray ---
console --autostart
[[ "$status" == 0 && "$out" == off ]] || fail "--autostart on a fresh prefix: '$out' '$err'"
console --autostart on
expected="\"$(winepath -w "$PORTABLE/kelvane.exe" | tr -d '\r')\" /tray"
[[ "$status" == 0 && "$(reg_value "$RUN_KEY" Kelvane)" == "$expected" ]] ||
    fail "--autostart on: status $status, the Run value '$(reg_value "$RUN_KEY" Kelvane)', not '$expected'"
console --autostart
[[ "$out" == on ]] || fail "--autostart after on: '$out'"
console --autostart off
[[ "$status" == 0 && -z "$(reg_value "$RUN_KEY" Kelvane)" ]] || fail "--autostart off left '$(reg_value "$RUN_KEY" Kelvane)'"

# --- the installer: silent, into the user's program folder, without the login start ---
programs=$(unix_path "$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')")/Programs/Kelvane
shortcut=$(unix_path "$(wine cmd /c echo %APPDATA% | tr -d '\r')")/Microsoft/Windows/Start\ Menu/Programs/Kelvane.lnk
timeout 120 wine "$SETUP" /S </dev/null >/dev/null 2>&1 || fail "the silent install failed"
[[ -f "$programs/kelvane.exe" && -f "$programs/platforms/qwindows.dll" && -f "$programs/uninstall.exe" ]] ||
    fail "nothing installed in $programs"
[[ -f "$shortcut" ]] || fail "no Start-menu shortcut"
[[ "$(reg_value "$UNINSTALL_KEY" UninstallString)" == "\"$(winepath -w "$programs" | tr -d '\r')\\uninstall.exe\"" ]] ||
    fail "the uninstall entry reads '$(reg_value "$UNINSTALL_KEY" UninstallString)'"
[[ -z "$(reg_value "$RUN_KEY" Kelvane)" ]] || fail "a login start without /AUTOSTART"
# uninstall FOLDER: the silent uninstall, which goes on in a copy of itself and takes the
# folder away last.
uninstall() {
    timeout 60 wine "$1/uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the silent uninstall failed"
    wait_until 60 test ! -e "$1" || fail "the uninstall left $(find "$1" | head -5 | tr '\n' ' ')"
}
uninstall "$programs"

# --- the installer with /AUTOSTART elsewhere: the installed program starts in the tray ---
# /D= takes the rest of the command line as it stands, unquoted: Wine would quote one word
# with a blank in it, so the folder goes in two.
timeout 120 wine "$SETUP" /S /AUTOSTART '/D=C:\Kelvane' Test </dev/null >/dev/null 2>&1 || fail "the install to C:\\Kelvane Test failed"
installed=$(unix_path 'C:\Kelvane Test')
[[ "$(reg_value "$RUN_KEY" Kelvane)" == '"C:\Kelvane Test\kelvane.exe" /tray' ]] ||
    fail "the login start reads '$(reg_value "$RUN_KEY" Kelvane)'"
tray_run "$installed/kelvane.exe"
[[ "$(reg_value "$SETTINGS_KEY" KelvaneTray)" == 0 ]] || fail "the installed program stored no settings"
uninstall "$installed"
[[ ! -e "$shortcut" ]] || fail "the uninstall left the shortcut"
[[ -z "$(reg_value "$RUN_KEY" Kelvane)" ]] || fail "the uninstall left the login start"
wine reg query "$UNINSTALL_KEY" >/dev/null 2>&1 && fail "the uninstall left its entry"
[[ "$(reg_value "$SETTINGS_KEY" KelvaneTray)" == 0 ]] || fail "the uninstall took the settings away"
echo "PASS: zip (programs, stripped, no test files, tray start), console (texts, statuses, --free, Ctrl-C, autostart), installer (silent, /D=, /AUTOSTART, shortcut, entry, tray start, uninstall)"
