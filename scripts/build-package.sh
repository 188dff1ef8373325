#!/usr/bin/env bash
# Builds the Windows Installer package of the program laid out in BUILD/dist:
#   scripts/build-package.sh BUILD [VERSION [OUTPUT]]
# VERSION defaults to the program's own (common/version.h); OUTPUT to
# BUILD/Tidewhistle-<version>.msi. The policy templates are copied beside the
# package, into BUILD/PolicyDefinitions.
#
# wixl checks nothing of the tables it writes, so the script reads the built
# package back with msiinfo and fails when a table that matters is not as
# meant (every file a 64-bit component with its key path, the settings key,
# the shortcut, the custom actions).
set -euo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")/.." && pwd)"
version="${2:-$(sed -n 's/^#define TW_VERSION_TEXT "\(.*\)"$/\1/p' "$here/common/version.h")}"
output="${3:-$build/Tidewhistle-$version.msi}"
if ! [[ "$version" =~ ^[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,5}(\.[0-9]{1,5})?$ ]]; then
  echo "build-package: '$version' is not a version" >&2
  exit 1
fi

work="$build/package"
stage="$work/stage"
rm -rf "$work"
mkdir -p "$stage"

# Only what the program ships: the two modules and the data files the
# source tree's data/ names, as the build copied them into its program
# folder (which may also hold task files and traces of runs, nobody's to
# install).
cp "$build/dist/Tidewhistle.exe" "$build/dist/Sweepkit.dll" "$stage/"
cp "$here/ui/res/tidewhistle.ico" "$stage/"
cp "$here/installer/policies/Tidewhistle.admx" "$stage/"
cp "$here/installer/policies/en-US/Tidewhistle.adml" "$stage/"
data_files=()
for file in "$here"/data/*.ini; do
  name="$(basename "$file")"
  cp "$build/dist/$name" "$stage/$name"
  data_files+=("$name")
done

# A component per data file, its GUID made from its name so that the same
# file keeps its component from one release to the next.
component_guid() {
  local hash
  hash="$(printf 'Hollowmere Tidewhistle data file %s' "$1" | md5sum | cut -c1-32 | tr a-f A-F)"
  echo "${hash:0:8}-${hash:8:4}-4${hash:13:3}-8${hash:17:3}-${hash:20:12}"
}
{
  echo '<?xml version="1.0" encoding="utf-8"?>'
  echo '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Fragment>'
  echo '  <DirectoryRef Id="INSTALLDIR">'
  index=0
  for name in "${data_files[@]}"; do
    index=$((index + 1))
    echo "    <Component Id=\"DataFile$index\" Guid=\"$(component_guid "$name")\" Win64=\"yes\">"
    echo "      <File Id=\"DataFile$index\" Name=\"$name\" Source=\"\$(var.StageDir)/$name\" KeyPath=\"yes\" />"
    echo "    </Component>"
  done
  echo '  </DirectoryRef>'
  echo '  <ComponentGroup Id="DataFiles">'
  for i in $(seq 1 "$index"); do echo "    <ComponentRef Id=\"DataFile$i\" />"; done
  echo '  </ComponentGroup>'
  echo '</Fragment></Wix>'
} > "$work/datafiles.wxs"

# wixl resolves Source paths against the folder it runs in.
cp "$here/installer/Tidewhistle.wxs" "$work/"
(cd "$work" && wixl -a x64 -D Version="$version" -D StageDir=stage -o package.msi Tidewhistle.wxs datafiles.wxs)

sql() { msibuild "$work/package.msi" -q "$1"; }

# Uninstall. The installing user's resident instance ends first, while its
# files are still there (the "/shutdown" process waits for it); it runs as
# that user, since each user's instance answers only its own user. Another
# user's instance holds its program file, which Windows Installer then
# replaces or removes at the next restart, as with any file in use. Then,
# once the program is gone and nothing can write them again, what the
# program wrote itself: the Run entries and the settings key. The old
# product's removal inside an upgrade keeps them (the user's automatic-start
# choice), and the administrators' task folder goes only when
# REMOVEUSERDATA=1 asks for it.
# Types: 2 a program stored in the package, 18 a program installed by the
# package, 34 a program in a folder,
# 51 a property set; +64 its exit code ignored, +1024 deferred, +512 only
# once the rest has succeeded (a removal that is rolled back keeps the
# settings and the data), +2048 as the system account. Every removal's exit
# code counts: one that fails makes the uninstall end with an error, which
# its log names (the files already removed stay removed: the installer rolls
# back only what its own script did). Where the machine's policy disables
# rollback, the installer runs no commit action, so each removal has a twin
# that runs in the script instead.
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
user_run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall='REMOVE="ALL"'
uninstall_only='REMOVE="ALL" AND NOT UPGRADINGPRODUCTCODE'
installing='NOT REMOVE~="ALL"'
add_action() {  # name type source target condition sequence (no single quotes in any)
  sql "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('$1', $2, '$3', '$4')"
  sql "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('$1', '$5', $6)"
}
add_removal() {  # name commit-type source target condition sequence
  add_action "$1" "$2" "$3" "$4" "$5 AND NOT RollbackDisabled" "$6"
  add_action "$1Now" $(($2 - 512)) "$3" "$4" "$5 AND RollbackDisabled" "$6"
}
# A removal that succeeds when what it removes is gone, whether it was
# there or not: the command removes, then looks again, and ends with 1 only
# when it is still there. (Wine's cmd runs "a && b || c" wrongly; "if
# errorlevel" it runs right.) The action's working folder is the system
# folder, where cmd finds reg.exe before it looks anywhere else.
removal() {  # what-to-delete what-to-query
  echo "\"[System64Folder]cmd.exe\" /d /c reg.exe delete $1 /f >nul 2>&1 & reg.exe query $2 >nul 2>&1 & if errorlevel 1 (exit 0) else (exit 1)"
}
add_action ShutdownResident 1042 TidewhistleExe '/shutdown' "$uninstall" 1510
add_removal RemoveMachineRunEntry 3618 System64Folder \
  "$(removal "\"$run_key\" /v \"Hollowmere Tidewhistle\"" "\"$run_key\" /v \"Hollowmere Tidewhistle\"")" "$uninstall_only" 3510
add_removal RemoveUserRunEntry 1570 System64Folder \
  "$(removal "\"$user_run_key\" /v \"Hollowmere Tidewhistle\"" "\"$user_run_key\" /v \"Hollowmere Tidewhistle\"")" "$uninstall_only" 3511
add_removal RemoveSettingsKey 3618 System64Folder \
  "$(removal '"HKLM\Software\Hollowmere\Tidewhistle"' '"HKLM\Software\Hollowmere\Tidewhistle"')" "$uninstall_only" 3512
# The administrators' task folder: the program, as the system, deletes its
# own files in it by name (never "rd /s", which under Wine enters a link to a
# folder and empties what it leads to), and the folder once nothing else is
# left (see app/taskfolderremoval.h). The installed program is gone by then:
# the package's own copy of it runs (type 2, from the Binary table).
add_removal RemoveUserData 3586 TaskFolderRemoval '/remove-task-folder "[TidewhistleData]\"' \
  "$uninstall_only AND REMOVEUSERDATA=\"1\"" 3513

# An older installation's shared data folder is now the administrators'
# task folder: once its access is set (CreateFolders) and the program is in
# place, the program, as the system, deletes the history every user's runs
# left there and writes each task anew as the system's own (see
# app/sharedfolder.h). Never "del", which deletes what a link leads to. A
# task it cannot make safe fails the installation, which keeps the older one.
# (The folder ends in a separator: doubled before the closing quote, it is
# read as one.)
add_action TakeOverSharedFolder 3090 TidewhistleExe '/take-over-shared-folder "[TidewhistleData]\"' "$installing" 4010

# Each setting a found value did not give is set to its default, right after
# the searches.
app_search="$(msiinfo export "$work/package.msi" InstallExecuteSequence | tr -d '\r' | awk -F'\t' '$1 == "AppSearch" { print $3 }')"
default_setting() {  # property value
  sql "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('Default$1', 51, '$1', '$2')"
  sql "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('Default$1', 'NOT $1', $((app_search + 1)))"
}
default_setting SETTINGDEBUGLOGLEVEL '#0'
default_setting SETTINGTASKSTOPTIMEOUT '#15'
default_setting SETTINGTASKSTARTTIMEOUT '#10'
default_setting SETTINGUPDATEPERIOD '#60'
default_setting SETTINGEXECUTEPERIOD '#1'
default_setting SETTINGBROWSERCLOSEINTERVAL '#120'
default_setting SETTINGONLINEHELPURL 'https://hollowmere.example/tw_docs.html'
default_setting SETTINGSUPPORTURL 'https://hollowmere.example/support_ticket.php'
default_setting SETTINGDATAFOLDER '%LOCALAPPDATA%\Hollowmere\Tidewhistle'
# The folders are known once the costs are: the administrators' task folder
# by default, and the shared data folder of an older installation (written
# with or without its closing separator) is each user's own folder now.
cost_finalize="$(msiinfo export "$work/package.msi" InstallExecuteSequence | tr -d '\r' | awk -F'\t' '$1 == "CostFinalize" { print $3 }')"
folder_action() {  # name property value condition
  sql "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('$1', 51, '$2', '$3')"
  sql "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('$1', '$4', $((cost_finalize + 1)))"
}
folder_action DefaultSETTINGMACHINETASKFOLDER SETTINGMACHINETASKFOLDER '[TidewhistleData]' 'NOT SETTINGMACHINETASKFOLDER'
folder_action ForgetSharedDataFolder SETTINGDATAFOLDER '%LOCALAPPDATA%\Hollowmere\Tidewhistle' \
  'SETTINGDATAFOLDER ~= TidewhistleData OR (TidewhistleData ~<< SETTINGDATAFOLDER AND SETTINGDATAFOLDER ~>> "\Hollowmere\Tidewhistle")'


# A package of the same version replaces its twin (a rebuilt package):
# the upgrade row's highest version counts as included.
# (Attributes is part of the row's key: the row is replaced, not updated.)
upgrade_code="$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' "$here/installer/Tidewhistle.wxs")"
sql "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
sql "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('{$upgrade_code}', '$version', 513, 'WIX_UPGRADE_DETECTED')"

# Passed on to the part of the installation that runs as the system, also
# when a standard user's installation is elevated by policy.
secure='WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;REMOVEUSERDATA;AUTORUNCHOICE;LOCKTASKSCHOICE'
secure="$secure;SETTINGDEBUGLOGLEVEL;SETTINGTASKSTOPTIMEOUT;SETTINGTASKSTARTTIMEOUT;SETTINGUPDATEPERIOD"
secure="$secure;SETTINGBROWSERCLOSEINTERVAL;SETTINGEXECUTEPERIOD;SETTINGONLINEHELPURL;SETTINGSUPPORTURL;SETTINGDATAFOLDER;SETTINGMACHINETASKFOLDER"
sql "UPDATE \`Property\` SET \`Value\` = '$secure' WHERE \`Property\` = 'SecureCustomProperties'"

# A plain shortcut to the program, not an advertised one (which would check
# and repair the installation at every start, asking a standard user for an
# administrator's rights when anything is missing).
sql "UPDATE \`Shortcut\` SET \`Target\` = '[#TidewhistleExe]' WHERE \`Shortcut\` = 'ConsoleShortcut'"

# The user's automatic-start choice is written back only when an older
# installation left one.
sql "UPDATE \`Component\` SET \`Condition\` = 'AUTORUNCHOICE' WHERE \`Component\` = 'AutoRunChoice'"
sql "UPDATE \`Component\` SET \`Condition\` = 'LOCKTASKSCHOICE' WHERE \`Component\` = 'LockTasksChoice'"

# Access, by well-known SIDs (names differ by language): Administrators and
# SYSTEM full control everywhere; Users only read (and pass through) the
# administrators' task folder and the vendor folder above it: no user may
# change another's tasks, plant one, or put a link where a folder is.
lock_table='CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, `LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `SDDLText` CHAR(0) NOT NULL LOCALIZABLE, `Condition` CHAR(255) PRIMARY KEY `MsiLockPermissionsEx`)'
sql "$lock_table"
admins_and_system='(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)'
sql "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \`Table\`, \`SDDLText\`) VALUES ('DataFolderAccess', 'TidewhistleData', 'CreateFolder', 'D:PAI${admins_and_system}(A;OICI;0x1200a9;;;BU)')"
sql "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \`Table\`, \`SDDLText\`) VALUES ('VendorFolderAccess', 'DataVendorFolder', 'CreateFolder', 'D:PAI${admins_and_system}(A;OICI;0x1200a9;;;BU)')"

"$here/scripts/check-package.sh" "$work/package.msi" "${#data_files[@]}"

mv "$work/package.msi" "$output"
mkdir -p "$build/PolicyDefinitions/en-US"
cp "$here/installer/policies/Tidewhistle.admx" "$build/PolicyDefinitions/"
cp "$here/installer/policies/en-US/Tidewhistle.adml" "$build/PolicyDefinitions/en-US/"
echo "Built $output"
