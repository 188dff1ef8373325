#!/usr/bin/env bash
# A build folder whose Wine prefix was never made: the first Windows program
# started through the build's runner must find a safe prefix (no drive but
# C: and the build folder's T:, no link out of drive_c), never the one Wine
# makes by itself with Z: at the Linux root.
#   fresh_prefix_test.sh <source folder>
set -euo pipefail
source_dir="$1"
scratch="$(mktemp -d)"
cleanup() { WINEPREFIX="$scratch/wineprefix" wineserver -k 2>/dev/null || true; rm -rf "$scratch"; }
trap cleanup EXIT

sed "s|@TW_WINEPREFIX@|$scratch/wineprefix|" "$source_dir/scripts/wine-env.sh.in" >"$scratch/wine-env.sh"
sed -e "s|@TW_WINE_ENV@|$scratch/wine-env.sh|" -e "s|@PROJECT_SOURCE_DIR@|$source_dir|" \
  "$source_dir/scripts/wine-run.sh.in" >"$scratch/wine-run.sh"
chmod +x "$scratch/wine-run.sh"

"$scratch/wine-run.sh" cmd /c echo started >"$scratch/output" 2>&1 || true
grep -q started "$scratch/output" || { echo "the program did not run:"; cat "$scratch/output"; exit 1; }
"$source_dir/scripts/prefix-check.sh" "$scratch/wine-env.sh"
echo "the first program ran in a safe prefix"
