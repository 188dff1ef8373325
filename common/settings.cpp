#include "common/settings.h"

#include "common/strformat.h"

#include <vector>

const char kSettingsKeyFormat[] = "Software\\%s\\%s";

namespace {

// Opened once at start-up on the main thread, before any other thread
// exists, and kept until the process ends; afterwards only read.
HKEY g_settingsKey = nullptr;

// The maker's site is not up yet; administrators set the real addresses.
const char kDefaultOnlineHelpUrl[] = "https://hollowmere.example/tw_docs.html";
const char kDefaultSupportUrl[] = "https://hollowmere.example/support_ticket.php";

}  // namespace

bool OpenSettingsKey(const char* company, const char* product)
{
    const std::string subkey = StrFormat(kSettingsKeyFormat, company, product);
    HKEY key = nullptr;
    // Created to last: a volatile key would lose the user's choices (automatic
    // start off) at the next restart. A key laid down by installation is used
    // as it is.
    const LONG result = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) return false;
    if (g_settingsKey != nullptr) ::RegCloseKey(g_settingsKey);
    g_settingsKey = key;
    return true;
}

bool OpenExistingSettingsKey(const char* company, const char* product)
{
    const std::string subkey = StrFormat(kSettingsKeyFormat, company, product);
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    if (g_settingsKey != nullptr) ::RegCloseKey(g_settingsKey);
    g_settingsKey = key;
    return true;
}

int ReadDword(const char* name, int defaultValue)
{
    if (g_settingsKey == nullptr) return defaultValue;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG result =
        ::RegQueryValueExA(g_settingsKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (result != ERROR_SUCCESS || type != REG_DWORD) return defaultValue;
    return static_cast<int>(value);
}

std::string ReadString(const char* name, const std::string& defaultValue)
{
    if (g_settingsKey == nullptr) return defaultValue;
    DWORD type = 0;
    DWORD size = 0;
    LONG result = ::RegQueryValueExA(g_settingsKey, name, nullptr, &type, nullptr, &size);
    if ((result != ERROR_SUCCESS && result != ERROR_MORE_DATA) || type != REG_SZ) return defaultValue;

    // One spare byte so that a value stored without its NUL still ends in one.
    std::vector<char> buffer(size + 1, '\0');
    result = ::RegQueryValueExA(g_settingsKey, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (result != ERROR_SUCCESS || type != REG_SZ) return defaultValue;
    return std::string(buffer.data());
}

LONG WriteDword(const char* name, int value)
{
    const DWORD data = static_cast<DWORD>(value);
    return ::RegSetValueExA(g_settingsKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

LONG WriteString(const char* name, const std::string& value)
{
    return ::RegSetValueExA(g_settingsKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
}

int GetDebugLogLevel() { return ReadDword("DebugLogLevel", 0); }
int GetTaskStopTimeout() { return ReadDword("TaskStopTimeout", 15); }
int GetTaskStartTimeout() { return ReadDword("TaskStartTimeout", 10); }
int GetTaskScheduleUpdatePeriod() { return ReadDword("TaskScheduleUpdatePeriod", 60); }
int GetTaskScheduleExecutePeriod() { return ReadDword("TaskScheduleExecutePeriod", 1); }
std::string GetOnlineHelpUrl() { return ReadString("OnlineHelpUrl", kDefaultOnlineHelpUrl); }
std::string GetSupportUrl() { return ReadString("SupportUrl", kDefaultSupportUrl); }
bool GetAutoRun() { return ReadDword("AutoRun", 1) != 0; }
void SetAutoRun(bool on) { WriteDword("AutoRun", on ? 1 : 0); }
