#!/usr/bin/env bash
# The main job: starts the laid-out program in its resident role ("/tray")
# under Wine, shows its notification-area icon for a few seconds (captured in
# build/run-tray.png), then ends it and prints the trace it wrote.
set -uo pipefail
build="$1"
. "$build/wine-env.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${TW_UNDER_XVFB:-}" ]; then
  export TW_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

dist="$build/dist"
rm -f "$dist/tw_debug.log"
wineserver -p
wine "$build/tests/wine_warmup.exe" </dev/null >/dev/null 2>&1
wine reg add 'HKLM\Software\Hollowmere\Tidewhistle' /v DebugLogLevel /t REG_DWORD /d 20 /f >/dev/null 2>&1

echo "Starting Tidewhistle.exe /tray from $dist"
wine "$dist/Tidewhistle.exe" /tray </dev/null >/dev/null 2>&1 &
sleep 5
if command -v import >/dev/null; then
  import -window root "$build/run-tray.png" && echo "Screenshot of the desktop with the tray icon: $build/run-tray.png"
fi
wineserver -k
wait 2>/dev/null
wine reg delete 'HKLM\Software\Hollowmere\Tidewhistle' /v DebugLogLevel /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1

echo
echo "Trace written by the resident instance ($dist/tw_debug.log):"
cat "$dist/tw_debug.log"
