// The installer package under Wine, in a prefix of its own: what an install
// lays down, a task run by the installed program, an upgrade over a user's
// tasks, an uninstall with the resident instance running, and policy over
// the installed program. Every case starts from a machine without the
// product.
#include "build_paths.h"
#include "support/eventually.h"
#include "support/program_runner.h"
#include "support/registry_fixture.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"
#include "support/unix_side.h"
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "common/handles.h"
#include "common/namedevent.h"
#include "common/version.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kPolicyKey[] = "Software\\Policies\\Hollowmere\\Tidewhistle";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The name the program gives the event its resident instance holds.
const char kInstanceEventName[] = "HOTW_53E27782CE9741EDB43D91DD650C79D6";

std::string CurrentPackage() { return std::string(kTestPackageFolder) + "\\Tidewhistle-current.msi"; }
std::string NewerPackage() { return std::string(kTestPackageFolder) + "\\Tidewhistle-newer.msi"; }

std::string NewerVersion()
{
    std::ostringstream text;
    text << TW_VERSION_MAJOR << '.' << TW_VERSION_MINOR << '.' << TW_VERSION_BUILD + 1 << '.' << TW_VERSION_REVISION;
    return text.str();
}

std::string ShellFolder(int id)
{
    char path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path))) return std::string();
    return path;
}

std::string InstallFolder() { return ShellFolder(CSIDL_PROGRAM_FILES) + "\\Hollowmere\\Tidewhistle"; }
std::string InstalledProgram() { return InstallFolder() + "\\Tidewhistle.exe"; }
// The administrators' tasks (an older installation's shared data folder).
std::string MachineFolder() { return ShellFolder(CSIDL_COMMON_APPDATA) + "\\Hollowmere\\Tidewhistle"; }
// The user's own tasks and history.
std::string UserFolder() { return ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Hollowmere\\Tidewhistle"; }

// Windows puts a per-machine package's shortcut in every user's Start menu;
// Wine's installer puts it in the installing user's.
std::vector<std::string> StartMenuShortcuts()
{
    return {ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Tidewhistle.lnk", ShellFolder(CSIDL_PROGRAMS) + "\\Tidewhistle.lnk"};
}
std::string StartMenuShortcut()
{
    for (const std::string& shortcut : StartMenuShortcuts()) {
        if (FileExists(shortcut)) return shortcut;
    }
    return std::string();
}

// msiexec with its own command line (it reads switches, not quoted words).
DWORD RunMsiexec(const std::string& arguments)
{
    std::string commandLine = "msiexec.exe " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!StartAgainIfWineFailed(commandLine, [&] {
            return ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                    &process);
        })) {
        return ::GetLastError();
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    if (::WaitForSingleObject(process.hProcess, 180000) != WAIT_OBJECT_0) return ERROR_TIMEOUT;
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    return code;
}

DWORD Install(const std::string& package) { return RunMsiexec("/i \"" + package + "\" /qn"); }
DWORD Uninstall(const std::string& package, const std::string& properties = std::string())
{
    return RunMsiexec("/x \"" + package + "\" /qn" + (properties.empty() ? "" : " " + properties));
}

DWORD DwordOf(const std::string& name)
{
    RegValue value;
    if (!ReadRegValue(HKEY_LOCAL_MACHINE, kProgramSettingsKey, name, &value) || value.type != REG_DWORD ||
        value.data.size() != 4) {
        return 0xFFFFFFFF;
    }
    return *reinterpret_cast<const DWORD*>(value.data.data());
}

// The Programs and Features entries of the product: DisplayVersion by entry.
std::vector<std::string> InstalledVersions()
{
    std::vector<std::string> versions;
    HKEY uninstall = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &uninstall) != ERROR_SUCCESS) return versions;
    UniqueRegKey owner(uninstall);
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof name;
        if (::RegEnumKeyExA(uninstall, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::string entry = std::string(kUninstallKey) + "\\" + name;
        std::string displayName;
        std::string version;
        if (ReadRegString(HKEY_LOCAL_MACHINE, entry, "DisplayName", &displayName) &&
            displayName == "Hollowmere Tidewhistle" && ReadRegString(HKEY_LOCAL_MACHINE, entry, "DisplayVersion", &version)) {
            versions.push_back(version);
        }
    }
    return versions;
}

