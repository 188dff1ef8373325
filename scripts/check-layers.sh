#!/usr/bin/env bash
# Each folder of the program may include only its own headers and those of
# the layers below it:
#   common < tasks < runtime < scheduler < ui < app, with jobapi (the job
#   interface, header-only) beside common and seen by tasks (a task file
#   keeps the extended data whose keys jobapi defines), the community rules
#   (rules) beside tasks on common alone, and the plug-in on common and jobapi alone (its jobs
#   also on rules, to run community rules entries).
#   Inside the plug-in, the engines know nothing of jobs:
#   plugin/engines < plugin/jobs, and the plug-in's resources (plugin/*.h)
#   belong to the jobs.
# Prints every include that reaches up or sideways; fails when there is one.
#   check-layers.sh [root]     checks the tree at root (the project's own)
#   check-layers.sh --self-test  shows that an engine including a job fails
set -uo pipefail

declare -A allowed=(
  [common]="common"
  [jobapi]="jobapi"
  [tasks]="common jobapi tasks"
  [rules]="common rules"
  [runtime]="common jobapi tasks rules runtime"
  [scheduler]="common jobapi tasks rules runtime scheduler"
  [plugin/engines]="common plugin/engines"
  [plugin/jobs]="common jobapi rules plugin/engines plugin/jobs plugin"
  [ui]="common jobapi tasks rules runtime scheduler ui"
  [app]="common jobapi tasks rules runtime scheduler ui app"
)

# The layer an include names: its folder, two levels deep inside the plug-in.
layer_of() {
  local path="$1"
  case "$path" in
    plugin/*/*) echo "${path%/*}" ;;
    *) echo "${path%%/*}" ;;
  esac
}

check_tree() {
  local root="$1" status=0 folder line file path included
  for folder in "${!allowed[@]}"; do
    [ -d "$root/$folder" ] || continue
    while IFS= read -r line; do
      file="${line%%:*}"
      path="$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$line")"
      included="$(layer_of "$path")"
      case " ${allowed[$folder]} " in
        *" $included "*) ;;
        *) echo "$file includes $path from $folder/"; status=1 ;;
      esac
    done < <(grep -HE '^#include "[^/"]+/' "$root/$folder"/*.h "$root/$folder"/*.cpp 2>/dev/null)
  done
  # Sources straight in plugin/ other than its resources have no layer.
  for file in "$root"/plugin/*.cpp; do
    [ -e "$file" ] && { echo "$file is in plugin/, neither an engine nor a job"; status=1; }
  done
  return $status
}

self_test() {
  local scratch
  scratch="$(mktemp -d)"
  trap 'rm -rf "$scratch"' RETURN
  mkdir -p "$scratch/plugin/engines" "$scratch/plugin/jobs"
  printf '#include "plugin/engines/cleanupreport.h"\n' >"$scratch/plugin/jobs/job.cpp"
  printf '#include "common/error.h"\n' >"$scratch/plugin/engines/engine.cpp"
  check_tree "$scratch" >/dev/null || { echo "self-test: a sound tree was refused"; return 1; }
  printf '#include "plugin/jobs/cleanupitem.h"\n' >>"$scratch/plugin/engines/engine.cpp"
  if check_tree "$scratch" >/dev/null; then
    echo "self-test: an engine that includes a job header passed"
    return 1
  fi
  echo "self-test passed"
}

if [ "${1:-}" = "--self-test" ]; then
  self_test
  exit $?
fi
check_tree "${1:-$(dirname "$0")/..}"
