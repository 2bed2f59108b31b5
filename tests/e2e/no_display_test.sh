#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# No usable display (or no room to start): one line and status 1, never an abort or a hang.
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
check "dead X display" DISPLAY=:987
check "dead Wayland display" WAYLAND_DISPLAY=kelvane-nowhere-0
check "X11 asked for, no display" QT_QPA_PLATFORM=xcb
check "Wayland asked for, no display" QT_QPA_PLATFORM=wayland
# With no runtime folder at all (root on a console), only the program's own line.
check "no runtime folder, no display" -i PATH="$PATH"
check "no runtime folder, Wayland display" -i PATH="$PATH" WAYLAND_DISPLAY=wayland-0

# Servers that accept and never answer (a stuck forwarding, a frozen server); the X one where
# DISPLAY=:N leads first, in the abstract namespace.
silent_listener() {
    /usr/bin/python3 -c 'import socket, sys
s = socket.socket(socket.AF_UNIX)
s.bind(sys.argv[1].replace("@", "\0", 1))
s.listen(64)
print("ready", flush=True)
held = []
while True:
    held.append(s.accept()[0])' "$1" >"$E2E_TMP/listener-$2" &
    E2E_PIDS+=($!)
    wait_until 5 grep -q ready "$E2E_TMP/listener-$2" || fail "the silent listener at $1 did not start"
}
for x in $(seq 300 399); do
    [[ -e /tmp/.X11-unix/X$x ]] || grep -q "@/tmp/.X11-unix/X$x\$" /proc/net/unix || break
done
silent_listener "@/tmp/.X11-unix/X$x" x
silent_listener "$XDG_RUNTIME_DIR/silent-0" wayland
# check_silent NAME ASSIGNMENTS...: one line and status 1, within the check's few seconds.
check_silent() {
    local start=$SECONDS
    check "$@"
    ((SECONDS - start <= 6)) || fail "$1: took $((SECONDS - start)) s"
}
check_silent "X display that never answers" DISPLAY=":$x"
check_silent "Wayland display that never answers" WAYLAND_DISPLAY=silent-0

# A live X server that wants a cookie the client lacks; the cookie file names its display.
for n in $(seq 150 199); do [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break; done
: >"$E2E_TMP/cookie"
xauth -q -f "$E2E_TMP/cookie" add ":$n" . "$(mcookie)"
: >"$E2E_TMP/no-cookie"
Xvfb ":$n" -auth "$E2E_TMP/cookie" -nolisten tcp -noreset 2>"$E2E_TMP/xvfb.log" &
E2E_PIDS+=($!)
wait_until 15 env DISPLAY=":$n" XAUTHORITY="$E2E_TMP/cookie" xdpyinfo || fail "Xvfb :$n did not start"
check "X server refusing the client" DISPLAY=":$n" XAUTHORITY="$E2E_TMP/no-cookie"
# Under an address-space limit too small for the toolkit's threads (sanitized: too small for
# the shadow memory).
if [[ "${E2E_SANITIZED:-0}" == 1 ]]; then
    echo "skipped address space too small: the sanitizers' shadow memory does not fit such a limit"
else
    check "address space too small" DISPLAY=":$n" XAUTHORITY="$E2E_TMP/cookie" prlimit --as=100000000
fi
echo PASS
