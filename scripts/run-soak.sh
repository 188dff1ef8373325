#!/usr/bin/env bash
# The soak (tests/soak): the resident instance and its console under Wine
# for SECONDS seconds (default 1800, at least 300), in a prefix of its own, made safe like
# the build's, so that it never meets a test run. Prints its figures.
#   scripts/run-soak.sh BUILD [SECONDS]
set -uo pipefail
build="$(cd "$1" && pwd)"
seconds="${2:-1800}"
if [ -z "${TW_UNDER_XVFB:-}" ]; then
  export TW_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
env_file="$build/soak-env.sh"
sed "s|^export WINEPREFIX=.*|export WINEPREFIX=\"$build/soak-prefix\"|" "$build/wine-env.sh" > "$env_file"
"$(dirname "$0")/prefix-init.sh" "$env_file" >/dev/null || exit 1
. "$env_file"
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine "$build/tests/wine_warmup.exe" </dev/null >/dev/null 2>&1
echo "Soak of $seconds s: fifty tasks, task files rewritten and deleted, the console following"
TW_SOAK_SECONDS="$seconds" wine "$build/tests/soak_test.exe" </dev/null 2>&1 |
  grep -vE "^(Running main|Note:|\[ RUN|\[----|\[====|$)"
