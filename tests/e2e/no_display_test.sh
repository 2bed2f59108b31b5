#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Without a display it can use, or without room to start, the program says so in one line
# and fails with status 1, instead of aborting (or hanging) inside the toolkit.
source "$(dirname "$0")/lib.sh"
KELVANE=$1
check() {
    local name=$1; shift
    local err rc=0
    err=$(env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY "$@" timeout -s KILL 20 "$KELVANE" 2>&1 >/dev/null) || rc=$?
    [[ $rc -eq 1 ]] || fail "$name: status $rc, said '$err'"
    [[ $(printf '%s\n' "$err" | wc -l) -eq 1 && "$err" == kelvane:* ]] || fail "$name: said '$err'"
    echo "ok $name: $err"
}
check "no display at all"
check "dead X display" DISPLAY=:987
check "dead forwarded X display" DISPLAY=localhost:57
check "dead Wayland display" WAYLAND_DISPLAY=kelvane-nowhere-0
check "X11 asked for, no display" QT_QPA_PLATFORM=xcb
check "Wayland asked for, no display" QT_QPA_PLATFORM=wayland

# A live X server that wants a cookie the client does not have. The display number is fixed
# before the server starts, since the cookie file names it.
for n in $(seq 150 199); do [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break; done
: >"$E2E_TMP/cookie"
xauth -q -f "$E2E_TMP/cookie" add ":$n" . "$(mcookie)"
: >"$E2E_TMP/no-cookie"
Xvfb ":$n" -auth "$E2E_TMP/cookie" -nolisten tcp -noreset 2>"$E2E_TMP/xvfb.log" &
E2E_PIDS+=($!)
wait_until 15 env DISPLAY=":$n" XAUTHORITY="$E2E_TMP/cookie" xdpyinfo || fail "Xvfb :$n did not start"
check "X server refusing the client" DISPLAY=":$n" XAUTHORITY="$E2E_TMP/no-cookie"
# Under an address-space limit too small for the toolkit's threads. A sanitizer's shadow
# memory alone needs more than any such limit: that build cannot start under one at all.
if [[ "${E2E_SANITIZED:-0}" == 1 ]]; then
    echo "skipped address space too small: the sanitizers' shadow memory does not fit such a limit"
else
    check "address space too small" DISPLAY=":$n" XAUTHORITY="$E2E_TMP/cookie" prlimit --as=100000000
fi
echo PASS
