#include "common/settings.h"

#include "common/paths.h"
#include "support/registry_fixture.h"

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

namespace {

// A key of its own, so that these tests never meet the program's settings.
const char kCompany[] = "HollowmereTests";
const char kProduct[] = "SettingsStore";
const char kKey[] = "Software\\HollowmereTests\\SettingsStore";
const char kPolicyKey[] = "Software\\Policies\\HollowmereTests\\SettingsStore";

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\HollowmereTests");
        ASSERT_TRUE(OpenSettingsKey(kCompany, kProduct));
    }
    void TearDown() override
    {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\HollowmereTests");
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Policies\\HollowmereTests");
    }
};

}  // namespace

TEST(SettingsStoreClosed, EveryReadGivesItsDefaultWhileTheKeyIsNotOpen)
{
    EXPECT_EQ(GetDebugLogLevel(), 0);
    EXPECT_EQ(GetTaskStopTimeout(), 15);
    EXPECT_EQ(GetTaskStartTimeout(), 10);
    EXPECT_EQ(GetTaskScheduleUpdatePeriod(), 60);
    EXPECT_EQ(GetTaskScheduleExecutePeriod(), 1);
    EXPECT_EQ(GetBrowserCloseRunInterval(), 120);
    EXPECT_TRUE(GetAutoRun());
    EXPECT_EQ(GetOnlineHelpUrl(), "https://hollowmere.example/tw_docs.html");
    EXPECT_EQ(GetSupportUrl(), "https://hollowmere.example/support_ticket.php");
    EXPECT_NE(WriteDword("AutoRun", 0), ERROR_SUCCESS);
}

TEST_F(SettingsStore, CreatesTheKeyToLastAcrossARestartWhenMissing)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    // A volatile key would refuse a non-volatile subkey, and a user's choice
    // (automatic start off) stored in it would be gone after a restart.
    HKEY child = nullptr;
    EXPECT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\HollowmereTests\\SettingsStore\\Child", 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &child, nullptr),
              ERROR_SUCCESS);
    if (child) ::RegCloseKey(child);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\HollowmereTests\\SettingsStore\\Child");
    ::RegCloseKey(key);
}

TEST_F(SettingsStore, StoredNumbersAreReadAfreshAtEveryUse)
{
    WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "TaskStopTimeout", 3);
    EXPECT_EQ(GetTaskStopTimeout(), 3);
    WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "TaskStopTimeout", 7);
    EXPECT_EQ(GetTaskStopTimeout(), 7);
    WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "DebugLogLevel", 0xFFFFFFFF);
    EXPECT_EQ(GetDebugLogLevel(), -1);  // read as signed
}

TEST_F(SettingsStore, ANumberOfTheWrongTypeGivesTheDefault)
{
    WriteRegString(HKEY_LOCAL_MACHINE, kKey, "TaskStartTimeout", "3");
    EXPECT_EQ(GetTaskStartTimeout(), 10);
    const unsigned long long wide = 5;
    WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "TaskScheduleUpdatePeriod", REG_QWORD, &wide, sizeof wide);
    EXPECT_EQ(GetTaskScheduleUpdatePeriod(), 60);
    const BYTE big[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "TaskScheduleExecutePeriod", REG_BINARY, big, sizeof big);
    EXPECT_EQ(GetTaskScheduleExecutePeriod(), 1);
}

TEST_F(SettingsStore, TextsOfTheWrongTypeGiveTheDefaultAndRightOnesAreReadWhole)
{
    WriteRegString(HKEY_LOCAL_MACHINE, kKey, "OnlineHelpUrl", "https://help.example/%PATH%", REG_EXPAND_SZ);
    EXPECT_EQ(GetOnlineHelpUrl(), "https://hollowmere.example/tw_docs.html");

    const std::string longUrl = "https://support.example/" + std::string(600, 'p');
    WriteRegString(HKEY_LOCAL_MACHINE, kKey, "SupportUrl", longUrl);
    EXPECT_EQ(GetSupportUrl(), longUrl);

    // Stored without its terminating NUL: still read exactly.
    WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "OnlineHelpUrl", REG_SZ, "abc", 3);
    EXPECT_EQ(ReadString("OnlineHelpUrl", ""), "abc");
}

