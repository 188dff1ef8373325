#!/usr/bin/env bash
# Makes the build folder's Wine prefix once. The prefix stands for a machine
# on which Tidewhistle is installed: its settings key exists (non-volatile),
# with automatic start off so that Wine never starts a stray copy at logon.
#
# The prefix is made safe before anything runs in it: Wine's default drive Z:
# (the Linux root) and every other drive but C: are removed, and every link
# under drive_c that leads out of the prefix (the profile's Documents,
# Desktop, Downloads, ...) is replaced by a real folder. A deletion that goes
# wrong can then damage only the prefix. The build folder itself is mapped
# as drive T: (the built program and the tests live there); it holds no
# user data.
set -euo pipefail
. "$1"   # wine-env.sh of the build folder
here="$(cd "$(dirname "$0")" && pwd)"

stamp="$WINEPREFIX/.tidewhistle-safe"
# A process that crashes ends at once, its backtrace printed, instead of
# waiting for someone to close Wine's crash dialog (with no value Wine runs
# its debugger anyway, so the debugger is told not to ask).
no_crash_dialog() {
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  touch "$WINEPREFIX/.tidewhistle-no-crash-dialog"
}
if [ -f "$stamp" ] && "$here/prefix-check.sh" "$1" >/dev/null 2>&1; then
  if [ ! -f "$WINEPREFIX/.tidewhistle-no-crash-dialog" ]; then
    no_crash_dialog
    wineserver -w
  fi
  exit 0
fi

rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
echo "Creating Wine prefix $WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
"$here/prefix-make-safe.sh" "$1"

wine reg add 'HKLM\Software\Hollowmere\Tidewhistle' /v AutoRun /t REG_DWORD /d 0 /f >/dev/null 2>&1
no_crash_dialog
wineserver -w
# Wine may have put back what it considers missing while it ran.
"$here/prefix-make-safe.sh" "$1"
"$here/prefix-check.sh" "$1"
touch "$stamp"
