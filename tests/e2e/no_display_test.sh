#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Without a reachable display the program says so in one line and fails, instead of
# aborting inside the toolkit.
set -uo pipefail
KELVANE=$1
check() {
    local name=$1; shift
    local err rc
    err=$(env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY "$@" "$KELVANE" 2>&1 >/dev/null)
    rc=$?
    [[ $rc -ne 0 && $rc -lt 128 ]] || { echo "FAIL $name: status $rc"; exit 1; }
    [[ $(printf '%s\n' "$err" | wc -l) -eq 1 && "$err" == kelvane:* ]] || { echo "FAIL $name: said '$err'"; exit 1; }
    echo "ok $name: $err"
}
check "no display at all"
check "dead X display" DISPLAY=:987
check "dead Wayland display" WAYLAND_DISPLAY=kelvane-nowhere-0
echo PASS