// Every file below a folder with its size and last write: what a run would
// change if it wrote there.
std::map<std::string, std::string> FolderSnapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (const auto& inner : FolderSnapshot(path)) files.insert(inner);
            files[path] = "folder";
        } else {
            std::ostringstream state;
            state << found.nFileSizeLow << ' ' << found.ftLastWriteTime.dwLowDateTime << ' '
                  << found.ftLastWriteTime.dwHighDateTime;
            files[path] = state.str();
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return files;
}

// The program file a shortcut starts.
std::string ShortcutTarget(const std::string& shortcut)
{
    std::string target;
    IShellLinkA* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link)))) {
        return target;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        const std::wstring widePath(shortcut.begin(), shortcut.end());
        char path[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(widePath.c_str(), STGM_READ)) &&
            SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0))) {
            target = path;
        }
        file->Release();
    }
    link->Release();
    return target;
}

bool ResidentRunning()
{
    return OpenNamedEvent(SYNCHRONIZE, kInstanceEventName).IsValid();
}

// A task file as the console writes it, with a keep list.
std::string TaskFileText(const std::string& name, const std::string& enabledItem)
{
    return "TaskName=" + name +
           "\r\nScheduleEnabled=0\r\nBaseScheduleTime=2026/ 1/ 1  9: 0: 0\r\nRunOnceTime=2026/ 1/ 1  9: 0: 0\r\n"
           "RunAtStartup=0\r\nRunAtShutdown=0\r\nScheduleType=0\r\nRunEveryNumber=1\r\nRunEveryUnit=1\r\n"
           "ExtendedDataCount=1\r\nExtendedData_GUID=" + GuidToString(kCookieKeepListKey) + "\r\n"
           "ExtendedData_Value=2:\"1:sid\"\"1:pref\"\r\n"
           "EnabledTask=" + enabledItem + "\r\nEnabledTask=5D793A96-4BF6-495E-A8AF-299E203194B6\r\n";
}

// The inventory's "Run Dialog History": clears the Run dialog's list.
const char kRunHistoryItem[] = "DB2E6ED8-60BA-4B77-ADB0-9239B2EF38F6";
const char kRunHistoryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";

class Installer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::CoInitialize(nullptr); }

    void SetUp() override { RemoveEverything(); }
    void TearDown() override
    {
        if (resident.Handle() != nullptr && !resident.Wait(0)) resident.Kill();
        RemoveEverything();
    }

    // A machine without the product: whichever package is installed goes,
    // and what a failed case may have left.
    static void RemoveEverything()
    {
        for (int attempt = 0; attempt < 2 && !InstalledVersions().empty(); ++attempt) {
            Uninstall(NewerPackage());
            Uninstall(CurrentPackage());
        }
        RemoveTree(ShellFolder(CSIDL_COMMON_APPDATA) + "\\Hollowmere");
        RemoveTree(ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Hollowmere");
        RemoveTree(ShellFolder(CSIDL_PROGRAM_FILES) + "\\Hollowmere");
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Hollowmere");
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Hollowmere");
        DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
        DeleteRegValue(HKEY_CURRENT_USER, kRunKey, kRunValueName);
    }

    static void ExpectSameFile(const std::string& installed, const std::string& built)
    {
        std::string installedBytes;
        std::string builtBytes;
        ASSERT_TRUE(ReadWholeFile(installed, &installedBytes)) << installed;
        ASSERT_TRUE(ReadWholeFile(built, &builtBytes)) << built;
        EXPECT_TRUE(installedBytes == builtBytes) << installed << " differs from " << built;
    }

    ChildProcess resident;
};

}  // namespace

