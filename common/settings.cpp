#include "common/settings.h"

#include "common/handles.h"
#include "common/strformat.h"
#include "common/strparse.h"
#include "common/tracer.h"

#include <mutex>
#include <set>
#include <vector>

const char kSettingsKeyFormat[] = "Software\\%s\\%s";
const char kPolicyKeyFormat[] = "Software\\Policies\\%s\\%s";

namespace {

// Opened once at start-up on the main thread, before any other thread
// exists, and kept until the process ends; afterwards only read.
UniqueRegKey g_settingsKey;  // closed with the process
bool g_settingsWritable = false;
// The policy key is opened at every read, not kept: policy may arrive while
// the program runs (a Group Policy refresh), and it must win at once.
std::string g_policySubkey;

// The maker's site is not up yet; administrators set the real addresses.
const char kDefaultOnlineHelpUrl[] = "https://hollowmere.example/tw_docs.html";
const char kDefaultSupportUrl[] = "https://hollowmere.example/support_ticket.php";
// The longest address every browser takes.
const size_t kLongestWebAddress = 2083;

}  // namespace

bool OpenSettingsKey(const char* company, const char* product)
{
    const std::string subkey = StrFormat(kSettingsKeyFormat, company, product);
    g_policySubkey = StrFormat(kPolicyKeyFormat, company, product);
    HKEY key = nullptr;
    // Created to last: a volatile key would lose the user's choices (automatic
    // start off) at the next restart. A key laid down by installation is used
    // as it is.
    LONG result = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) {
        g_settingsKey.Reset(key);
        g_settingsWritable = true;
        return true;
    }
    // A standard user may read what installation laid down but not change
    // it: the settings are still used, and the console says why it cannot
    // change them.
    result = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (result != ERROR_SUCCESS) return false;
    g_settingsKey.Reset(key);
    g_settingsWritable = false;
    return true;
}

bool OpenExistingSettingsKey(const char* company, const char* product)
{
    const std::string subkey = StrFormat(kSettingsKeyFormat, company, product);
    g_policySubkey = StrFormat(kPolicyKeyFormat, company, product);
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    g_settingsKey.Reset(key);
    g_settingsWritable = false;
    return true;
}

bool CanWriteSettings() { return g_settingsKey && g_settingsWritable; }

namespace {

bool QueryDword(HKEY key, const char* name, int* value)
{
    if (!key) return false;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    const LONG result = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (result != ERROR_SUCCESS || type != REG_DWORD) return false;
    *value = static_cast<int>(data);
    return true;
}

// A text value; an expandable one too when expandable is set (its
// variables are left for the caller).
bool QueryString(HKEY key, const char* name, std::string* text, bool expandable = false)
{
    if (!key) return false;
    const auto isText = [expandable](DWORD type) { return type == REG_SZ || (expandable && type == REG_EXPAND_SZ); };
    DWORD type = 0;
    DWORD size = 0;
    LONG result = ::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    if ((result != ERROR_SUCCESS && result != ERROR_MORE_DATA) || !isText(type)) return false;

    // One spare byte so that a value stored without its NUL still ends in one.
    std::vector<char> buffer(size + 1, '\0');
    result = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (result != ERROR_SUCCESS || !isText(type)) return false;
    *text = std::string(buffer.data());
    return true;
}

UniqueRegKey OpenPolicyKey()
{
    HKEY key = nullptr;
    if (g_policySubkey.empty() ||
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_policySubkey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return UniqueRegKey();
    }
    return UniqueRegKey(key);
}

bool PolicyDword(const char* name, int* value)
{
    const UniqueRegKey policy = OpenPolicyKey();
    return QueryDword(policy.Get(), name, value);
}

bool PolicyString(const char* name, std::string* text)
{
    const UniqueRegKey policy = OpenPolicyKey();
    return QueryString(policy.Get(), name, text);
}

}  // namespace

bool IsSetByPolicy(const char* name)
{
    int number = 0;
    return PolicyDword(name, &number);
}

int ReadDword(const char* name, int defaultValue)
{
    int value = defaultValue;
    if (PolicyDword(name, &value)) return value;
    if (QueryDword(g_settingsKey.Get(), name, &value)) return value;
    return defaultValue;
}

