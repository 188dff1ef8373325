#!/usr/bin/env bash
# Reads a built package back with msiinfo and fails unless the tables that
# matter are as the installation needs them (wixl validates nothing):
#   scripts/check-package.sh PACKAGE.msi DATA_FILE_COUNT
set -euo pipefail
msi="$1"
data_files="$2"
failures=0
fail() { echo "check-package: $*" >&2; failures=$((failures + 1)); }
# The rows of a table, without its three header lines.
rows() { msiinfo export "$msi" "$1" | tr -d '\r' | tail -n +4; }

msiinfo suminfo "$msi" | grep -q '^Template: x64;1033$' || fail "the package is not a 64-bit package"

# Every component 64-bit (attribute 256), each with a key path.
components="$(rows Component)"
[ -n "$components" ] || fail "the package has no components"
while read -r problem; do
  [ -z "$problem" ] || fail "$problem"
done <<<"$(awk -F'\t' '
  int($4 / 256) % 2 == 0 { print "component " $1 " is not 64-bit" }
  $6 == "" && $1 != "DataVendorFolder" { print "component " $1 " has no key path" }' <<<"$components")"

files="$(rows File | cut -f3)"
for name in Tidewhistle.exe Sweepkit.dll task_inventory.ini Tidewhistle.admx Tidewhistle.adml; do
  grep -qx "$name" <<<"$files" || fail "the file $name is missing"
done
[ "$(grep -c '\.ini$' <<<"$files")" -eq "$data_files" ] || fail "not every data file is in the package"

registry="$(rows Registry)"
for name in DebugLogLevel TaskStopTimeout TaskStartTimeout TaskScheduleUpdatePeriod TaskScheduleExecutePeriod \
            OnlineHelpUrl SupportUrl DataFolder MachineTaskFolder; do
  awk -F'\t' -v name="$name" '$2 == 2 && $3 ~ /^Software\\Hollowmere\\Tidewhistle\\?$/ && $4 == name { found = 1 }
       END { exit !found }' <<<"$registry" || fail "the setting $name is not laid down under HKLM"
done
# The user's choice is the program's to write; the package only puts back
# what an older installation left.
awk -F'\t' '$4 == "AutoRun" && $5 != "[AUTORUNCHOICE]" { exit 1 }' <<<"$registry" || fail "the package sets AutoRun"
rows Component | awk -F'\t' '$1 == "AutoRunChoice" && $5 == "AUTORUNCHOICE" { found = 1 } END { exit !found }' ||
  fail "the automatic-start choice would be written when there is none"
rows Component | awk -F'\t' '$1 == "LockTasksChoice" && $5 == "LOCKTASKSCHOICE" { found = 1 } END { exit !found }' ||
  fail "the policy setting LockTasks would be written when there is none"
# Each user's data lives in that user's profile; the administrators' tasks
# in the machine's folder.
awk -F'\t' '$4 == "DataFolder" && $5 == "%LOCALAPPDATA%\\Hollowmere\\Tidewhistle" { found = 1 } END { exit !found }' \
  <<<"$registry" || fail "the data folder is not each user's own"
awk -F'\t' '$4 == "MachineTaskFolder" && $5 == "[TidewhistleData]" { found = 1 } END { exit !found }' <<<"$registry" ||
  fail "the administrators' task folder is not named"
# An upgrade keeps every setting: each value is the one found, or its default.
actions_table="$(rows CustomAction)"
for pair in DebugLogLevel:SETTINGDEBUGLOGLEVEL:#0 TaskStopTimeout:SETTINGTASKSTOPTIMEOUT:#15 \
            TaskStartTimeout:SETTINGTASKSTARTTIMEOUT:#10 TaskScheduleUpdatePeriod:SETTINGUPDATEPERIOD:#60 \
            TaskScheduleExecutePeriod:SETTINGEXECUTEPERIOD:#1; do
  IFS=: read -r name property value <<<"$pair"
  awk -F'\t' -v n="$name" -v p="[$property]" '$4 == n && $5 == p { found = 1 } END { exit !found }' <<<"$registry" ||
    fail "the setting $name is not put back as it was"
  awk -F'\t' -v p="$property" -v v="$value" '$1 == "Default" p && $2 == 51 && $3 == p && $4 == v { found = 1 }
       END { exit !found }' <<<"$actions_table" || fail "the setting $name has no default"
done

rows Shortcut | awk -F'\t' '$2 == "ProgramMenuFolder" && $4 == "Program" && $5 == "[#TidewhistleExe]" { found = 1 }
                            END { exit !found }' ||
  fail "there is no Start menu shortcut to the program"
rows Shortcut | awk -F'\t' '$2 ~ /Desktop/ { exit 1 }' || fail "the package puts a shortcut on the desktop"
rows Directory | awk -F'\t' '$1 ~ /Desktop/ || $2 ~ /Desktop/ { exit 1 }' || fail "the package puts something on the desktop"

