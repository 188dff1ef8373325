#!/usr/bin/env bash
# Each folder of the program may include only its own headers and those of
# the layers below it:
#   common < tasks < runtime < scheduler < ui < app, with jobapi (the job
#   interface) beside common, and the plug-in on common and jobapi alone.
# Prints every include that reaches up or sideways; fails when there is one.
set -uo pipefail
root="${1:-$(dirname "$0")/..}"
declare -A allowed=(
  [common]="common"
  [jobapi]="jobapi"
  [tasks]="common tasks"
  [runtime]="common jobapi tasks runtime"
  [scheduler]="common jobapi tasks runtime scheduler"
  [plugin]="common jobapi plugin"
  [ui]="common jobapi tasks runtime scheduler ui"
  [app]="common jobapi tasks runtime scheduler ui app"
)
status=0
for folder in "${!allowed[@]}"; do
  [ -d "$root/$folder" ] || continue
  while IFS= read -r line; do
    file="${line%%:*}"
    included="$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$line")"
    case " ${allowed[$folder]} " in
      *" $included "*) ;;
      *) echo "$file includes $included/ from $folder/"; status=1 ;;
    esac
  done < <(grep -HE '^#include "[^/"]+/' "$root/$folder"/*.h "$root/$folder"/*.cpp 2>/dev/null)
done
exit $status
