#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One Kelvane at a time: of ten started together exactly one stays; a start while one runs
# ends at once, successfully and without a window, and the running one carries on; a
# program killed outright leaves no lock behind, so the next start runs and answers.
source "$(dirname "$0")/lib.sh"
KELVANE=$1

running() { kill -0 "$1" 2>/dev/null && [[ "$(ps -o stat= -p "$1")" != Z* ]]; }
# running_count PID...: how many of them still run.
running_count() {
    local pid n=0
    for pid in "$@"; do running "$pid" && n=$((n + 1)); done
    echo "$n"
}
one_running() { [[ "$(running_count "$@")" == 1 ]]; }

start_xvfb
start_openbox

# --- ten at once: one stays, the others end at once, successfully and without a window ---
pids=()
for i in 1 2 3 4 5 6 7 8 9 10; do
    run_bg "$KELVANE"
    pids+=("$LAST_PID")
done
wait_until 20 one_running "${pids[@]}" || fail "$(running_count "${pids[@]}") of ten kelvanes still run"
wait_for_window 20 "$KELVANE_TITLE" >/dev/null || fail "the kelvane left running showed no window"
sleep 2
one_running "${pids[@]}" || fail "$(running_count "${pids[@]}") of ten kelvanes run 2 s later"
[[ "$(shown_count)" == 1 ]] || fail "$(shown_count) Kelvane windows on screen after ten starts"
for pid in "${pids[@]}"; do
    if running "$pid"; then
        survivor=$pid
    else
        wait_exit "$pid" 1
        [[ "$EXIT_STATUS" == 0 ]] || fail "a kelvane that lost the start ended with status $EXIT_STATUS"
    fi
done

# --- a start while one runs ---
run_bg "$KELVANE"
wait_exit "$LAST_PID" 5 || fail "a later kelvane is still running 5 s after its start"
[[ "$EXIT_STATUS" == 0 ]] || fail "the later kelvane ended with status $EXIT_STATUS"
running "$survivor" || fail "the running kelvane ended when another started"

# --- the lock goes with a killed program ---
kill -KILL "$survivor"
wait_exit "$survivor" 5 || fail "kill -9 did not end kelvane"
wait_until 10 bash -c "! xdotool search --onlyvisible --name '$KELVANE_TITLE'" || fail "the killed kelvane's window stayed"
run_bg "$KELVANE"
pid=$LAST_PID
win=$(wait_for_window 20 "$KELVANE_TITLE") || fail "no window from the start after kill -9"
sleep 2
running "$pid" || fail "the start after kill -9 did not stay"
# Still answering: the window manager's close goes through its event loop to a clean end.
wmctrl -i -c "$win"
wait_exit "$pid" 10 || fail "kelvane did not answer the window manager's close"
[[ "$EXIT_STATUS" == 0 ]] || fail "kelvane ended with status $EXIT_STATUS on the window manager's close"
echo "PASS: one of ten stayed, a later start left, start after kill -9 runs and closes"
