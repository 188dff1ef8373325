#!/usr/bin/env bash
# Runs the benchmarks under Wine in the build's prefix, with one warm
# wineserver: file deletion (the temporary-folder job against a plain loop
# and rd /s /q) and the URL cache walk.
set -uo pipefail
build="$1"
. "$build/wine-env.sh"
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine "$build/tests/wine_warmup.exe" </dev/null >/dev/null 2>&1
dist="$(cd "$build/dist" && pwd)"
wine "$build/tests/delete_benchmark.exe" "Z:${dist//\//\\}"
echo
wine "$build/tests/urlcache_benchmark.exe"
