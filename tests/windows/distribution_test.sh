#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows distribution under Wine, in a fresh prefix: the portable zip (the programs,
# stripped, with what they ship with; kelvane.exe starts in the tray), the console program
# kelvanec.exe (texts, exit statuses, a release, Ctrl-C, the login start), and the silent
# installer (default folder or /D=, /AUTOSTART, shortcut, "Apps & features" entry) with its
# uninstall, which takes all of it away but the settings.
source "$(dirname "$0")/wine_lib.sh"
ZIP=$(realpath "$1")
SETUP=$(realpath "$2")
VERSION=$3
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane'

unix_path() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }
# console ARGS...: runs kelvanec.exe with stdout and stderr in $out and $err, status in $status.
console() {
    status=0
    wine "$PORTABLE/kelvanec.exe" "$@" >"$E2E_TMP/out" 2>"$E2E_TMP/err" </dev/null || status=$?
    out=$(tr -d '\r' <"$E2E_TMP/out") err=$(tr -d '\r' <"$E2E_TMP/err")
}
# tray_run EXE: starts EXE in the tray, ends it from the menu with status 0.
tray_run() {
    start_in_tray "$1"
    local pid=$LAST_PID
    open_tray_menu || fail "no tray menu for $1"
    xdotool key Up Return
    wait_exit "$pid" 20 || fail "Exit did not end $1"
    [[ "$EXIT_STATUS" == 0 ]] || fail "$1 ended with status $EXIT_STATUS"
    wait_until 10 tray_icon_absent "$ICON_CLASS" || fail "the icon of $1 stayed after Exit"
}

wine_desktop

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

# --- the console program: texts, exit statuses, a release, Ctrl-C ---
console --version
[[ "$status" == 0 && "$out" == "kelvane $VERSION" ]] || fail "--version: status $status, '$out' '$err'"
console --free 0
[[ "$status" == 2 && -z "$out" && "$err" == *"from 1 to 32767, not '0'"* ]] || fail "--free 0: status $status, '$out' '$err'"
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
# Each step: the word after --autostart, what it reports, the Run value after it.
run_value="\"$(winepath -w "$PORTABLE/kelvane.exe" | tr -d '\r')\" /tray"
for step in "|off|" "on||$run_value" "|on|$run_value" "off||"; do
    IFS='|' read -r word report value <<<"$step"
    console --autostart ${word:+"$word"}
    [[ "$status" == 0 && "$out" == "$report" && "$(reg_value "$RUN_KEY" Kelvane)" == "$value" ]] ||
        fail "--autostart $word: status $status, '$out' '$err', the Run value '$(reg_value "$RUN_KEY" Kelvane)'"
done

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
echo "PASS: zip (programs, stripped, tray start), console (texts, statuses, --free, Ctrl-C, autostart), installer (silent, /D=, /AUTOSTART, shortcut, entry, tray start, uninstall, settings kept)"
