#include "common/settings.h"

#include "common/handles.h"
#include "common/strformat.h"
#include "common/strparse.h"
#include "common/tracer.h"

#include <cstring>
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
int GetBrowserCloseRunInterval() { return SecondsSetting("BrowserCloseRunInterval", 120, 1, kLongestPeriod, false); }
std::string GetOnlineHelpUrl() { return WebAddressSetting("OnlineHelpUrl", kDefaultOnlineHelpUrl); }
std::string GetSupportUrl() { return WebAddressSetting("SupportUrl", kDefaultSupportUrl); }
bool GetAutoRun() { return ReadDword("AutoRun", 1) != 0; }
void SetAutoRun(bool on) { WriteDword("AutoRun", on ? 1 : 0); }
bool GetTasksLocked() { return ReadDword("LockTasks", 0) != 0; }

namespace {

// A text value read as the system keeps it, in UTF-16.
bool QueryWideString(HKEY key, const char* name, std::wstring* text)
{
    if (!key) return false;
    const std::wstring wideName(name, name + std::strlen(name));  // the program's value names are ASCII
    DWORD type = 0;
    DWORD size = 0;
    LONG result = ::RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size);
    if ((result != ERROR_SUCCESS && result != ERROR_MORE_DATA) || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    result = ::RegQueryValueExW(key, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    *text = buffer.data();
    return true;
}

// The user's variables in text, expanded whole: a result that did not fit
// is expanded again into a buffer of the size the system asked for, never
// cut short. Empty when the system cannot expand it.
std::wstring ExpandedWide(const std::wstring& text)
{
    std::vector<wchar_t> expanded(text.size() + 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (needed == 0) return std::wstring();
        if (needed <= expanded.size()) return expanded.data();
        expanded.assign(needed, L'\0');
    }
    return std::wstring();
}

// The program names files in its code page (UTF-8 where the system reads
// the program's manifest, else the system's ANSI code page). A path that
// has characters the code page lacks (a user name in another script) is
// named by the short names of the folders that exist, which are plain
// letters; empty when even those cannot be written.
std::string InCodePage(const std::wstring& path)
{
    const auto convert = [](const std::wstring& wide, std::string* narrow) {
        // UTF-8 writes every character and takes no question of loss.
        const bool utf8 = ::GetACP() == CP_UTF8;
        BOOL lossy = FALSE;
        const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
        BOOL* lossReport = utf8 ? nullptr : &lossy;
        const int size = ::WideCharToMultiByte(CP_ACP, flags, wide.c_str(), -1, nullptr, 0, nullptr, lossReport);
        if (size <= 0 || lossy) return false;
        std::vector<char> buffer(size);
        if (::WideCharToMultiByte(CP_ACP, flags, wide.c_str(), -1, buffer.data(), size, nullptr, lossReport) <= 0) {
            return false;
        }
        *narrow = buffer.data();
        return !lossy;
    };
    std::string narrow;
    if (convert(path, &narrow)) return narrow;
    // The longest part of the path that exists, by its short name; the rest
    // as it is written.
    for (size_t cut = path.size(); cut != std::wstring::npos && cut > 0; cut = path.rfind(L'\\', cut - 1)) {
        const std::wstring existing = path.substr(0, cut);
        const DWORD needed = ::GetShortPathNameW(existing.c_str(), nullptr, 0);
        if (needed == 0) continue;
        std::vector<wchar_t> shortName(needed);
        const DWORD length = ::GetShortPathNameW(existing.c_str(), shortName.data(), needed);
        if (length == 0 || length >= needed) continue;
        if (convert(std::wstring(shortName.data(), length) + path.substr(cut), &narrow)) return narrow;
        break;
    }
    return std::string();
}

// A folder as installation laid it down in the settings key (never from
// policy). The data folder's variables are expanded in this user's
// environment: one value names every user's own folder
// ("%LOCALAPPDATA%\..."). The administrators' folder is taken as written:
// the user's environment must never move it. What cannot be expanded or
// named is returned as it was written, which names no folder.
std::string FolderSetting(const char* name, bool expand)
{
    std::wstring text;
    if (!QueryWideString(g_settingsKey.Get(), name, &text)) return std::string();
    std::string written;
    QueryString(g_settingsKey.Get(), name, &written, true);
    if (!expand) return written;
    const std::wstring expanded = ExpandedWide(text);
    if (expanded.empty()) return written;
    const std::string named = InCodePage(expanded);
    return named.empty() ? written : named;
}

}  // namespace

std::string GetDataFolderSetting() { return FolderSetting("DataFolder", true); }
std::string GetMachineTaskFolderSetting() { return FolderSetting("MachineTaskFolder", false); }
