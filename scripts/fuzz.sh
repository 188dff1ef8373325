#!/usr/bin/env bash
# Builds the parsers' fuzzers natively with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) into BUILD/fuzz and runs them:
#   scripts/fuzz.sh BUILD smoke        a few seconds each (part of the suite)
#   scripts/fuzz.sh BUILD campaign [N] N inputs each (default 10,000,000)
# The corpora in BUILD/fuzz/corpus start from the shipped data files and
# texts like those the program writes, and grow from run to run; whatever
# makes a fuzzer fail is kept in BUILD/fuzz/artifacts.
set -uo pipefail
build="$(cd "$1" && pwd)"
mode="${2:-smoke}"
runs="${3:-10000000}"
here="$(cd "$(dirname "$0")/.." && pwd)"
out="$build/fuzz"
fuzzers=(codecs guid task_file catalogue local_state site_origins recycle_record dest_list rules)

cmake -S "$here/fuzz" -B "$out" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
cmake --build "$out" -j2 >/dev/null || { cmake --build "$out" 2>&1 | tail -20; exit 1; }

# Seeds: what the parsers meet in real files.
seed() { mkdir -p "$out/corpus/$1"; printf '%b' "$3" > "$out/corpus/$1/$2"; }
seed codecs keep-list '436F6F6B69653A626F6240736974652E6578616D706C652F00'
seed codecs age '1 48'
seed guid plain '92152D5F-FF5B-4761-9834-B7589B346419'
seed guid braced '{5d793a96-4bf6-495e-a8af-299e203194b6}'
seed task_file default 'TaskName=default\r\nScheduleEnabled=1\r\nBaseScheduleTime=2026/ 1/ 1  9: 0: 0\r\nRunOnceTime=2026/12/ 8 17: 5:30\r\nRunAtStartup=0\r\nRunAtShutdown=1\r\nScheduleType=0\r\nRunEveryNumber=2\r\nRunEveryUnit=1\r\nExtendedDataCount=2\r\nExtendedData_GUID=F68EF1FD-5366-49C0-9C82-D59C73CC550D\r\nExtendedData_Value=6100\r\nExtendedData_GUID=C5BE3DE9-A946-4802-9D36-372BD8C7647A\r\nExtendedData_Value=1 48\r\nEnabledTask=92152D5F-FF5B-4761-9834-B7589B346419\r\nEnabledTask=5D793A96-4BF6-495E-A8AF-299E203194B6\r\n'
mkdir -p "$out/corpus/catalogue"
cp "$here/data/task_inventory.ini" "$out/corpus/catalogue/shipped.ini"
seed site_origins local-storage 'META:https://www.example.com:8443'
seed site_origins indexeddb 'https_www.example.com_0.indexeddb.leveldb'
seed site_origins firefox 'https+++www.example.com+++8443^userContextId=1'
seed site_origins storage-key 'https://a.example:8443/^0https://b.example'
seed site_origins webappsstore 'moc.elpmaxe.www.:https:443'
seed site_origins firefox-ipv6 'http+++[++1]+8080^userContextId=2'
seed site_origins serviceworkers-12 '12\n\nhttps://www.example.com/\nhttps://www.example.com/sw.js\ntrue\ncache-1\n0\n1700000000\n1700000000\n1700000000\n0\ntrue\n1\ncookie-store\n[]\n0\n0\n3\n1\n#\n'
seed site_origins serviceworkers '9\n\nhttps://www.example.com/app/\nhttps://www.example.com/sw.js\ntrue\ncache-1\n0\n1700000000\n1700000000\n1700000000\n0\ntrue\n#\n^userContextId=1\nhttp://example.org:8080/\nhttp://example.org:8080/sw.js\nfalse\ncache-2\n1\n0\n0\n0\n1\ntrue\n#\n'
seed site_origins session-storage 'namespace-dabc53e1_8291_4de5_824f_dab8aa69c846-https://www.example.com/'
seed site_origins service-worker 'REG:https://www.example.com/\x0012'
seed site_origins cache-storage-index '\x0a\x04\x0a\x02v1\x12\x17https://www.example.com'
seed site_origins file-system 'ORIGIN:https_www.example.com_0'
seed site_origins script-cache-entry '\x30\x5c\x72\xa7\x1b\x6d\xfb\xfc\x05\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x0042'
seed local_state chrome '{"profile":{"info_cache":{"Default":{"name":"Person 1"},"Profile 1":{"name":"Work \\u00e9"}},"last_used":"Default"},"os_crypt":{"encrypted_key":"RFBBUEk="}}'
# Recycle Bin records of both versions: "C:\a.txt", 5 bytes, deleted in 2021.
seed recycle_record version-2 '\x02\0\0\0\0\0\0\0\x05\0\0\0\0\0\0\0\0\0\0\0\0\x30\xd7\x01\x09\0\0\0C\0:\0\\\0a\0.\0t\0x\0t\0\0\0'
{ printf '\x01\0\0\0\0\0\0\0\x05\0\0\0\0\0\0\0\0\0\0\0\0\x30\xd7\x01C\0:\0'; head -c 516 /dev/zero; } > "$out/corpus/recycle_record/version-1"
# A DestList header of version 4: 6 entries, 3 of them pinned.
seed dest_list pinned '\x04\0\0\0\x06\0\0\0\x03\0\0\0\0\0\x80\x3f\x06\0\0\0\0\0\0\0\x0c\0\0\0\0\0\0\0'
# Community rules of each kind of key, in UTF-8 and in UTF-16LE.
seed rules entries '; rules\r\n[Viewer Logs *]\r\nLangSecRef=3021\r\nDetect=HKCU\\Software\\Viewer\r\nDetectFile=%LocalAppData%\\Viewer\r\nWarning=Logs only.\r\nFileKey1=%LocalAppData%\\Viewer\\Logs|*.log;*.tmp|RECURSE\r\nFileKey2=%ProgramFiles%\\Viewer\\*\\Cache|*|REMOVESELF\r\nRegKey1=HKCU\\Software\\Viewer\\Recent\r\nRegKey2=HKCU\\Software\\Viewer|LastPath\r\nExcludeKey1=FILE|%LocalAppData%\\Viewer\\Logs\\|keep.log\r\nExcludeKey2=REG|HKCU\\Software\\Viewer\\Recent\\Pinned\r\n\r\n[Browser Cache *]\r\nSection=Browsers\r\nFileKey1=%LocalAppData%\\Google\\Chrome*\\User Data\\*\\Cache|*|RECURSE\r\n'
printf '\xff\xfe' > "$out/corpus/rules/utf-16"
printf '[A *]\r\nFileKey1=%%AppData%%\\A|*.log\r\n' | iconv -f UTF-8 -t UTF-16LE >> "$out/corpus/rules/utf-16"

