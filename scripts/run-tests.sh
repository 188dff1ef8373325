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
# A case that fails is run once more before it counts as failed: under Wine a
# process now and then fails to start at all (no output, no result), which
# says nothing about the program. A real fault fails both times; CTest's log
# still shows the first failure.
ctest --output-on-failure --timeout 300 --repeat until-pass:2 "${@:2}"
status=$?
# Wine's menu builder exports a Start menu shortcut a package lays down to
# the Linux desktop; the environment turns it off, and this says when
# anything got past that.
exported=$(ls "${XDG_DATA_HOME:-$HOME/.local/share}"/applications/wine/Programs/*idewhistle* 2>/dev/null)
if [ -n "$exported" ]; then
  echo "run-tests: a test exported a menu entry to the host: $exported" >&2
  status=1
fi
exit $status