TEST_F(Installer, ASilentInstallLaysDownEveryFileTheShortcutAndTheSettingsKeyAndStartsNothing)
{
    ASSERT_EQ(Install(CurrentPackage()), 0u);

    std::vector<std::string> shipped = {"Tidewhistle.exe", "Sweepkit.dll"};
    std::istringstream dataFiles(kShippedDataFiles);
    for (std::string name; std::getline(dataFiles, name, ';');) shipped.push_back(name);
    ASSERT_GT(shipped.size(), 3u);
    for (const std::string& name : shipped) {
        ExpectSameFile(InstallFolder() + "\\" + name, std::string(kBuiltProgramFolder) + "\\" + name);
    }
    EXPECT_TRUE(FileExists(InstallFolder() + "\\PolicyDefinitions\\Tidewhistle.admx"));
    EXPECT_TRUE(FileExists(InstallFolder() + "\\PolicyDefinitions\\en-US\\Tidewhistle.adml"));

    EXPECT_EQ(ShortcutTarget(StartMenuShortcut()), InstalledProgram());
    EXPECT_FALSE(FileExists(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Tidewhistle.lnk"));
    EXPECT_FALSE(FileExists(ShellFolder(CSIDL_DESKTOPDIRECTORY) + "\\Tidewhistle.lnk"));

    // The settings with their defaults, in the 64-bit view of the registry.
    EXPECT_EQ(DwordOf("DebugLogLevel"), 0u);
    EXPECT_EQ(DwordOf("TaskStopTimeout"), 15u);
    EXPECT_EQ(DwordOf("TaskStartTimeout"), 10u);
    EXPECT_EQ(DwordOf("TaskScheduleUpdatePeriod"), 60u);
    EXPECT_EQ(DwordOf("TaskScheduleExecutePeriod"), 1u);
    EXPECT_EQ(DwordOf("BrowserCloseRunInterval"), 120u);
    std::string text;
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "OnlineHelpUrl", &text));
    EXPECT_EQ(text, "https://hollowmere.example/tw_docs.html");
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "SupportUrl", &text));
    EXPECT_EQ(text, "https://hollowmere.example/support_ticket.php");
    // Each user's data in that user's profile; the administrators' tasks in
    // the machine's folder.
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "DataFolder", &text));
    EXPECT_EQ(text, "%LOCALAPPDATA%\\Hollowmere\\Tidewhistle");
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "MachineTaskFolder", &text));
    EXPECT_EQ(text, MachineFolder() + "\\");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Hollowmere"));
    // Laid down to last: a volatile key takes no lasting subkey.
    HKEY child = nullptr;
    EXPECT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Hollowmere\\Tidewhistle\\Probe", 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &child, nullptr),
              ERROR_SUCCESS);
    if (child) ::RegCloseKey(child);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Hollowmere\\Tidewhistle\\Probe");

    EXPECT_EQ(InstalledVersions(), std::vector<std::string>{TW_VERSION_TEXT});
    const DWORD attributes = ::GetFileAttributesA(MachineFolder().c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));

    // Nothing runs and nothing starts at logon until the program first runs.
    EXPECT_FALSE(ResidentRunning());
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValueName));
}

