#!/usr/bin/env bash
# Cuts every way out of the Wine prefix: drives other than C: (and T:, the
# build folder) are unmapped, links under drive_c that point outside the
# prefix become real folders (or are removed when they named a file), and
# the few Unix programs that tests run are copied (never linked) into the
# build folder.
set -euo pipefail
. "$1"
build="$(cd "$(dirname "$WINEPREFIX")" && pwd)"
devices="$WINEPREFIX/dosdevices"
prefix="$(cd "$WINEPREFIX" && pwd -P)"

for drive in "$devices"/*:  "$devices"/*::; do
  [ -e "$drive" ] || [ -L "$drive" ] || continue
  case "$(basename "$drive")" in
    c:) ;;
    *) rm -f "$drive" ;;
  esac
done
ln -sfn "$build" "$devices/t:"

find "$WINEPREFIX/drive_c" -type l -print0 | while IFS= read -r -d '' link; do
  target="$(readlink -f "$link" || true)"
  case "$target" in
    "$prefix"/*) continue ;;
  esac
  rm -f "$link"
  mkdir -p "$link"
done

tools="$build/unix-tools"
mkdir -p "$tools"
for program in ln rm mkdir touch chattr; do
  cp -f "$(command -v "$program")" "$tools/$program"
done