TEST_F(SettingsStore, TimeSettingsAreHeldToARangeThatNeverWrapsInMilliseconds)
{
    struct Case {
        DWORD stored;
        int timeout;  // TaskStartTimeout and TaskStopTimeout (defaults 10, 15)
        int period;   // TaskScheduleUpdatePeriod
    };
    const Case cases[] = {
        {0, 0, 1},           {0xFFFFFFFF, -1, 1},   {1, 1, 1},          {3600, 3600, 3600},
        {4294967, 3600, 86400}, {4294968, 3600, 86400}, {0x20000000, 3600, 86400}, {0x7FFFFFFF, 3600, 86400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        for (const char* name : {"TaskStartTimeout", "TaskStopTimeout", "TaskScheduleUpdatePeriod",
                                 "TaskScheduleExecutePeriod", "BrowserCloseRunInterval"}) {
            WriteRegDword(HKEY_LOCAL_MACHINE, kKey, name, c.stored);
        }
        EXPECT_EQ(GetTaskStartTimeout(), c.timeout == -1 ? 10 : c.timeout);
        EXPECT_EQ(GetTaskStopTimeout(), c.timeout == -1 ? 15 : c.timeout);
        EXPECT_EQ(GetTaskScheduleUpdatePeriod(), c.period);
        EXPECT_EQ(GetTaskScheduleExecutePeriod(), c.period);
        EXPECT_EQ(GetBrowserCloseRunInterval(), c.period);
        // What the callers make of them fits a 32-bit count of milliseconds.
        EXPECT_LE(static_cast<long long>(GetTaskScheduleExecutePeriod()) * 1000, 86400000LL);
    }
}

TEST_F(SettingsStore, OnlyWebAddressesOfABrowsersLengthAreHandedToTheShell)
{
    const std::string help = "https://hollowmere.example/tw_docs.html";
    const std::string fits = "https://help.example/" + std::string(2083 - 21, 'p');
    ASSERT_EQ(fits.size(), 2083u);
    const std::pair<std::string, std::string> cases[] = {
        {"http://help.example/a", "http://help.example/a"},
        {"HTTPS://help.example/a", "HTTPS://help.example/a"},
        {fits, fits},
        {fits + "p", help},
        {"C:\\windows\\notepad.exe", help},
        {"file:///C:/windows/notepad.exe", help},
        {"mailto:x@example.com", help},
        {"https://help.example/a b", help},
        {"https://help.example/\"a\"", help},  // a quote would end the address on a command line
        {"", help},
    };
    for (const auto& [stored, used] : cases) {
        WriteRegString(HKEY_LOCAL_MACHINE, kKey, "OnlineHelpUrl", stored);
        EXPECT_EQ(GetOnlineHelpUrl(), used) << stored;
    }
}

TEST_F(SettingsStore, AutoRunIsWrittenAsZeroOrOne)
{
    SetAutoRun(false);
    RegValue value;
    ASSERT_TRUE(ReadRegValue(HKEY_LOCAL_MACHINE, kKey, "AutoRun", &value));
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(value.data.size(), 4u);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(value.data.data()), 0u);
    EXPECT_FALSE(GetAutoRun());

    SetAutoRun(true);
    ASSERT_TRUE(ReadRegValue(HKEY_LOCAL_MACHINE, kKey, "AutoRun", &value));
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(value.data.data()), 1u);
    EXPECT_TRUE(GetAutoRun());

    WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "AutoRun", 5);
    EXPECT_TRUE(GetAutoRun());
}

TEST_F(SettingsStore, AnInstalledKeyIsUsedAsItIs)
{
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\HollowmereTests");
    WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "TaskStopTimeout", 42);  // non-volatile, as installation leaves it
    ASSERT_TRUE(OpenSettingsKey(kCompany, kProduct));
    EXPECT_EQ(GetTaskStopTimeout(), 42);
    HKEY child = nullptr;
    EXPECT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\HollowmereTests\\SettingsStore\\Child", 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &child, nullptr),
              ERROR_SUCCESS);
    if (child) ::RegCloseKey(child);
}