sequence="$(rows InstallExecuteSequence)"
position() { awk -F'\t' -v action="$1" '$1 == action { print $3 }' <<<"$sequence"; }
initialize="$(position InstallInitialize)"
finalize="$(position InstallFinalize)"
remove_files="$(position RemoveFiles)"
for action in ShutdownResident RemoveMachineRunEntry RemoveUserRunEntry RemoveSettingsKey RemoveUserData; do
  at="$(position "$action")"
  if [ -z "$at" ]; then fail "the action $action is not sequenced"; continue; fi
  [ "$at" -gt "$initialize" ] && [ "$at" -lt "$finalize" ] || fail "the deferred action $action lies outside the script"
done
[ "$(position ShutdownResident)" -lt "$remove_files" ] || fail "the resident instance is not ended before its files go"
for action in RemoveMachineRunEntry RemoveSettingsKey RemoveUserData; do
  [ "$(position "$action")" -gt "$remove_files" ] || fail "$action runs while the program can still write again"
done
awk -F'\t' '$1 == "RemoveUserData" && $2 ~ / AND NOT UPGRADINGPRODUCTCODE AND REMOVEUSERDATA="1"$/ { found = 1 }
     END { exit !found }' <<<"$sequence" || fail "the user's data would be removed without being asked for"

# What the actions run, and when: the removals once the rest has succeeded.
actions="$(rows CustomAction)"
action_is() {  # name type target (passed through the environment: awk -v would read its backslashes)
  NAME="$1" TYPE="$2" TARGET="$3" awk -F'\t' '$1 == ENVIRON["NAME"] && $2 == ENVIRON["TYPE"] && $4 == ENVIRON["TARGET"] { found = 1 }
       END { exit !found }' <<<"$actions" || fail "the action $1 is not type $2 running $3"
}
# No removal's exit code is ignored (type +64): a removal that fails says so.
action_is ShutdownResident 3090 '/shutdown'
removal() { echo "\"[System64Folder]cmd.exe\" /d /c reg.exe delete $1 /f >nul 2>&1 & reg.exe query $1 >nul 2>&1 & if errorlevel 1 (exit 0) else (exit 1)"; }
action_is RemoveMachineRunEntry 3618 \
  "$(removal '"HKLM\Software\Microsoft\Windows\CurrentVersion\Run" /v "Hollowmere Tidewhistle"')"
action_is RemoveUserRunEntry 1570 \
  "$(removal '"HKCU\Software\Microsoft\Windows\CurrentVersion\Run" /v "Hollowmere Tidewhistle"')"
action_is RemoveSettingsKey 3618 "$(removal '"HKLM\Software\Hollowmere\Tidewhistle"')"
action_is RemoveUserData 3618 \
  '"[System64Folder]cmd.exe" /d /c if exist "[DataVendorFolder]Tidewhistle\" rd /s /q "[DataVendorFolder]Tidewhistle" & if exist "[DataVendorFolder]Tidewhistle\" (exit 1) else (exit 0)'
awk -F'\t' '$1 ~ /^Remove(MachineRunEntry|UserRunEntry|SettingsKey|UserData)$|^ShutdownResident$/ && int($2 / 64) % 2 == 1 { exit 1 }' \
  <<<"$actions" || fail "a removal's failure would be ignored"
for action in RemoveMachineRunEntry RemoveUserRunEntry RemoveSettingsKey; do
  awk -F'\t' -v name="$action" '$1 == name && $2 ~ / AND NOT UPGRADINGPRODUCTCODE$/ { found = 1 } END { exit !found }' \
    <<<"$sequence" || fail "$action would run in an upgrade too"
done
# The data folder cannot be named from a command line (a private property).
rows Directory | awk -F'\t' '$1 == "TidewhistleData" && $2 == "DataVendorFolder" && $3 == "Tidewhistle" { found = 1 }
                              END { exit !found }' || fail "the data folder is not where it should be"

locks="$(rows MsiLockPermissionsEx)"
grep -q $'\tTidewhistleData\tCreateFolder\tD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)' \
  <<<"$locks" || fail "the administrators' task folder's access is not as meant"
grep -q $'\tDataVendorFolder\tCreateFolder\tD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)' \
  <<<"$locks" || fail "users could write the folder above the administrators' task folder"
# No folder the package makes grants Users (BU) any right to write, append,
# write attributes or extended attributes, delete entries or themselves, or
# change access: 0x2 0x4 0x10 0x40 0x100 0x10000 0x40000 0x80000, nor the generic
# and FA/FW forms of them.
while read -r sddl; do
  grep -oE '\(A;[^;]*;[^;]*;;;BU\)' <<<"$sddl" | while read -r ace; do
    mask="$(cut -d';' -f3 <<<"$ace")"
    case "$mask" in
      0x*) (( (mask & 0xD0156) == 0 )) || echo "$ace" ;;
      *) grep -qE 'FA|FW|GA|GW|WD|WO|SD|DC|CC|WP' <<<"$mask" && echo "$ace" ;;
    esac
  done
done < <(cut -f4 <<<"$locks") | grep -q . && fail "the package lets Users write a folder it makes"

rows Upgrade | awk -F'\t' '$7 == "WIX_UPGRADE_DETECTED" && $5 == 513 { found = 1 } END { exit !found }' ||
  fail "an older or same-version package would not be replaced"
rows Property | grep -q $'^ALLUSERS\t1$' || fail "the package does not install per machine"

[ "$failures" -eq 0 ] || exit 1
echo "check-package: $msi is as meant"