mkdir -p "$out/artifacts"
failed=0
run() {  # fuzzer, options...
  local name="$1"; shift
  local log="$out/$name.log"
  "$out/fuzz_$name" "$out/corpus/$name" -artifact_prefix="$out/artifacts/$name-" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$@" >"$log" 2>&1
  local status=$?
  local inputs speed
  inputs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  speed="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  if [ "$status" -eq 0 ]; then
    printf '  %-12s %12s inputs  %8s inputs/s  corpus %s  no failure\n' "$name" "${inputs:-?}" "${speed:-?}" \
      "$(ls "$out/corpus/$name" | wc -l)"
  else
    printf '  %-12s FAILED after %s inputs (exit %d); see %s\n' "$name" "${inputs:-?}" "$status" "$log"
    grep -E "ERROR: |runtime error|SUMMARY" "$log" | head -5 | sed 's/^/    /'
    failed=1
    return 1
  fi
}

case "$mode" in
  smoke)
    echo "Short fuzzing run of each parser (3 s each):"
    for name in "${fuzzers[@]}"; do run "$name" -max_total_time=3; done ;;
  campaign)
    # Inputs up to 4 KB: room for dozens of catalogue items or a long task
    # file, and short enough to keep millions of runs within the hour.
    echo "Fuzzing campaign: $runs inputs each, two parsers at a time:"
    pids=()
    for name in "${fuzzers[@]}"; do
      run "$name" -runs="$runs" -max_len=4096 &
      pids+=($!)
      if [ "${#pids[@]}" -ge 2 ]; then wait "${pids[0]}" || failed=1; pids=("${pids[@]:1}"); fi
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done ;;
  *) echo "fuzz.sh: mode smoke or campaign" >&2; exit 2 ;;
esac
exit "$failed"