TEST_F(SettingsStore, APolicyOfTheRightTypeWinsOverTheSettingAndIsReadAfresh)
{
    WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "TaskStopTimeout", 3);
    WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "AutoRun", 1);
    WriteRegString(HKEY_LOCAL_MACHINE, kKey, "SupportUrl", "https://setting.example/s");
    EXPECT_FALSE(IsSetByPolicy("TaskStopTimeout"));

    // Arrives while the program runs, as a Group Policy refresh does.
    WriteRegDword(HKEY_LOCAL_MACHINE, kPolicyKey, "TaskStopTimeout", 40);
    WriteRegDword(HKEY_LOCAL_MACHINE, kPolicyKey, "AutoRun", 0);
    WriteRegString(HKEY_LOCAL_MACHINE, kPolicyKey, "SupportUrl", "https://policy.example/s");
    EXPECT_EQ(GetTaskStopTimeout(), 40);
    EXPECT_FALSE(GetAutoRun());
    EXPECT_EQ(GetSupportUrl(), "https://policy.example/s");
    EXPECT_TRUE(IsSetByPolicy("AutoRun"));

    // Writing the setting changes the setting, not what the policy decides.
    SetAutoRun(true);
    EXPECT_FALSE(GetAutoRun());

    // A policy value of the wrong type is no policy: the setting holds.
    WriteRegString(HKEY_LOCAL_MACHINE, kPolicyKey, "TaskStopTimeout", "40");
    WriteRegString(HKEY_LOCAL_MACHINE, kPolicyKey, "SupportUrl", "https://policy.example/%x%", REG_EXPAND_SZ);
    EXPECT_EQ(GetTaskStopTimeout(), 3);
    EXPECT_EQ(GetSupportUrl(), "https://setting.example/s");
    EXPECT_FALSE(IsSetByPolicy("TaskStopTimeout"));

    // A policy is held to the same range as the setting.
    WriteRegDword(HKEY_LOCAL_MACHINE, kPolicyKey, "TaskScheduleExecutePeriod", 0);
    EXPECT_EQ(GetTaskScheduleExecutePeriod(), 1);

    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Policies\\HollowmereTests");
    EXPECT_EQ(GetTaskStopTimeout(), 3);
    EXPECT_TRUE(GetAutoRun());
}

TEST_F(SettingsStore, TasksAreLockedOnlyByANonzeroValue)
{
    EXPECT_FALSE(GetTasksLocked());
    WriteRegDword(HKEY_LOCAL_MACHINE, kPolicyKey, "LockTasks", 1);
    EXPECT_TRUE(GetTasksLocked());
    WriteRegDword(HKEY_LOCAL_MACHINE, kPolicyKey, "LockTasks", 0);
    EXPECT_FALSE(GetTasksLocked());
}

TEST_F(SettingsStore, AKeyTheUserMayOnlyReadIsStillReadAndSaysItCannotBeWritten)
{
    EXPECT_TRUE(CanWriteSettings());
    WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "TaskStopTimeout", 42);

    // Everyone may read the key, no one may set its values: a standard
    // user's view of a key that installation laid down.
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly,
                                                                       nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, WRITE_DAC, &key), ERROR_SUCCESS);
    const LONG set = ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly);
    ::RegCloseKey(key);
    ::LocalFree(readOnly);
    ASSERT_EQ(set, ERROR_SUCCESS);

    ASSERT_TRUE(OpenSettingsKey(kCompany, kProduct));
    EXPECT_FALSE(CanWriteSettings());
    EXPECT_EQ(GetTaskStopTimeout(), 42);
    EXPECT_NE(WriteDword("AutoRun", 0), ERROR_SUCCESS);
    EXPECT_TRUE(GetAutoRun());

    // Opened for reading only, the key's owner can give the rights back so
    // that the fixture can remove it.
    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;KA;;;WD)", SDDL_REVISION_1, &open,
                                                                       nullptr));
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, WRITE_DAC, &key), ERROR_SUCCESS);
    ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, open);
    ::RegCloseKey(key);
    ::LocalFree(open);
}

