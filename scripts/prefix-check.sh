#!/usr/bin/env bash
# Refuses (exit 1) a Wine prefix through which a test could reach the host:
# any drive but C: (the prefix's drive_c) and T: (the build folder), or a
# link under drive_c that leads out of the prefix.
set -uo pipefail
. "$1"
build="$(cd "$(dirname "$WINEPREFIX")" && pwd -P)"
prefix="$(cd "$WINEPREFIX" && pwd -P)"
devices="$WINEPREFIX/dosdevices"
problems=0

for drive in "$devices"/*: "$devices"/*::; do
  [ -e "$drive" ] || [ -L "$drive" ] || continue
  name="$(basename "$drive")"
  target="$(readlink -f "$drive" || true)"
  case "$name:$target" in
    "c::$prefix/drive_c") ;;
    "t::$build") ;;
    *) echo "prefix-check: drive $name leads to $target" >&2; problems=1 ;;
  esac
done

while IFS= read -r -d '' link; do
  target="$(readlink -f "$link" || true)"
  case "$target" in
    "$prefix"/*) ;;
    *) echo "prefix-check: $link leads out of the prefix to $target" >&2; problems=1 ;;
  esac
done < <(find "$WINEPREFIX/drive_c" -type l -print0)

if [ "$problems" -ne 0 ]; then
  echo "prefix-check: the Wine prefix $WINEPREFIX is not safe to run tests in; remove it and run make again" >&2
  exit 1
fi