std::string ReadString(const char* name, const std::string& defaultValue)
{
    std::string text;
    if (PolicyString(name, &text)) return text;
    if (QueryString(g_settingsKey.Get(), name, &text)) return text;
    return defaultValue;
}

LONG WriteDword(const char* name, int value)
{
    const DWORD data = static_cast<DWORD>(value);
    return ::RegSetValueExA(g_settingsKey.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

LONG WriteString(const char* name, const std::string& value)
{
    return ::RegSetValueExA(g_settingsKey.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
}

namespace {

// A setting the registry holds outside its range is traced once a process,
// not at every read (the scheduler reads its periods every second).
void TraceOutOfRangeOnce(const char* name, const std::string& stored, const std::string& used)
{
    static std::mutex lock;
    static std::set<std::string> traced;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!traced.insert(name).second) return;
    }
    TRACE(30, "Setting %s out of range (%s), using %s", name, stored.c_str(), used.c_str());
}

// A count of seconds, held to [lowest, highest]: turned into milliseconds,
// no stored value may wrap to a wait of nothing or stretch one to weeks.
// A negative value gives the default when negativeIsDefault.
int SecondsSetting(const char* name, int defaultValue, int lowest, int highest, bool negativeIsDefault)
{
    const int stored = ReadDword(name, defaultValue);
    int value = stored;
    if (stored < 0 && negativeIsDefault) value = defaultValue;
    else if (stored < lowest) value = lowest;
    else if (stored > highest) value = highest;
    if (value != stored) TraceOutOfRangeOnce(name, std::to_string(stored), std::to_string(value));
    return value;
}

const int kLongestTimeout = 3600;  // seconds
const int kLongestPeriod = 86400;

// An address the shell is given: only a web address, of a length every
// browser takes. Anything else (a program path, "file:", an address long
// enough to upset the shell) gives the default.
std::string WebAddressSetting(const char* name, const char* defaultAddress)
{
    const std::string stored = ReadString(name, defaultAddress);
    if (IsUsableWebAddress(stored)) return stored;
    TraceOutOfRangeOnce(name, "not a web address", defaultAddress);
    return defaultAddress;
}

}  // namespace

bool IsUsableWebAddress(const std::string& address)
{
    bool usable = (StartsWithAsciiNoCase(address, "http://") || StartsWithAsciiNoCase(address, "https://")) &&
                  address.size() <= kLongestWebAddress;
    for (const char c : address) usable = usable && static_cast<unsigned char>(c) > 0x20 && c != '"';
    return usable;
}

int GetDebugLogLevel() { return ReadDword("DebugLogLevel", 0); }
int GetTaskStopTimeout() { return SecondsSetting("TaskStopTimeout", 15, 0, kLongestTimeout, true); }
int GetTaskStartTimeout() { return SecondsSetting("TaskStartTimeout", 10, 0, kLongestTimeout, true); }
int GetTaskScheduleUpdatePeriod() { return SecondsSetting("TaskScheduleUpdatePeriod", 60, 1, kLongestPeriod, false); }
int GetTaskScheduleExecutePeriod() { return SecondsSetting("TaskScheduleExecutePeriod", 1, 1, kLongestPeriod, false); }
std::string GetOnlineHelpUrl() { return WebAddressSetting("OnlineHelpUrl", kDefaultOnlineHelpUrl); }
std::string GetSupportUrl() { return WebAddressSetting("SupportUrl", kDefaultSupportUrl); }
bool GetAutoRun() { return ReadDword("AutoRun", 1) != 0; }
void SetAutoRun(bool on) { WriteDword("AutoRun", on ? 1 : 0); }
bool GetTasksLocked() { return ReadDword("LockTasks", 0) != 0; }

namespace {

// A folder as installation laid it down in the settings key (never from
// policy), its variables expanded in this user's environment: one value
// names every user's own folder ("%LOCALAPPDATA%\...").
std::string FolderSetting(const char* name)
{
    std::string text;
    if (!QueryString(g_settingsKey.Get(), name, &text, true)) return std::string();
    const DWORD needed = ::ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    std::vector<char> expanded(needed);
    if (::ExpandEnvironmentStringsA(text.c_str(), expanded.data(), needed) == 0) return text;
    return expanded.data();
}

}  // namespace

std::string GetDataFolderSetting() { return FolderSetting("DataFolder"); }
std::string GetMachineTaskFolderSetting() { return FolderSetting("MachineTaskFolder"); }
