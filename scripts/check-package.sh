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
awk -F'\t' '$4 == "DataFolder" && $5 == "[SETTINGDATAFOLDER]" { found = 1 } END { exit !found }' \
  <<<"$registry" || fail "the data folder setting is not put back as it was"
awk -F'\t' '$4 == "MachineTaskFolder" && $5 == "[SETTINGMACHINETASKFOLDER]" { found = 1 } END { exit !found }' <<<"$registry" ||
  fail "the administrators' task folder setting is not put back as it was"
folder_default_is() {  # action property value
  ACTION="$1" PROPERTY="$2" VALUE="$3" awk -F'\t' '$1 == ENVIRON["ACTION"] && $2 == 51 && $3 == ENVIRON["PROPERTY"] &&
       $4 == ENVIRON["VALUE"] { found = 1 } END { exit !found }' <<<"$(rows CustomAction)" ||
    fail "the folder setting $2 does not get $3 from $1"
}
folder_default_is DefaultSETTINGDATAFOLDER SETTINGDATAFOLDER '%LOCALAPPDATA%\Hollowmere\Tidewhistle'
folder_default_is ForgetSharedDataFolder SETTINGDATAFOLDER '%LOCALAPPDATA%\Hollowmere\Tidewhistle'
folder_default_is DefaultSETTINGMACHINETASKFOLDER SETTINGMACHINETASKFOLDER '[TidewhistleData]'
# An upgrade keeps every setting: each value is the one found, or its default.
actions_table="$(rows CustomAction)"
for pair in DebugLogLevel:SETTINGDEBUGLOGLEVEL:#0 TaskStopTimeout:SETTINGTASKSTOPTIMEOUT:#15 \
            TaskStartTimeout:SETTINGTASKSTARTTIMEOUT:#10 TaskScheduleUpdatePeriod:SETTINGUPDATEPERIOD:#60 \
            TaskScheduleExecutePeriod:SETTINGEXECUTEPERIOD:#1 BrowserCloseRunInterval:SETTINGBROWSERCLOSEINTERVAL:#120; do
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
removals="RemoveMachineRunEntry RemoveUserRunEntry RemoveSettingsKey RemoveUserData"
twins="$(for action in $removals; do echo "$action ${action}Now"; done)"
for action in ShutdownResident TakeOverSharedFolder $twins; do
  at="$(position "$action")"
  if [ -z "$at" ]; then fail "the action $action is not sequenced"; continue; fi
  [ "$at" -gt "$initialize" ] && [ "$at" -lt "$finalize" ] || fail "the deferred action $action lies outside the script"
done
[ "$(position ShutdownResident)" -lt "$remove_files" ] || fail "the resident instance is not ended before its files go"
for action in RemoveMachineRunEntry RemoveSettingsKey RemoveUserData; do
  [ "$(position "$action")" -gt "$remove_files" ] || fail "$action runs while the program can still write again"
done
[ "$(position TakeOverSharedFolder)" -gt "$(position CreateFolders)" ] &&
  [ "$(position TakeOverSharedFolder)" -gt "$(position InstallFiles)" ] ||
  fail "the shared folder is taken over before its access is set or the program is in place"
awk -F'\t' '$1 == "TakeOverSharedFolder" && $2 == "NOT REMOVE~=\"ALL\"" { found = 1 } END { exit !found }' \
  <<<"$sequence" || fail "the shared folder is not taken over at every installation"
awk -F'\t' '$1 == "RemoveUserData" && $2 ~ / AND NOT UPGRADINGPRODUCTCODE AND REMOVEUSERDATA="1" AND NOT RollbackDisabled$/ { found = 1 }
     END { exit !found }' <<<"$sequence" || fail "the user's data would be removed without being asked for"
