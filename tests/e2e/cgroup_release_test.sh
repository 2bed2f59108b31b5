#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A release at the slider's maximum inside a 1 GiB memory cgroup stops short of its OOM killer; skipped (77) without one.
source "$(dirname "$0")/lib.sh"
KELVANE=$1
LIMIT=$((1 << 30))

skip() { echo "SKIP: $*"; exit 77; }
# Sanitized, the thousands of steps that find no room outlast the test.
[[ "${E2E_SANITIZED:-0}" != 1 ]] || skip "too slow under the sanitizers; the release build runs it"

# mount_of TYPE OPTION: "root mount-point" of the first mount of TYPE with OPTION ("" for any).
mount_of() {
    awk -v type="$1" -v opt="$2" '{
        for (i = 7; i <= NF && $i != "-"; i++) ;
        if ($(i + 1) != type) next
        if (opt != "" && index("," $(i + 3) ",", "," opt ",") == 0) next
        print $4, $5; exit }' /proc/self/mountinfo
}

# A child of this shell's memory cgroup limited to LIMIT: sets PARENT_CG, CG, CG_VERSION, or skips.
make_limited_cgroup() {
    local path root point
    path=$(awk -F: '$2 ~ /(^|,)memory(,|$)/ {print $3; exit}' /proc/self/cgroup)
    if [[ -n "$path" ]] && read -r root point < <(mount_of cgroup memory) && [[ -n "$point" ]]; then
        CG_VERSION=1
    else
        path=$(awk -F: '$1 == "0" && $2 == "" {print $3; exit}' /proc/self/cgroup)
        read -r root point < <(mount_of cgroup2 "") || true
        [[ -n "$path" && -n "$point" ]] || skip "no memory cgroup hierarchy is mounted"
        CG_VERSION=2
    fi
    # The mount may show a subtree only (a container): its root is cut off the path.
    [[ "$root" == / ]] && root=""
    [[ "$path" == "$root" || "$path" == "$root"/* ]] || skip "cgroup $path lies outside the mount of $root"
    PARENT_CG="$point${path#"$root"}"
    PARENT_CG=${PARENT_CG%/}
    if ((CG_VERSION == 2)); then
        grep -qw memory "$PARENT_CG/cgroup.controllers" 2>/dev/null \
            || skip "the memory controller is not available in $PARENT_CG"
        # A group with processes of its own cannot hand controllers to its children.
        grep -qw memory "$PARENT_CG/cgroup.subtree_control" \
            || echo +memory 2>/dev/null >"$PARENT_CG/cgroup.subtree_control" \
            || skip "cannot enable the memory controller below $PARENT_CG"
    fi
    CG="$PARENT_CG/kelvane-e2e.$$"
    mkdir "$CG" 2>/dev/null || skip "cannot make a memory cgroup under $PARENT_CG (not root or not delegated)"
    if ((CG_VERSION == 1)); then
        echo "$LIMIT" >"$CG/memory.limit_in_bytes" || fail "cannot limit $CG"
        # With swap the group would page out rather than meet its limit.
        if [[ -e "$CG/memory.memsw.limit_in_bytes" ]]; then
            echo "$LIMIT" >"$CG/memory.memsw.limit_in_bytes" || fail "cannot limit memory + swap of $CG"
        fi
    else
        echo "$LIMIT" >"$CG/memory.max" || fail "cannot limit $CG"
        [[ ! -e "$CG/memory.swap.max" ]] || echo 0 >"$CG/memory.swap.max" || fail "cannot limit swap of $CG"
    fi
}

# Kills what is left in the group (a failed run must not hold memory) and removes it.
remove_cgroup() {
    [[ -n "${CG:-}" && -d "$CG" ]] || return 0
    local pid deadline=$((SECONDS + 5))
    while read -r pid; do kill -KILL "$pid" 2>/dev/null || true; done <"$CG/cgroup.procs"
    until rmdir "$CG" 2>/dev/null; do
        ((SECONDS < deadline)) || { echo "warning: could not remove $CG" >&2; return 0; }
        while read -r pid; do echo "$pid" >"$PARENT_CG/cgroup.procs" 2>/dev/null || true; done <"$CG/cgroup.procs"
        sleep 0.1
    done
}
trap 'remove_cgroup; e2e_cleanup' EXIT

# The run is over: the peak rose by 64 MiB or more and the resident size is back within 5 MiB, or the program is gone.
run_over() {
    running "$pid" || return 0
    local rss hwm
    rss=$(field_kb VmRSS "$pid") hwm=$(field_kb VmHWM "$pid")
    ((hwm >= start_rss + 65536 && rss <= start_rss + 5120 && rss >= start_rss - 5120))
}

total_kb=$(awk '/^MemTotal:/ {print $2}' /proc/meminfo)
avail_kb=$(awk '/^MemAvailable:/ {print $2}' /proc/meminfo)
slider_mb=$(((total_kb - avail_kb / 2) / 1024))
((slider_mb >= 2 * (LIMIT >> 20))) || skip "the slider's maximum ($slider_mb MB) is not far enough above the 1 GiB limit"

make_limited_cgroup
start_xvfb
run_bg "$KELVANE"
pid=$LAST_PID
win=$(wait_for_window 40 "$KELVANE_TITLE") || fail "no Kelvane window"
echo "$pid" >"$CG/cgroup.procs" || fail "cannot move kelvane into $CG"
grep -qx "$pid" "$CG/cgroup.procs" || fail "kelvane is not in $CG"

start_rss=$(field_kb VmRSS "$pid")
xdotool mousemove --window "$win" 250 50 click 1
wait_until 60 run_over || fail "the release did not end in 60 s (VmRSS $(field_kb VmRSS "$pid") kB from $start_rss kB)"
if ! running "$pid"; then
    wait_exit "$pid" 5 || true
    fail "kelvane ended during the release with status ${EXIT_STATUS:-?} (137: killed by the group's OOM killer)"
fi
peak_kb=$(field_kb VmHWM "$pid")
end_rss=$(field_kb VmRSS "$pid")
screenshot cgroup_release.png "$win"
((peak_kb * 1024 < LIMIT)) || fail "peak resident size $peak_kb kB is not below the $((LIMIT >> 20)) MiB limit"
# Blocks up to the limit less the reserve: a check refusing every block would pass the rest.
((peak_kb - start_rss >= 512 * 1024)) || fail "the release took only $(((peak_kb - start_rss) >> 10)) MiB"
((end_rss >= start_rss - 5120 && end_rss <= start_rss + 5120)) || fail "VmRSS $end_rss kB, not back to $start_rss kB"

kill -TERM "$pid"
expect_exit "$pid" 15 SIGTERM
echo "PASS: cgroup v$CG_VERSION limited to $((LIMIT >> 20)) MiB, slider $slider_mb MB: peak $((peak_kb >> 10)) MiB" \
    "(from $((start_rss >> 10)) MiB), back to $((end_rss >> 10)) MiB, alive, exit 0 on SIGTERM"