TEST_F(Installer, TheInstalledProgramKeepsAUsersFilesInThatUsersProfileAndRunsTheAdministratorsTasksForThem)
{
    ASSERT_EQ(Install(CurrentPackage()), 0u);
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "DebugLogLevel", 20));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "AutoRun", 0));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunHistoryKey, "a", "notepad\\1"));
    // The user's own task, and one the administrators give every user.
    ASSERT_TRUE(MakeFolders(UserFolder()));
    ASSERT_TRUE(WriteWholeFile(UserFolder() + "\\Installed.tsk", TaskFileText("Installed", kRunHistoryItem)));
    const std::string machineTask = TaskFileText("Everyone", kRunHistoryItem);
    ASSERT_TRUE(WriteWholeFile(MachineFolder() + "\\Everyone.tsk", machineTask));
    const auto program = FolderSnapshot(InstallFolder());
    ASSERT_FALSE(program.empty());

    DWORD exitCode = 1;
    ASSERT_TRUE(RunToEnd(InstalledProgram(), {"/preview", "Installed"}, 120000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(FileExists(UserFolder() + "\\Installed.preview.txt"));
    ASSERT_TRUE(RunToEnd(InstalledProgram(), {"Installed"}, 120000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunHistoryKey, "a"));  // the task did run
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunHistoryKey, "b", "notepad\\1"));
    ASSERT_TRUE(RunToEnd(InstalledProgram(), {"Everyone"}, 120000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunHistoryKey, "b"));  // as this user

    // Everything the runs wrote is the user's, in the user's profile.
    for (const char* name : {"Installed.log_file", "Everyone.log_file", "Installed.preview_log", "tw_debug.log"})
        EXPECT_TRUE(FileExists(UserFolder() + "\\" + name)) << name;
    std::string trace;
    ASSERT_TRUE(ReadWholeFile(UserFolder() + "\\tw_debug.log", &trace));
    EXPECT_NE(trace.find("Sweepkit.dll"), std::string::npos);  // the plug-in traces there too
    std::string text;
    ASSERT_TRUE(ReadWholeFile(MachineFolder() + "\\Everyone.tsk", &text));
    EXPECT_EQ(text, machineTask);
    EXPECT_EQ(FolderSnapshot(MachineFolder()).size(), 1u) << "a user's run wrote into the machine's folder";
    EXPECT_EQ(FolderSnapshot(InstallFolder()), program);
}

TEST_F(Installer, AnUpgradeFromTheSharedFolderKeepsEveryTaskAndEverySettingAndRemovesTheSharedHistory)
{
    ASSERT_EQ(Install(CurrentPackage()), 0u);
    // What an installation with one shared data folder left: every user's
    // tasks and their histories in it, and settings changed since.
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "DataFolder", MachineFolder() + "\\"));
    const std::string defaultTask = TaskFileText("default", kRunHistoryItem);
    const std::string sharedTask = TaskFileText("Evenings", kRunHistoryItem);
    ASSERT_TRUE(WriteWholeFile(MachineFolder() + "\\default.tsk", defaultTask));
    ASSERT_TRUE(WriteWholeFile(MachineFolder() + "\\Evenings.tsk", sharedTask));
    const std::vector<std::string> history = {"Evenings.log_file", "Evenings.preview.txt", "TS_LRT_Evenings.dat",
                                              "tw_debug.log", "default.log_file"};
    for (const std::string& name : history) ASSERT_TRUE(WriteWholeFile(MachineFolder() + "\\" + name, "private"));
    // And what a user could put in that folder: links at history names to a
    // folder and a file elsewhere, and a task that is a hard link.
    ScratchFolder elsewhere;
    ASSERT_TRUE(MakeFolders(elsewhere.File("kept")));
    ASSERT_TRUE(WriteWholeFile(elsewhere.File("kept\\inside.txt"), "precious"));
    ASSERT_TRUE(WriteWholeFile(elsewhere.File("target.txt"), "precious"));
    ASSERT_TRUE(WriteWholeFile(elsewhere.File("hard.tsk"), sharedTask));
    const bool links = !UnixPathOf("C:\\").empty();
    if (links) {
        ASSERT_TRUE(MakeFolderLink(elsewhere.File("kept"), MachineFolder() + "\\tw_debug.log.1"));
        ASSERT_TRUE(MakeFileLink(elsewhere.File("target.txt"), MachineFolder(), "Planted.preview_log"));
    }
    ASSERT_TRUE(::CreateHardLinkA((MachineFolder() + "\\Hard.tsk").c_str(), elsewhere.File("hard.tsk").c_str(), nullptr));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "AutoRun", 0));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "TaskStopTimeout", 40));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "DebugLogLevel", 20));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "LockTasks", 0));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "OnlineHelpUrl", "https://help.example/tw"));

    ASSERT_EQ(Install(NewerPackage()), 0u);

    EXPECT_EQ(InstalledVersions(), std::vector<std::string>{NewerVersion()});
    EXPECT_EQ(ShortcutTarget(StartMenuShortcut()), InstalledProgram());
    // Every task stays, now the administrators'; the shared history goes.
    std::string text;
    ASSERT_TRUE(ReadWholeFile(MachineFolder() + "\\default.tsk", &text));
    EXPECT_EQ(text, defaultTask);
    ASSERT_TRUE(ReadWholeFile(MachineFolder() + "\\Evenings.tsk", &text));
    EXPECT_EQ(text, sharedTask);
    for (const std::string& name : history) EXPECT_FALSE(FileExists(MachineFolder() + "\\" + name)) << name;
    // Nothing a link led to went; the hard link lost its name there only.
    for (const char* canary : {"kept\\inside.txt", "target.txt", "hard.tsk"}) {
        ASSERT_TRUE(ReadWholeFile(elsewhere.File(canary), &text)) << canary;
        EXPECT_EQ(text, std::string(canary) == "hard.tsk" ? sharedTask : "precious") << canary;
    }
    EXPECT_FALSE(FileExists(MachineFolder() + "\\Hard.tsk"));
    if (links) {
        for (const char* link : {"tw_debug.log.1", "Planted.preview_log"}) {
            RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(MachineFolder()) + "/" + link + "\"");
        }
        EXPECT_TRUE(Eventually([] { return !FileExists(MachineFolder() + "\\Planted.preview_log"); }, kAppearTimeout));
    }
    // Every setting that was set stays; the folders are the new installation's.
    EXPECT_EQ(DwordOf("AutoRun"), 0u);
    EXPECT_EQ(DwordOf("TaskStopTimeout"), 40u);
    EXPECT_EQ(DwordOf("DebugLogLevel"), 20u);
    EXPECT_EQ(DwordOf("LockTasks"), 0u);
    EXPECT_EQ(DwordOf("TaskStartTimeout"), 10u);
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "OnlineHelpUrl", &text));
    EXPECT_EQ(text, "https://help.example/tw");
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "DataFolder", &text));
    EXPECT_EQ(text, "%LOCALAPPDATA%\\Hollowmere\\Tidewhistle");

    // The user's resident instance makes the user's default task from the
    // shared one, so that its schedule goes on running.
    ASSERT_TRUE(resident.Start(InstalledProgram(), {"/tray"}));
    ASSERT_TRUE(Eventually([] { return FileExists(UserFolder() + "\\default.tsk"); }, kAppearTimeout));
    ASSERT_TRUE(RunToEnd(InstalledProgram(), {"/shutdown"}));
    EXPECT_TRUE(resident.Wait(30000));
    ASSERT_TRUE(ReadWholeFile(UserFolder() + "\\default.tsk", &text));
    EXPECT_NE(text.find("ExtendedData_Value=2:\"1:sid\"\"1:pref\""), std::string::npos) << text;
}

