#!/usr/bin/env bash
# Measures the processor time a resident instance uses while idle: a copy of
# the program folder with ten scheduled tasks (daily, next run tomorrow),
# "Tidewhistle.exe /tray" for SECONDS seconds (default 600) under Wine, and
# the CPU time of its process and of the wineserver over that time, beside
# the wineserver's own over as long before the program starts.
#   scripts/measure-idle-cpu.sh BUILD [SECONDS]
set -uo pipefail
build="$1"
seconds="${2:-600}"
. "$build/wine-env.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${TW_UNDER_XVFB:-}" ]; then
  export TW_UNDER_XVFB=1
  exec xvfb-run -a "$0" "$@"
fi

folder="$build/idle-cpu"
rm -rf "$folder"; mkdir -p "$folder"
# A prefix and wineserver of its own, made safe like the build's (no drive
# but C: and the build folder, no link out of it): the measurement never
# meets a test run nor the host's files.
env_file="$build/idle-cpu-env.sh"
sed "s|^export WINEPREFIX=.*|export WINEPREFIX=\"$(cd "$build" && pwd)/idle-cpu-prefix\"|" "$build/wine-env.sh" > "$env_file"
"$(dirname "$0")/prefix-init.sh" "$env_file" >/dev/null || exit 1
. "$env_file"
wineserver -w
cp "$build"/dist/Tidewhistle.exe "$build"/dist/Sweepkit.dll "$build"/dist/*.ini "$folder"/
tomorrow=$(date -d tomorrow '+%Y/%_m/%_d')
for i in $(seq 1 10); do
  printf 'TaskName=Idle%d\r\nScheduleEnabled=1\r\nBaseScheduleTime=%s %2d: 0: 0\r\nRunOnceTime=%s %2d: 0: 0\r\nRunAtStartup=0\r\nRunAtShutdown=0\r\nScheduleType=0\r\nRunEveryNumber=1\r\nRunEveryUnit=1\r\nExtendedDataCount=0\r\nEnabledTask=5D793A96-4BF6-495E-A8AF-299E203194B6\r\n' \
    "$i" "$tomorrow" "$i" "$tomorrow" "$i" > "$folder/Idle$i.tsk"
done

wineserver -p
trap 'wine "$folder/Tidewhistle.exe" /shutdown; wineserver -k >/dev/null 2>&1 || true' EXIT
wine "$build/tests/wine_warmup.exe" </dev/null >/dev/null 2>&1

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# This prefix's wineserver: the one working in the server folder Wine names
# after the prefix's device and inode (other prefixes have their own).
server_dir="server-$(printf '%x' "$(stat -c %d "$WINEPREFIX")")-$(printf '%x' "$(stat -c %i "$WINEPREFIX")")"
server=""
for candidate in $(pgrep wineserver); do
  case "$(readlink "/proc/$candidate/cwd" 2>/dev/null)" in
    */"$server_dir") server=$candidate ;;
  esac
done
[ -n "$server" ] || { echo "the prefix's wineserver was not found"; exit 1; }
hz=$(getconf CLK_TCK)

# The wineserver keeps Wine's own services (and its own clock) going with
# or without the program: measured first, over the same time, without it.
sleep 5
b0=$(ticks "$server")
sleep "$seconds"
b1=$(ticks "$server")

wine "$folder/Tidewhistle.exe" /tray </dev/null >/dev/null 2>&1 &
sleep 10
pid=$(pgrep -f 'idle-cpu.Tidewhistle.exe' | head -1)
[ -n "$pid" ] || { echo "the resident instance did not start"; exit 1; }
p0=$(ticks "$pid"); s0=$(ticks "$server")
sleep "$seconds"
p1=$(ticks "$pid"); s1=$(ticks "$server")
awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v b=$((b1 - b0)) -v hz="$hz" -v t="$seconds" 'BEGIN {
  printf "Idle resident instance with ten scheduled tasks over %d s:\n", t
  printf "  program process:            %.2f s CPU (%.3f%% of one core)\n", p / hz, 100 * p / hz / t
  printf "  wineserver:                 %.2f s CPU (%.3f%% of one core)\n", s / hz, 100 * s / hz / t
  printf "  wineserver without program: %.2f s CPU (%.3f%% of one core)\n", b / hz, 100 * b / hz / t
}'