# Each removal runs once: after the rest has succeeded, or in the script
# where the machine's policy disables rollback (and runs no commit action).
for action in $removals; do
  awk -F'\t' -v name="$action" '$1 == name && $2 ~ / AND NOT RollbackDisabled$/ { found = 1 } END { exit !found }' \
    <<<"$sequence" || fail "$action would run beside its twin"
  awk -F'\t' -v name="${action}Now" '$1 == name && $2 ~ /[^T] RollbackDisabled$/ { found = 1 } END { exit !found }' \
    <<<"$sequence" || fail "$action does not run where rollback is disabled"
done

# What the actions run, and when: the removals once the rest has succeeded.
actions="$(rows CustomAction)"
action_is() {  # name type target (passed through the environment: awk -v would read its backslashes)
  NAME="$1" TYPE="$2" TARGET="$3" awk -F'\t' '$1 == ENVIRON["NAME"] && $2 == ENVIRON["TYPE"] && $4 == ENVIRON["TARGET"] { found = 1 }
       END { exit !found }' <<<"$actions" || fail "the action $1 is not type $2 running $3"
}
removal_is() {  # name commit-type target: the commit action and its twin in the script
  action_is "$1" "$2" "$3"
  action_is "$1Now" $(($2 - 512)) "$3"
}
# No removal's exit code is ignored (type +64): a removal that fails says so.
# The resident instance is ended as the installing user, whose it is; the
# shared folder is taken over as the system.
action_is ShutdownResident 1042 '/shutdown'
action_is TakeOverSharedFolder 3090 '/take-over-shared-folder "[TidewhistleData]\"'
removal() { echo "\"[System64Folder]cmd.exe\" /d /c reg.exe delete $1 /f >nul 2>&1 & reg.exe query $1 >nul 2>&1 & if errorlevel 1 (exit 0) else (exit 1)"; }
removal_is RemoveMachineRunEntry 3618 \
  "$(removal '"HKLM\Software\Microsoft\Windows\CurrentVersion\Run" /v "Hollowmere Tidewhistle"')"
removal_is RemoveUserRunEntry 1570 \
  "$(removal '"HKCU\Software\Microsoft\Windows\CurrentVersion\Run" /v "Hollowmere Tidewhistle"')"
removal_is RemoveSettingsKey 3618 "$(removal '"HKLM\Software\Hollowmere\Tidewhistle"')"
# The task folder goes by the program's own rules, from the package's copy
# of the program (the installed one is gone when it runs); never by "rd /s".
removal_is RemoveUserData 3586 '/remove-task-folder "[TidewhistleData]\"'
awk -F'\t' '$1 ~ /^RemoveUserData(Now)?$/ && $3 == "TaskFolderRemoval" { found++ } END { exit found != 2 }' \
  <<<"$actions" || fail "the task folder is not removed by the package's copy of the program"
# (Its streams listed, not exported: an export writes them out into the current folder.)
msiinfo streams "$msi" | tr -d '\r' | grep -qx 'Binary.TaskFolderRemoval' ||
  fail "the package holds no copy of the program for the uninstall"
awk -F'\t' '$4 ~ /rd \/s|del / { exit 1 }' <<<"$actions" || fail "an action deletes with rd or del"
awk -F'\t' '$1 ~ /^Remove(MachineRunEntry|UserRunEntry|SettingsKey|UserData)(Now)?$|^ShutdownResident$|^TakeOverSharedFolder$/ && int($2 / 64) % 2 == 1 { exit 1 }' \
  <<<"$actions" || fail "a removal's failure would be ignored"
for action in RemoveMachineRunEntry RemoveUserRunEntry RemoveSettingsKey; do
  for name in "$action" "${action}Now"; do
    awk -F'\t' -v name="$name" '$1 == name && $2 ~ / AND NOT UPGRADINGPRODUCTCODE AND / { found = 1 } END { exit !found }' \
      <<<"$sequence" || fail "$name would run in an upgrade too"
  done
done
# The data folder cannot be named from a command line (a private property).
rows Directory | awk -F'\t' '$1 == "TidewhistleData" && $2 == "DataVendorFolder" && $3 == "Tidewhistle" { found = 1 }
                              END { exit !found }' || fail "the data folder is not where it should be"