TEST_F(Installer, AnUpgradeKeepsTheFoldersAnAdministratorSet)
{
    ASSERT_EQ(Install(CurrentPackage()), 0u);
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "DataFolder", "C:\\Data\\%USERNAME%\\Tidewhistle"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "MachineTaskFolder", "C:\\AdminTasks"));

    ASSERT_EQ(Install(NewerPackage()), 0u);

    std::string text;
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "DataFolder", &text));
    EXPECT_EQ(text, "C:\\Data\\%USERNAME%\\Tidewhistle");
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "MachineTaskFolder", &text));
    EXPECT_EQ(text, "C:\\AdminTasks");
}

TEST_F(Installer, UninstallEndsTheResidentInstanceAndRemovesTheProgramTheRunEntryAndTheKeyButNotTheTasks)
{
    ASSERT_EQ(Install(CurrentPackage()), 0u);
    const std::string userTask = TaskFileText("Evenings", kRunHistoryItem);
    ASSERT_TRUE(MakeFolders(UserFolder()));
    ASSERT_TRUE(WriteWholeFile(UserFolder() + "\\Evenings.tsk", userTask));
    ASSERT_TRUE(resident.Start(InstalledProgram(), {"/tray"}));
    ASSERT_TRUE(Eventually([] { return ResidentRunning(); }, kAppearTimeout));
    std::string runEntry;
    ASSERT_TRUE(Eventually([&] { return ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, &runEntry); },
                           kAppearTimeout));
    EXPECT_EQ(runEntry, "\"" + InstalledProgram() + "\" /tray");
    // Left for the user by a machine-wide write that once failed.
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunKey, kRunValueName, runEntry));

    ASSERT_EQ(Uninstall(CurrentPackage()), 0u);

    EXPECT_TRUE(resident.Wait(0)) << "the resident instance outlived the uninstall";
    EXPECT_FALSE(ResidentRunning());
    EXPECT_EQ(::GetFileAttributesA(InstallFolder().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(StartMenuShortcut(), "");
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValueName));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProgramSettingsKey));
    EXPECT_TRUE(InstalledVersions().empty());
    std::string text;
    ASSERT_TRUE(ReadWholeFile(UserFolder() + "\\Evenings.tsk", &text));
    EXPECT_EQ(text, userTask);
}

