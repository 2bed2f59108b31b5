#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One Kelvane at a time, whatever XDG_RUNTIME_DIR names: the user's own folder, one that is
# unusable (missing; another user's, as root), one that cannot be written, or nothing at all;
# another user's file in place of the lock in the temp folder keeps no one from starting. Of
# several started together (ten in the user's own folder) exactly one stays and the others
# end, successfully and without a window; a start while one runs ends at once, successfully,
# and the running one carries on. A program killed outright leaves no lock behind.
source "$(dirname "$0")/lib.sh"
KELVANE=$1

# running_count PID...: how many of them still run.
running_count() {
    local pid n=0
    for pid in "$@"; do running "$pid" && n=$((n + 1)); done
    echo "$n"
}
one_running() { [[ "$(running_count "$@")" == 1 ]]; }

start_xvfb
start_openbox

# As root the starts run as nobody, so that a folder of another owner is real.
user=$E2E_TMP/user
mkdir -m 0700 "$user" "$user/tmp" "$user/config"
as_user=()
if [[ $(id -u) == 0 ]]; then
    chmod 0711 "$E2E_TMP"
    chown -R nobody:nogroup "$user"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
mkdir -m 0500 "$user/read-only"
mkdir -m 0700 "$user/other-owner" "$user/runtime"
chown "$(stat -c %u:%g "$user")" "$user/read-only" "$user/runtime"
# start_as_user RUNTIME LOG: a start with XDG_RUNTIME_DIR=RUNTIME ("-" for none at all).
start_as_user() {
    local runtime=(XDG_RUNTIME_DIR="$1")
    [[ "$1" != - ]] || runtime=(-u XDG_RUNTIME_DIR)
    run_bg "${as_user[@]}" env "${runtime[@]}" HOME="$user" TMPDIR="$user/tmp" XDG_CONFIG_HOME="$user/config" \
        "$KELVANE" 2>>"$2"
}
# plant_lock: another user's lock file, held, where the user's own would be in the temp folder.
plant_lock() {
    local file=$user/tmp/kelvane.lock-$(stat -c %u "$user")
    install -m 0666 /dev/null "$file"
    /usr/bin/python3 -c 'import fcntl, sys, time
f = open(sys.argv[1], "r+")
fcntl.flock(f, fcntl.LOCK_EX)
print("held", flush=True)
time.sleep(600)' "$file" >"$E2E_TMP/planted" &
    planter=$!
    E2E_PIDS+=($planter)
    wait_until 5 grep -q held "$E2E_TMP/planted" || fail "the planted lock is not held"
}
# --- the lock goes with a killed program ---
start_as_user "$user/runtime" "$E2E_TMP/stderr-killed"
wait_for_window 20 "$KELVANE_TITLE" >/dev/null || fail "no window from the first start"
kill -KILL "$LAST_PID"
wait_exit "$LAST_PID" 5 || fail "kill -9 did not end kelvane"
wait_until 10 none_shown || fail "the killed kelvane's window stayed"
start_as_user "$user/runtime" "$E2E_TMP/stderr-killed"
pid=$LAST_PID
win=$(wait_for_window 20 "$KELVANE_TITLE") || fail "no window from the start after kill -9"
sleep 2
running "$pid" || fail "the start after kill -9 did not stay"
# Still answering: the window manager's close goes through its event loop to a clean end.
wmctrl -i -c "$win"
expect_exit "$pid" 10 "the window manager's close"

cases=("the user's own folder:$user/runtime" "missing folder:$user/missing" "read-only folder:$user/read-only"
    "another user's folder:$user/other-owner" "not set:-" "another user's lock file planted:$user/runtime")
for entry in "${cases[@]}"; do
    name=${entry%%:*} runtime=${entry#*:}
    if [[ "$name" == another* && ${#as_user[@]} == 0 ]]; then
        echo "skipped $name: only root can make a file or folder of another user"
        continue
    fi
    [[ "$name" != *planted ]] || plant_lock
    log=$E2E_TMP/stderr-${name// /-}
    pids=() n=3
    [[ "$name" != *own* ]] || n=10
    for ((i = 0; i < n; i++)); do start_as_user "$runtime" "$log"; pids+=("$LAST_PID"); done
    wait_until 20 one_running "${pids[@]}" || fail "$name: $(running_count "${pids[@]}") of $n kelvanes still run"
    wait_for_window 20 "$KELVANE_TITLE" >/dev/null || fail "$name: the kelvane left running showed no window"
    for pid in "${pids[@]}"; do
        running "$pid" && continue
        wait_exit "$pid" 1
        [[ "$EXIT_STATUS" == 0 ]] || fail "$name: a kelvane that lost the start ended with status $EXIT_STATUS"
    done
    # A later start, once the first may have made whatever folder it makes.
    start_as_user "$runtime" "$log"
    expect_exit "$LAST_PID" 5 "$name: a later start"
    one_running "${pids[@]}" || fail "$name: $(running_count "${pids[@]}") kelvanes run after a later start"
    [[ "$(shown_count)" == 1 ]] || fail "$name: $(shown_count) Kelvane windows on screen"
    ! grep -q 'XDG_RUNTIME_DIR not set' "$log" || fail "$name: the toolkit's notice came through: $(cat "$log")"
    for pid in "${pids[@]}"; do running "$pid" && kill "$pid"; done
    for pid in "${pids[@]}"; do wait_exit "$pid" 10 || fail "$name: kelvane did not end on SIGTERM"; done
    wait_until 10 none_shown || fail "$name: a window stayed"
    echo "ok $name: one instance"
done
echo "PASS: start after kill -9 runs and closes, one instance whatever XDG_RUNTIME_DIR names"
