#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The automatic release: with the stored peak below the memory usage of this machine, the
# program sitting in the tray shows its window, frees the stored amount, and goes back to
# the tray; it repeats while the usage stays above the peak, and "Exit" from the icon's menu
# still ends it cleanly between two releases.
source "$(dirname "$0")/lib.sh"
KELVANE=$1

in_tray() { none_shown && tray_icon_present kelvane; }
# A peak below the usage; the comparison itself is the unit tests' part.
peak=$(usage_peak)
printf '[Settings]\nAutoKelvanePeak=%s\nAutoKelvaneMB=256\n' "$peak" >"$INI"

start_xvfb
start_openbox
start_trayer
run_bg "$KELVANE" /tray
pid=$LAST_PID

# --- a release shows the window ---
wait_for_window 20 "$KELVANE_TITLE" >/dev/null || fail "no window shown for an automatic release (peak $peak %)"
screenshot autofree_release.png

# --- and goes back to the tray ---
# 256 MB take 512 MiB: about 2 s here, several times that in a sanitized build on a busy machine.
wait_until 30 in_tray || fail "after the release the window did not go back to the tray"
screenshot autofree_tray.png
# The release took the stored amount, not the default 10 MB.
mb=$(peak_rss_mb "$pid")
((mb >= 512)) || fail "the program held at most $mb MiB, less than the 512 MiB of the stored 256 MB"
# The usage stays above the peak: the next refresh, 3 s on, releases again.
wait_for_window 10 "$KELVANE_TITLE" >/dev/null || fail "no second automatic release (peak $peak %)"

# --- Exit from the menu between two releases ---
# The icon is in the panel only between releases; a release that starts meanwhile takes it
# away, and a click may go to a closing menu's grab: try again then.
exited=""
for attempt in 1 2 3 4 5; do
    wait_until 30 in_tray || fail "the window did not go back to the tray"
    wait_tray_icon 5 kelvane || continue
    open_tray_menu || continue
    xdotool key Up Return
    if wait_exit "$pid" 10; then exited=yes; break; fi
done
[[ -n "$exited" ]] || fail "Exit from the tray menu did not end kelvane"
[[ "$EXIT_STATUS" == 0 ]] || fail "Exit ended kelvane with status $EXIT_STATUS"
grep -qx 'KelvaneTray=0' "$INI" || fail "Copperline.ini after Exit: $(cat "$INI")"
echo "PASS: peak $peak %, releases of $mb MiB from the tray, Exit between releases (attempt $attempt)"
