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
# A subfolder belongs to the layer of its folder (plugin/engines/files to
# the engines, ui/controls to the window layer): an engine may include any
# engine.
# Prints every include that reaches up or sideways; fails when there is one.
#   check-layers.sh [root]     checks the tree at root (the project's own)
#   check-layers.sh --self-test  shows that an engine, also one in a
#                                subfolder, including a job fails
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

# The layer of a path: the deepest layer folder it lies in, else its first
# folder (plugin/ for the plug-in's resources).
layer_of() {
  local path="$1" folder layer="${1%%/*}"
  for folder in "${!allowed[@]}"; do
    case "$path" in
      "$folder"/*) [ ${#folder} -gt ${#layer} ] && layer="$folder" ;;
    esac
  done
  echo "$layer"
}

check_tree() {
  local root="$1" status=0 folder line file path included
  for folder in "${!allowed[@]}"; do
    [ -d "$root/$folder" ] || continue
    while IFS= read -r line; do
      file="${line%%:*}"
      # A layer folder inside this one is checked as its own layer.
      [ "$(layer_of "${file#"$root"/}")" = "$folder" ] || continue
      path="$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$line")"
      included="$(layer_of "$path")"
      case " ${allowed[$folder]} " in
        *" $included "*) ;;
        *) echo "$file includes $path from $folder/"; status=1 ;;
      esac
    done < <(grep -rHE --include='*.h' --include='*.cpp' '^#include "[^/"]+/' "$root/$folder" 2>/dev/null)
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
  mkdir -p "$scratch/plugin/engines/files" "$scratch/plugin/engines/system" "$scratch/plugin/jobs"
  printf '#include "plugin/engines/cleanupreport.h"\n#include "plugin/engines/files/filecleanup.h"\n' \
    >"$scratch/plugin/jobs/job.cpp"
  printf '#include "common/error.h"\n' >"$scratch/plugin/engines/engine.cpp"
  printf '#include "plugin/engines/cleanupreport.h"\n' >"$scratch/plugin/engines/files/filecleanup.cpp"
  printf '#include "plugin/engines/files/filecleanup.h"\n' >"$scratch/plugin/engines/system/recyclebin.cpp"
  check_tree "$scratch" >/dev/null || { echo "self-test: a sound tree was refused"; return 1; }
  local engine
  for engine in engine.cpp system/recyclebin.cpp; do
    cp "$scratch/plugin/engines/$engine" "$scratch/saved.cpp"
    printf '#include "plugin/jobs/cleanupitem.h"\n' >>"$scratch/plugin/engines/$engine"
    if check_tree "$scratch" >/dev/null; then
      echo "self-test: the engine $engine that includes a job header passed"
      return 1
    fi
    mv "$scratch/saved.cpp" "$scratch/plugin/engines/$engine"
  done
  echo "self-test passed"
}

if [ "${1:-}" = "--self-test" ]; then
  self_test
  exit $?
fi
check_tree "${1:-$(dirname "$0")/..}"
