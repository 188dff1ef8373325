#!/usr/bin/env bash
# Runs the benchmarks under Wine in the build's prefix, with one warm
# wineserver: file deletion (the temporary-folder job against a plain loop
# and rd /s /q), the URL cache walk, the cookies dialog with thousands of
# names, the console's scale, the site data clean of a thousand sites and
# the community rules catalogue of 4,000 entries.
set -uo pipefail
# The cookies dialog benchmark shows windows: run under a virtual display.
if [ -z "${DISPLAY:-}" ] && [ -z "${TW_UNDER_XVFB:-}" ]; then
  export TW_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
build="$1"
. "$build/wine-env.sh"
# Nothing runs in a prefix through which a test could reach the host.
"$(dirname "$0")/prefix-check.sh" "$build/wine-env.sh" || exit 1
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine "$build/tests/wine_warmup.exe" </dev/null >/dev/null 2>&1
# The build folder is drive T: of the prefix.
wine "$build/tests/delete_benchmark.exe" 'T:\dist'
echo
wine "$build/tests/urlcache_benchmark.exe"
echo
wine "$build/tests/cookies_dialog_benchmark.exe" </dev/null 2>/dev/null | grep -E "names:|FAILED|PASSED"
echo
wine "$build/tests/console_scale_benchmark.exe" </dev/null 2>/dev/null | grep -E "records:|task files:|community rules:|FAILED|PASSED"
echo
# The whole profile, then its local storage alone (no folders to remove).
# Run from the build folder (drive T:), where the benchmark writes the job
# settings file beside itself.
(cd "$build" && wine tests/sitedata_benchmark.exe </dev/null 2>&1)
(cd "$build" && wine tests/sitedata_benchmark.exe 1000 100 3 0 0 </dev/null 2>&1)
echo
wine "$build/tests/rules_catalogue_benchmark.exe" </dev/null 2>/dev/null | grep -E "rules entries:"
