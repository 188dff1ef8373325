#!/usr/bin/env bash
# Makes the build folder's Wine prefix once. The prefix stands for a machine
# on which Tidewhistle is installed: its settings key exists (non-volatile),
# with automatic start off so that Wine never starts a stray copy at logon.
set -euo pipefail
. "$1"   # wine-env.sh of the build folder

stamp="$WINEPREFIX/.tidewhistle-ready"
[ -f "$stamp" ] && exit 0

rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
echo "Creating Wine prefix $WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
wine reg add 'HKLM\Software\Hollowmere\Tidewhistle' /v AutoRun /t REG_DWORD /d 0 /f >/dev/null 2>&1
# A crashing test process ends at once instead of waiting in the debugger.
wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1
wineserver -w
touch "$stamp"