TEST_F(Installer, AskedToRemoveTheUsersDataTheUninstallRemovesTheAdministratorsTasksAndNothingBesideThem)
{
    ASSERT_EQ(Install(CurrentPackage()), 0u);
    ASSERT_TRUE(WriteWholeFile(MachineFolder() + "\\Evenings.tsk", TaskFileText("Evenings", kRunHistoryItem)));
    const std::string neighbour = ShellFolder(CSIDL_COMMON_APPDATA) + "\\Hollowmere\\Tidewhistle Reports";
    ASSERT_TRUE(::CreateDirectoryA(neighbour.c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(neighbour + "\\kept.txt", "kept"));

    ASSERT_EQ(Uninstall(CurrentPackage(), "REMOVEUSERDATA=1"), 0u);

    EXPECT_EQ(::GetFileAttributesA(MachineFolder().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(FileExists(neighbour + "\\kept.txt"));
}

// What a user of an older installation could leave in the shared folder
// under names the program does not use: links made from the Linux side
// (Wine opens them as what they lead to, so they stay), a hard link (whose
// own name the take-over drops), and the program's own files beside them.
// Removing the users' data deletes the program's files by name and nothing
// any link leads to.
TEST_F(Installer, RemovingTheUsersDataDeletesTheProgramsOwnFilesByNameAndNothingALinkInTheFolderLeadsTo)
{
    ASSERT_EQ(Install(CurrentPackage()), 0u);
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "DataFolder", MachineFolder() + "\\"));
    const std::vector<std::string> ownFiles = {"Evenings.tsk", "Evenings.log_file", "TS_LRT_Evenings.dat",
                                               "tw_debug.log"};
    for (const std::string& name : ownFiles) ASSERT_TRUE(WriteWholeFile(MachineFolder() + "\\" + name, "private"));
    ScratchFolder elsewhere;
    ASSERT_TRUE(MakeFolders(elsewhere.File("kept\\deeper")));
    ASSERT_TRUE(WriteWholeFile(elsewhere.File("kept\\inside.txt"), "precious"));
    ASSERT_TRUE(WriteWholeFile(elsewhere.File("kept\\deeper\\below.txt"), "precious"));
    ASSERT_TRUE(WriteWholeFile(elsewhere.File("target.txt"), "precious"));
    ASSERT_TRUE(WriteWholeFile(elsewhere.File("hard.txt"), "precious"));
    ASSERT_FALSE(UnixPathOf("C:\\").empty()) << "links need the Linux side of the prefix";
    // name in the shared folder -> what it leads to
    const std::vector<std::pair<std::string, std::string>> folderLinks = {
        {"Reports", "kept"}, {"Evenings.preview_log", "kept"}, {"Archive.tsk.old", "kept\\deeper"}};
    for (const auto& [name, target] : folderLinks) {
        ASSERT_TRUE(MakeFolderLink(elsewhere.File(target), MachineFolder() + "\\" + name)) << name;
    }
    ASSERT_TRUE(MakeFileLink(elsewhere.File("target.txt"), MachineFolder(), "notes.txt"));
    ASSERT_TRUE(::CreateHardLinkA((MachineFolder() + "\\photo.jpg").c_str(), elsewhere.File("hard.txt").c_str(), nullptr));

    ASSERT_EQ(Install(NewerPackage()), 0u);
    EXPECT_FALSE(FileExists(MachineFolder() + "\\photo.jpg")) << "the take-over left a hard link it does not name";
    ASSERT_TRUE(WriteWholeFile(MachineFolder() + "\\Mornings.tsk", TaskFileText("Mornings", kRunHistoryItem)));

    EXPECT_EQ(Uninstall(NewerPackage(), "REMOVEUSERDATA=1"), 0u);

    EXPECT_TRUE(InstalledVersions().empty());
    for (const std::string& name : ownFiles) EXPECT_FALSE(FileExists(MachineFolder() + "\\" + name)) << name;
    EXPECT_FALSE(FileExists(MachineFolder() + "\\Mornings.tsk"));
    std::string text;
    for (const char* canary : {"kept\\inside.txt", "kept\\deeper\\below.txt", "target.txt", "hard.txt"}) {
        EXPECT_TRUE(ReadWholeFile(elsewhere.File(canary), &text) && text == "precious") << canary << " went";
    }
    // The links stay (the system cannot take them apart from their
    // targets), and the folder with them: made from Linux, removed so.
    for (const auto& [name, target] : folderLinks) {
        RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(MachineFolder()) + "/" + name + "\"");
    }
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(MachineFolder()) + "/notes.txt\"");
    EXPECT_TRUE(Eventually([] { return !FileExists(MachineFolder() + "\\notes.txt"); }, kAppearTimeout));
}