TEST_F(SettingsStore, TheDataFolderIsTheInstalledFolderOrElseTheProgramFolder)
{
    EXPECT_EQ(GetDataFolder(), GetModuleFolder());
    EXPECT_EQ(GetDataFilePath("a.tsk"), GetModuleFilePath("a.tsk"));

    WriteRegString(HKEY_LOCAL_MACHINE, kKey, "DataFolder", "C:\\ProgramData\\Hollowmere\\Tidewhistle\\");
    EXPECT_EQ(GetDataFolder(), "C:\\ProgramData\\Hollowmere\\Tidewhistle");
    EXPECT_EQ(GetDataFilePath("a.tsk"), "C:\\ProgramData\\Hollowmere\\Tidewhistle\\a.tsk");

    // Never taken from policy: it is where installation put the files.
    WriteRegString(HKEY_LOCAL_MACHINE, kPolicyKey, "DataFolder", "C:\\Elsewhere");
    EXPECT_EQ(GetDataFolder(), "C:\\ProgramData\\Hollowmere\\Tidewhistle");

    EXPECT_EQ(DataFolderProblem(), "");

    // Variables are the user's own: one value names every user's folder.
    char localAppData[MAX_PATH] = {};
    ASSERT_GT(::GetEnvironmentVariableA("LOCALAPPDATA", localAppData, MAX_PATH), 0u);
    WriteRegString(HKEY_LOCAL_MACHINE, kKey, "DataFolder", "%LOCALAPPDATA%\\Hollowmere\\Tidewhistle", REG_EXPAND_SZ);
    EXPECT_EQ(GetDataFolder(), std::string(localAppData) + "\\Hollowmere\\Tidewhistle");

    // A profile in another script is expanded whole, never cut short: in
    // UTF-8 by its letters, in another code page by the short name of the
    // folder, which names the same place.
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring profile = std::wstring(temp) + L"\u042E\u0437\u0435\u0440";
    ::CreateDirectoryW(profile.c_str(), nullptr);
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TW_TEST_PROFILE", profile.c_str()));
    WriteRegString(HKEY_LOCAL_MACHINE, kKey, "DataFolder", "%TW_TEST_PROFILE%\\Hollowmere\\Tidewhistle", REG_EXPAND_SZ);
    const std::string named = GetDataFolder();
    const std::string suffix = "\\Hollowmere\\Tidewhistle";
    ASSERT_GT(named.size(), suffix.size());
    EXPECT_EQ(named.substr(named.size() - suffix.size()), suffix);
    const std::string profilePart = named.substr(0, named.size() - suffix.size());
    wchar_t asNamed[MAX_PATH] = {};
    ASSERT_GT(::MultiByteToWideChar(CP_ACP, 0, profilePart.c_str(), -1, asNamed, MAX_PATH), 0);
    wchar_t longName[MAX_PATH] = {};
    ASSERT_GT(::GetLongPathNameW(asNamed, longName, MAX_PATH), 0u) << named;
    EXPECT_EQ(::lstrcmpiW(longName, profile.c_str()), 0) << named;
    ::RemoveDirectoryW(profile.c_str());

    // The administrators' folder is taken as written: the user's own
    // variables never move it.
    WriteRegString(HKEY_LOCAL_MACHINE, kKey, "MachineTaskFolder", "C:\\ProgramData\\Hollowmere\\Tidewhistle");
    EXPECT_EQ(GetMachineTaskFolder(), "C:\\ProgramData\\Hollowmere\\Tidewhistle");
    WriteRegString(HKEY_LOCAL_MACHINE, kKey, "MachineTaskFolder", "%ProgramData%\\Hollowmere\\Tidewhistle",
                   REG_EXPAND_SZ);
    EXPECT_EQ(GetMachineTaskFolder(), "");

    // A value that names no folder is an error to tell, never a silent move
    // of the data beside the program.
    for (const char* unusable : {"Hollowmere\\Tidewhistle", "%UNDEFINED_TW_FOLDER%\\Tidewhistle",
                                 "C:\\Data\\%UNDEFINED_TW_FOLDER%\\Tidewhistle"}) {
        WriteRegString(HKEY_LOCAL_MACHINE, kKey, "DataFolder", unusable, REG_EXPAND_SZ);
        EXPECT_EQ(GetDataFolder(), "") << unusable;
        EXPECT_EQ(DataFolderProblem(), unusable);
        EXPECT_EQ(GetDataFilePath("a.tsk"), "");
    }
}

TEST(DataFolderSetting, OnlyAFullPathOfPlainFolderNamesWithinItsLengthNamesAFolder)
{
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\ProgramData\\Hollowmere\\Tidewhistle", "C:\\ProgramData\\Hollowmere\\Tidewhistle"},
        {"C:\\ProgramData\\Hollowmere\\Tidewhistle\\\\", "C:\\ProgramData\\Hollowmere\\Tidewhistle"},
        {"c:/data/tw/", "c:\\data\\tw"},
        {"D:\\", "D:\\"},
        {"\\\\server\\share\\tw\\", "\\\\server\\share\\tw"},
        {"", ""},
        {"ProgramData\\Tidewhistle", ""},
        {"\\ProgramData", ""},
        {"C:ProgramData", ""},
        {"C:\\ProgramData\\..\\Windows", ""},
        {"C:\\ProgramData\\.\\Tidewhistle", ""},
        {"C:\\Program*\\Tidewhistle", ""},
        {"C:\\ProgramData\\a:b", ""},
        {"\\\\?\\C:\\ProgramData", ""},
        {"\\\\.\\C:\\ProgramData", ""},
        {"C:\\Data\\a\\\\b", "C:\\Data\\a\\b"},
        {"C:\\Data\\100%\\TW", "C:\\Data\\100%\\TW"},
        {"C:\\Data\\%NOSUCHVAR%\\TW", ""},
        {"C:\\Data\\CON\\TW", ""},
        {"C:\\Data\\lpt1.txt", ""},
        {"C:\\Data\\TW.", ""},
        {"C:\\Data\\TW ", ""},
        {"C:\\" + std::string(197, 'x'), "C:\\" + std::string(197, 'x')},
        {"C:\\" + std::string(198, 'x'), ""},
        {"C:\\" + std::string(120, 'x') + "\\" + std::string(120, 'y'), ""},
    };
    for (const auto& [setting, folder] : cases) EXPECT_EQ(DataFolderOfSetting(setting), folder) << setting;
}
