#!/usr/bin/env bash
# The main job: runs the default cleanup task through the program itself,
# in the laid-out program folder build/dist, under Wine, and prints that
# run's session records as the console shows them (time, item, status).
set -uo pipefail
build="$1"
. "$build/wine-env.sh"

# Nothing runs in a prefix through which a test could reach the host.
"$(dirname "$0")/prefix-check.sh" "$build/wine-env.sh" || exit 1
# The prefix knows the build folder only as drive T:, so the program is run
# by its absolute path from inside that folder.
dist="$(cd "$build/dist" && pwd)"
build="$(cd "$build" && pwd)"
cd "$dist"
tool="$dist/tw_dev_tool.exe"
cp "$build/tests/tw_dev_tool.exe" "$tool"
cleanup() {
  rm -f "$tool"
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

wineserver -p
wine "$build/tests/wine_warmup.exe" </dev/null >/dev/null 2>&1

# A catalogue newer than the task brings items the task has not seen.
if [ ! -f "$dist/default.tsk" ] || [ "$dist/task_inventory.ini" -nt "$dist/default.tsk" ]; then
  echo "Creating the default task (every catalogue item enabled, example.com kept): $dist/default.tsk"
  wine "$tool" make-default-task example.com >/dev/null || exit 1
fi

echo "Filling browser profiles in the prefix's user folders:"
wine "$tool" fill-browser-profiles </dev/null || exit 1
echo "What they hold before the run:"
wine "$tool" show-browser-profiles

echo "Previewing: Tidewhistle.exe /preview default   (in $dist)"
wine "$dist/Tidewhistle.exe" /preview default </dev/null
echo "Preview exit status: $?"
echo
echo "Session records of the preview ($dist/default.preview_log):"
wine "$tool" print-preview default | tee "$build/preview-records.txt"
echo "Preview report: $dist/default.preview.txt ($(($(wc -l < "$dist/default.preview.txt") - 2)) entries)"
echo
echo "Running: Tidewhistle.exe default   (in $dist)"
wine "$dist/Tidewhistle.exe" default </dev/null
echo
echo "Session records of that run ($dist/default.log_file):"
wine "$tool" print-session default | tee "$build/run-records.txt"
echo
echo "Totals, preview then run:"
grep -ao "Preview totals: [^|]*" "$build/preview-records.txt"
grep -ao "Run totals: [^|]*" "$build/run-records.txt"
echo
echo "What the browser profiles hold after the run (example.com kept in cookies and local storage, bookmarks kept):"
wine "$tool" show-browser-profiles