// A folder is no task: one under a task's name, set aside with what it
// holds, no longer fails the take-over and so every upgrade.
TEST_F(Installer, AFolderUnderATasksNameInTheSharedFolderIsSetAsideAndTheUpgradeGoesOn)
{
    ASSERT_EQ(Install(CurrentPackage()), 0u);
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "DataFolder", MachineFolder() + "\\"));
    const std::string sharedTask = TaskFileText("Evenings", kRunHistoryItem);
    ASSERT_TRUE(WriteWholeFile(MachineFolder() + "\\Evenings.tsk", sharedTask));
    // folder name -> a file it holds (none: empty)
    const std::vector<std::pair<std::string, std::string>> folders = {{"block.tsk", "inside.txt"}, {"Empty.TSK", ""}};
    for (const auto& [name, inside] : folders) {
        ASSERT_TRUE(MakeFolders(MachineFolder() + "\\" + name)) << name;
        if (!inside.empty()) {
            ASSERT_TRUE(WriteWholeFile(MachineFolder() + "\\" + name + "\\" + inside, "kept"));
        }
    }

    ASSERT_EQ(Install(NewerPackage()), 0u);

    EXPECT_EQ(InstalledVersions(), std::vector<std::string>{NewerVersion()});
    std::string text;
    ASSERT_TRUE(ReadWholeFile(MachineFolder() + "\\Evenings.tsk", &text));
    EXPECT_EQ(text, sharedTask);
    for (const auto& [name, inside] : folders) {
        EXPECT_EQ(::GetFileAttributesA((MachineFolder() + "\\" + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
        WIN32_FIND_DATAA found;
        HANDLE search = ::FindFirstFileA((MachineFolder() + "\\" + name + ".refused-*").c_str(), &found);
        ASSERT_NE(search, INVALID_HANDLE_VALUE) << name << " was not set aside";
        ::FindClose(search);
        EXPECT_TRUE(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) << name;
        if (inside.empty()) continue;
        EXPECT_TRUE(ReadWholeFile(MachineFolder() + "\\" + found.cFileName + "\\" + inside, &text) && text == "kept")
            << name;
    }
}

TEST_F(Installer, APolicyOverridesTheInstalledProgramsSettingAtItsNextStart)
{
    ASSERT_EQ(Install(CurrentPackage()), 0u);
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "AutoRun", 1));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kPolicyKey, "AutoRun", 0));

    // Every start of the program brings the Run entry in line: "/shutdown"
    // is the quickest.
    ASSERT_TRUE(RunToEnd(InstalledProgram(), {"/shutdown"}));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName));

    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Hollowmere");
    ASSERT_TRUE(RunToEnd(InstalledProgram(), {"/shutdown"}));
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName));
}
