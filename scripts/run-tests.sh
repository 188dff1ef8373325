#!/usr/bin/env bash
# Runs the whole suite under Wine: a virtual X display for the windows and
# message boxes, one persistent wineserver for the length of the run.
set -uo pipefail
build="$1"
. "$build/wine-env.sh"

if [ -z "${TW_UNDER_XVFB:-}" ]; then
  export TW_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

wineserver -k >/dev/null 2>&1 || true
# Scratch folders that an interrupted run left behind (links and over-long
# paths are removed from the Linux side).
rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/tw-test-* "$WINEPREFIX"/drive_c/users/*/Temp/tw-benchmark-*
rm -f "$WINEPREFIX/dosdevices/s:"   # the scratch drive of the deletion safety tests
# Nothing runs in a prefix through which a test could reach the host.
"$(dirname "$0")/prefix-check.sh" "$build/wine-env.sh" || exit 1
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine "$build/tests/wine_warmup.exe" </dev/null >/dev/null 2>&1

cd "$build"
# Now and then Wine fails to start a process at all (no output, no result),
# which says nothing about the program: scripts/wine-start.sh starts such a
# process again and writes it to this log. Any other failure fails the run
# at once: a case that fails only now and then is a fault to find.
export TW_START_FAILURE_LOG="$build/Testing/start-failures.log"
mkdir -p "$build/Testing"
: >"$TW_START_FAILURE_LOG"
ctest --output-on-failure --timeout 300 "${@:2}"
status=$?
restarted=$(wc -l <"$TW_START_FAILURE_LOG")
if [ "$restarted" -gt 0 ]; then
  echo "run-tests: Wine failed to start $restarted test process(es), each started again; see $TW_START_FAILURE_LOG"
else
  echo "run-tests: every test process started the first time"
fi
# Wine's menu builder exports a Start menu shortcut a package lays down to
# the Linux desktop; the environment turns it off, and this says when
# anything got past that.
exported=$(ls "${XDG_DATA_HOME:-$HOME/.local/share}"/applications/wine/Programs/*idewhistle* 2>/dev/null)
if [ -n "$exported" ]; then
  echo "run-tests: a test exported a menu entry to the host: $exported" >&2
  status=1
fi
exit $status
