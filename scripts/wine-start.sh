#!/usr/bin/env bash
# Starts a Windows program under Wine, in the prefix the caller's environment
# names, and passes on its output and exit status.
#
# Now and then Wine fails to start a process at all: its loader ends at once
# and the program never ran, so it printed nothing. Such a start, and only
# such a start, is made again (twice at the most) and written to the log
# that TW_START_FAILURE_LOG names, which the test run counts at its end. A
# program that ran (it printed anything on its standard output, as every
# test program does first) and failed is never started again.
set -u
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

child=
# A test run's time-out ends this script: the program ends with it, and what
# it printed is passed on.
trap '[ -n "$child" ] && kill -TERM "$child" 2>/dev/null; cat "$out"; cat "$err" >&2; exit 143' TERM INT

for attempt in 1 2 3; do
  : >"$out"
  : >"$err"
  wine "$@" >"$out" 2>"$err" </dev/null &
  child=$!
  wait "$child"
  status=$?
  child=
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ "$attempt" -eq 3 ]; then
    break
  fi
  if [ -n "${TW_START_FAILURE_LOG:-}" ]; then
    printf '%s (exit %d): %s\n' "$*" "$status" "$(head -c 300 "$err" | tr '\n' ' ')" >>"$TW_START_FAILURE_LOG"
  fi
done
cat "$out"
cat "$err" >&2
exit "$status"