locks="$(rows MsiLockPermissionsEx)"
grep -q $'\tTidewhistleData\tCreateFolder\tD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)' \
  <<<"$locks" || fail "the administrators' task folder's access is not as meant"
grep -q $'\tDataVendorFolder\tCreateFolder\tD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)' \
  <<<"$locks" || fail "users could write the folder above the administrators' task folder"
# No folder the package makes grants anyone but the system and the
# administrators any right to write, append, write attributes or extended
# attributes, delete entries or themselves, or change access or owner
# (0x2 0x4 0x10 0x40 0x100 0x10000 0x40000 0x80000), in any of SDDL's forms:
# a number, rights letters, or the generic rights (all, write, the most
# allowed). An unknown letter counts as writing.
ace_mask() {  # the rights of an ACE as SDDL writes them -> a number, or -1
  local text="$1" value=0 token bits
  if [[ "$text" =~ ^0[xX][0-9a-fA-F]+$ ]]; then echo $((text)); return; fi
  if [[ "$text" =~ ^[0-9]+$ ]]; then echo $((10#$text)); return; fi
  while [ -n "$text" ]; do
    token="${text:0:2}"
    text="${text:2}"
    case "$token" in
      GA) bits=0x10000000 ;; GX) bits=0x20000000 ;; GW) bits=0x40000000 ;; GR) bits=0x80000000 ;;
      SD) bits=0x10000 ;; RC) bits=0x20000 ;; WD) bits=0x40000 ;; WO) bits=0x80000 ;;
      CC) bits=0x1 ;; DC) bits=0x2 ;; LC) bits=0x4 ;; SW) bits=0x8 ;; RP) bits=0x10 ;; WP) bits=0x20 ;;
      DT) bits=0x40 ;; LO) bits=0x80 ;; CR) bits=0x100 ;;
      FA) bits=0x1F01FF ;; FR) bits=0x120089 ;; FW) bits=0x120116 ;; FX) bits=0x1200A0 ;;
      *) echo -1; return ;;
    esac
    value=$((value | bits))
  done
  echo "$value"
}
writing_aces() {  # SDDL -> every allowing ACE that lets another than SY or BA write
  grep -oE '\((A|OA);[^)]*\)' <<<"$1" | while read -r ace; do
    trustee="$(cut -d';' -f6 <<<"${ace%)}")"
    case "$trustee" in SY|BA|S-1-5-18|S-1-5-32-544) continue ;; esac
    mask="$(ace_mask "$(cut -d';' -f3 <<<"$ace")")"
    (( mask < 0 || (mask & 0x520D0156) != 0 )) && echo "$ace"
  done
}
while read -r sddl; do
  [ -n "$sddl" ] && writing_aces "$sddl"
done < <(cut -f4 <<<"$locks") | grep -q . && fail "the package lets others than the administrators write a folder it makes"
# The check itself, on access lists that must each be caught.
for sample in '(A;;0x10000000;;;BU)' '(A;;0x40000000;;;BU)' '(A;;LCRPDTCR;;;BU)' '(A;OICI;FA;;;WD)' \
              '(A;;FA;;;AU)' '(A;;0x1200a9;;;S-1-5-32-545)(A;;FW;;;S-1-5-32-545)' '(A;;XY;;;BU)' '(A;;0x2000000;;;BU)'; do
  writing_aces "D:P$sample" | grep -q . || fail "the access check misses $sample"
done
writing_aces 'D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)' | grep -q . &&
  fail "the access check refuses read access"

rows Upgrade | awk -F'\t' '$7 == "WIX_UPGRADE_DETECTED" && $5 == 513 { found = 1 } END { exit !found }' ||
  fail "an older or same-version package would not be replaced"
rows Property | grep -q $'^ALLUSERS\t1$' || fail "the package does not install per machine"

[ "$failures" -eq 0 ] || exit 1
echo "check-package: $msi is as meant"
