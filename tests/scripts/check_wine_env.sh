#!/usr/bin/env bash
# wine_env_stop and the prefix locks of scripts/lib/wine-env.sh, without
# Wine: a wineserver that fails, an Xvfb that has died already, prefixes
# whose paths hold a space, the Xvfb it starts, a failing set-up step, a
# second command on a prefix in use.
#   check_wine_env.sh SOURCE_DIR
set -euo pipefail
src=$1
# Two stand-ins for Xvfb servers, started before the trap (a child killed
# before it has become sleep would run the trap itself).
sleep 300 & dead=$!
sleep 300 & live=$!
tmp=$(mktemp -d "${TMPDIR:-/tmp}/wine env.XXXXXX")
trap 'kill "$live" 2>/dev/null || true; rm -rf "$tmp"' EXIT
status=0
fail() { echo "FAILED: $*"; status=1; }

# shellcheck source=../../scripts/lib/wine-env.sh
. "$src/scripts/lib/wine-env.sh"
printf '#!/bin/sh\necho "$WINEPREFIX|$*" >> "%s/calls"\nexit 1\n' "$tmp" > "$tmp/wineserver"
chmod +x "$tmp/wineserver"
WINESERVER="$tmp/wineserver"

# Stopping: every prefix gets its -k, whatever failed before; both Xvfb
# servers are waited for, the dead one too; the caller's set -e stays happy.
kill "$dead"; wait "$dead" 2>/dev/null || true
# A shell of its own: set -e is not in force in a condition of this one.
bash -c 'set -euo pipefail
    . "$1/scripts/lib/wine-env.sh"
    WINESERVER=$2 _wine_env_xvfb_pids=("$3" "$4") _wine_env_prefixes=("$5" "$6")
    wine_env_stop
    echo stopped' _ "$src" "$WINESERVER" "$dead" "$live" "$tmp/my prefix" "$tmp/other prefix" \
    > "$tmp/stop.out" 2>&1 || true
grep -qx stopped "$tmp/stop.out" || { fail "wine_env_stop did not get to its end:"; cat "$tmp/stop.out"; }
for p in "$tmp/my prefix" "$tmp/other prefix"; do
    grep -qxF "$p|-k" "$tmp/calls" || fail "no wineserver -k for '$p' (calls: $(tr '\n' ' ' < "$tmp/calls"))"
done
if kill -0 "$live" 2>/dev/null; then fail "the live Xvfb stand-in still runs"; fi

# A real Xvfb as wine_env_start starts it is the process wine_env_stop ends.
alive() { [ -e "/proc/$1" ] && ! grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat" 2>/dev/null; }
if _wine_env_start_xvfb; then
    # _wine_env_display: set by _wine_env_start_xvfb, in the sourced file.
    # shellcheck disable=SC2154
    xpid=$(tr -dc 0-9 < "/tmp/.X${_wine_env_display#:}-lock")
    alive "$xpid" || fail "no Xvfb runs on $_wine_env_display"
    wine_env_stop
    if alive "$xpid"; then
        fail "the Xvfb on $_wine_env_display (pid $xpid) still runs after wine_env_stop"
        kill "$xpid"
    fi
else
    fail "_wine_env_start_xvfb failed"
fi

# A failing set-up step says which step failed, with its output.
_wine_env_log="$tmp/step.log"
if _wine_env_step "making the test prefix" sh -c 'echo "wine: could not load kernel32"; exit 3' 2> "$tmp/step.err"; then
    fail "a failing step passed"
fi
grep -qF "error: making the test prefix failed (exit code 3); its output:" "$tmp/step.err" \
    && grep -qF "wine: could not load kernel32" "$tmp/step.err" \
    || { fail "the failing step was not reported with its output:"; cat "$tmp/step.err"; }

# Locks: a second command on a prefix in use is refused, naming the first;
# one started by the holder (SETUP_WINE_ENV_HELD) uses it.
prefix="$tmp/my prefix"
_wine_env_command="first-command"
_wine_env_lock "$prefix" || fail "the first lock was not taken"
out=$(bash -c '. "$1/scripts/lib/wine-env.sh"; _wine_env_command=second; _wine_env_lock "$2"' _ "$src" "$prefix" 2>&1) \
    && fail "a second command took the lock"
case "$out" in *"is in use by another command: first-command (pid $$)"*) ;;
    *) fail "the refusal does not name the holder: $out" ;; esac
reuse=$(SETUP_WINE_ENV_HELD="/x"$'\n'"$prefix" bash -c \
    '. "$1/scripts/lib/wine-env.sh"; _wine_env_lock "$2" && echo "$_wine_env_reuse"' _ "$src" "$prefix" 2>&1) || true
[ "$reuse" = yes ] || fail "a command started by the holder did not use the held prefix: $reuse"
wine_env_stop
out=$(bash -c '. "$1/scripts/lib/wine-env.sh"; _wine_env_lock "$2" && echo taken' _ "$src" "$prefix" 2>&1) || true
[ "$out" = taken ] || fail "the lock was not let go at the end: $out"

[ $status -eq 0 ] && echo "wine_env_stop and the prefix locks behave"
exit $status
