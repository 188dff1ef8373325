#include "plugin/engines/registry/registrycleanup.h"

#include "common/error.h"
#include "common/handles.h"
#include "common/pathtext.h"
#include "common/strformat.h"
#include "common/strparse.h"
#include "common/usersid.h"
#include "plugin/engines/cleanupreport.h"

#include <algorithm>
#include <vector>

namespace {

// The longest subkey name and the longest value name of the key, in one query.
void LongestNames(HKEY key, const std::string& entry, DWORD* longestSubkey, DWORD* longestValue)
{
    const LONG result = ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, longestSubkey, nullptr, nullptr,
                                           longestValue, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
        throw CError(StrFormat("Cannot obtain registry key info: %s (Error: %d).", entry.c_str(), static_cast<int>(result)));
    }
}

[[noreturn]] void RaiseEnumerationError(const std::string& entry, LONG result)
{
    throw CError(StrFormat("Registry key enumeration error: %s (Error: %d).", entry.c_str(), static_cast<int>(result)));
}

// Under the UTF-8 code page a name takes up to three bytes a character, more
// than the longest-name query promises; a name that does not fit is fetched
// again into a larger buffer, never taken from a buffer the system left
// untouched. 64 KiB holds the longest name the registry allows.
const size_t kLargestNameBuffer = 65536;

// Calls enumerate(index, buffer, size) until it stops asking for more room.
template <typename Enumerate>
LONG EnumerateOne(DWORD index, std::vector<char>& buffer, DWORD* size, Enumerate enumerate)
{
    for (;;) {
        *size = static_cast<DWORD>(buffer.size());
        const LONG result = enumerate(index, buffer.data(), size);
        if (result != ERROR_MORE_DATA || buffer.size() >= kLargestNameBuffer) return result;
        buffer.resize(std::min(buffer.size() * 2, kLargestNameBuffer));
    }
}

// The names of all values or all subkeys of an open key, as enumerate gives them.
template <typename Enumerate>
std::vector<std::string> EnumNames(const std::string& entry, DWORD longestName, Enumerate enumerate, bool subkeys)
{
    std::vector<char> buffer(longestName + (subkeys ? 260 : 100));
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        DWORD size = 0;
        const LONG result = EnumerateOne(index, buffer, &size, enumerate);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) RaiseEnumerationError(entry, result);
        // An empty subkey name would open the key itself again and recurse
        // for ever; an empty value name is the default value, a real name.
        if (subkeys && size == 0) RaiseEnumerationError(entry, ERROR_INVALID_DATA);
        names.emplace_back(buffer.data(), size);
    }
    return names;
}

std::vector<std::string> EnumValueNames(HKEY key, const std::string& entry, DWORD longestValue)
{
    return EnumNames(entry, longestValue, [key](DWORD index, char* name, DWORD* size) {
        return ::RegEnumValueA(key, index, name, size, nullptr, nullptr, nullptr, nullptr);
    }, false);
}

std::vector<std::string> EnumSubkeyNames(HKEY key, const std::string& entry, DWORD longestSubkey)
{
    return EnumNames(entry, longestSubkey, [key](DWORD index, char* name, DWORD* size) {
        return ::RegEnumKeyExA(key, index, name, size, nullptr, nullptr, nullptr, nullptr);
    }, true);
}

// The registry compares key and value names without regard to case: two
// spellings are one thing to count.
std::string RegistryIdentity(const std::string& name)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    if (length <= 0) return ToUpperAscii(name);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), &wide[0], length);
    ::CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string folded(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &folded[0], bytes, nullptr, nullptr);
    return folded;
}

// Deletes one value, or in a preview counts it when it is there.
void DeleteValue(HKEY key, const std::string& value, const std::string& entry, ICleanupReport& report)
{
    const LONG result = report.IsPreview() ? ::RegQueryValueExA(key, value.c_str(), nullptr, nullptr, nullptr, nullptr)
                                        : ::RegDeleteValueA(key, value.c_str());
    if (result == ERROR_SUCCESS) {
        report.CountRemoved(Removed::RegistryValue, entry + "|" + value, 0, 1, RegistryIdentity(entry + "|" + value));
    } else if (result != ERROR_FILE_NOT_FOUND) {
        report.CountNotRemoved(NotRemoved::Failed);
        report.LogWarningOf("registry values that could not be deleted", StrFormat("Cannot delete registry value: %s (keyname: %s). Error: %d", value.c_str(),
                                 entry.c_str(), static_cast<int>(result)));
    }
}

const REGSAM kCleanAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS;

// Opens a key as it is: a registry link is opened as the link, never as the
// key it points to.
LONG OpenKeyItself(HKEY parent, const std::string& path, REGSAM access, UniqueRegKey* key)
{
    return ::RegOpenKeyExA(parent, path.c_str(), REG_OPTION_OPEN_LINK, access, key->Receive());
}

bool IsRegistryLink(HKEY key)
{
    DWORD type = REG_NONE;
    return ::RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// The target of a registry link, as the system spells it; empty when the
// key holds none.
std::wstring LinkTarget(HKEY link)
{
    wchar_t target[512] = {};
    DWORD size = sizeof target - sizeof(wchar_t);
    DWORD type = REG_NONE;
    if (::RegQueryValueExW(link, L"SymbolicLinkValue", nullptr, &type, reinterpret_cast<BYTE*>(target), &size) !=
            ERROR_SUCCESS || type != REG_LINK) {
        return std::wstring();
    }
    return std::wstring(target, size / sizeof(wchar_t));
}

bool SameKeyText(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The two registry links Windows itself keeps on the way to keys that are
// cleaned, each at its one place and with its one target: the user's
// Software\Classes leads to the user's own classes hive, and the machine's
// SYSTEM\CurrentControlSet to one of its numbered control sets. Their
// targets are what makes them safe; any other link is refused.
bool IsSystemsOwnLink(HKEY root, const std::vector<std::string>& parts, size_t index, HKEY link)
{
    if (index != 1) return false;
    const std::wstring target = LinkTarget(link);
    if (root == HKEY_CURRENT_USER && ::lstrcmpiA(parts[0].c_str(), "Software") == 0 &&
        ::lstrcmpiA(parts[1].c_str(), "Classes") == 0) {
        const std::string sid = CurrentUserSid();
        return !sid.empty() &&
               SameKeyText(target, L"\\REGISTRY\\USER\\" + std::wstring(sid.begin(), sid.end()) + L"_Classes");
    }
    if (root == HKEY_LOCAL_MACHINE && ::lstrcmpiA(parts[0].c_str(), "SYSTEM") == 0 &&
        ::lstrcmpiA(parts[1].c_str(), "CurrentControlSet") == 0) {
        const std::wstring prefix = L"\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet";
        return target.size() == prefix.size() + 3 && SameKeyText(target.substr(0, prefix.size()), prefix) &&
               std::all_of(target.end() - 3, target.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    }
    return false;
}

// Opens the key at keyPath below root one part at a time, each part as it
// is (REG_OPTION_OPEN_LINK), so that a registry link anywhere on the way is
// seen and never followed: a path through a link is refused (CError with
// entry), however the key it names looks. The last part is opened with
// access; a missing part gives ERROR_FILE_NOT_FOUND.
LONG OpenKeyByParts(HKEY root, const std::string& keyPath, REGSAM access, const std::string& entry, UniqueRegKey* key)
{
    const std::vector<std::string> parts = SplitAtBackslashes(keyPath);
    UniqueRegKey current;
    HKEY parent = root;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        UniqueRegKey child;
        LONG opened = OpenKeyItself(parent, parts[i], last ? access : KEY_QUERY_VALUE, &child);
        if (opened == ERROR_PATH_NOT_FOUND) opened = ERROR_FILE_NOT_FOUND;
        if (opened != ERROR_SUCCESS) return opened;
        if (IsRegistryLink(child.Get())) {
            if (last) throw CError(StrFormat("Registry key is a link and is left alone: %s.", entry.c_str()));
            if (!IsSystemsOwnLink(root, parts, i, child.Get())) {
                throw CError(StrFormat("Registry key lies below a link and is left alone: %s.", entry.c_str()));
            }
            // Reached as Windows itself reaches it.
            const LONG followed = ::RegOpenKeyExA(parent, parts[i].c_str(), 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,
                                                  child.Receive());
            if (followed != ERROR_SUCCESS) return followed;
        }
        current = std::move(child);
        parent = current.Get();
    }
    *key = std::move(current);
    return key->IsValid() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// Deletes a registry link itself. RegDeleteKey would open the link by name
// and so delete its target; the native call works on the link's own handle.
LONG DeleteLinkItself(HKEY link)
{
    using NtDeleteKeyCall = LONG(WINAPI*)(HANDLE);
    using StatusToErrorCall = ULONG(WINAPI*)(LONG);
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    const auto deleteKey =
        reinterpret_cast<NtDeleteKeyCall>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtDeleteKey")));
    const auto toError = reinterpret_cast<StatusToErrorCall>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlNtStatusToDosError")));
    if (deleteKey == nullptr || toError == nullptr) return ERROR_PROC_NOT_FOUND;
    const LONG status = deleteKey(link);
    return status == 0 ? ERROR_SUCCESS : static_cast<LONG>(toError(status));
}

void WarnSubkeyKept(const std::string& subkey, const std::string& entry, LONG result, ICleanupReport& report)
{
    report.CountNotRemoved(NotRemoved::Failed);
    report.LogWarningOf("subkeys that could not be deleted", StrFormat("Cannot delete subkey: %s (keyname: %s). Error: %d", subkey.c_str(), entry.c_str(),
                             static_cast<int>(result)));
}

// Empties an open key: every value, and every subkey at every depth, but
// for what keep names. Subkeys are opened through their parent's handle,
// never by a path text rebuilt from the entry, so a subkey name holding "|"
// or "\\" is taken as it is; a subkey that is a link is deleted as a link
// and its target is never touched. entry is the key's path for messages and
// for keep. True when nothing was kept in it: a key still holding something
// kept is itself kept.
bool EmptyKey(HKEY key, const std::string& entry, const RegistryKeep& keep, ICleanupReport& report)
{
    DWORD longestSubkey = 0;
    DWORD longestValue = 0;
    LongestNames(key, entry, &longestSubkey, &longestValue);
    bool keptSomething = false;
    // All names are collected before anything is deleted, so that deleting
    // never disturbs the enumeration.
    for (const std::string& value : EnumValueNames(key, entry, longestValue)) {
        if (keep && keep(entry, &value)) {
            keptSomething = true;
            continue;
        }
        DeleteValue(key, value, entry, report);
    }

    for (const std::string& subkey : EnumSubkeyNames(key, entry, longestSubkey)) {
        const std::string child = entry + (entry.back() == '\\' ? "" : "\\") + subkey;
        if (keep && keep(child, nullptr)) {
            keptSomething = true;
            continue;
        }
        UniqueRegKey childKey;
        const LONG opened = OpenKeyItself(key, subkey, kCleanAccess | DELETE, &childKey);
        if (opened == ERROR_SUCCESS && IsRegistryLink(childKey.Get())) {
            const LONG result = report.IsPreview() ? ERROR_SUCCESS : DeleteLinkItself(childKey.Get());
            if (result != ERROR_SUCCESS) WarnSubkeyKept(subkey, entry, result, report);
            else report.CountRemoved(Removed::RegistryKey, child, 0, 1, RegistryIdentity(child));
            continue;
        }
        if (opened == ERROR_SUCCESS) {
            const bool emptied = EmptyKey(childKey.Get(), child, keep, report);
            childKey.Reset();
            if (!emptied) {
                keptSomething = true;
                continue;
            }
        } else if (opened != ERROR_FILE_NOT_FOUND) {
            throw CError(StrFormat("Cannot open registry key: %s (Error: %d).", child.c_str(), static_cast<int>(opened)));
        }
        const LONG result = report.IsPreview() ? opened : ::RegDeleteKeyA(key, subkey.c_str());
        if (result == ERROR_SUCCESS) report.CountRemoved(Removed::RegistryKey, child, 0, 1, RegistryIdentity(child));
        else if (!(report.IsPreview() && result == ERROR_FILE_NOT_FOUND)) WarnSubkeyKept(subkey, entry, result, report);
    }
    return !keptSomething;
}

// Deletes every value of an open key; its subkeys stay.
void DeleteValuesOf(HKEY key, const std::string& entry, ICleanupReport& report)
{
    DWORD longestSubkey = 0;
    DWORD longestValue = 0;
    LongestNames(key, entry, &longestSubkey, &longestValue);
    for (const std::string& value : EnumValueNames(key, entry, longestValue)) DeleteValue(key, value, entry, report);
}

const char kEveryKey[] = "*";
const char kDefaultProfileKey[] = ".DEFAULT";

// Walks parts[index..] below an open key, one part at a time, and deletes
// the values of each key the walk ends on. shown is the key's path for messages.
void CleanValuesBelow(HKEY key, const std::vector<std::string>& parts, size_t index, const std::string& shown,
                      ICleanupReport& report)
{
    if (index == parts.size()) {
        DeleteValuesOf(key, shown, report);
        return;
    }
    std::vector<std::string> children;
    if (parts[index] == kEveryKey) {
        DWORD longestSubkey = 0;
        DWORD longestValue = 0;
        LongestNames(key, shown, &longestSubkey, &longestValue);
        children = EnumSubkeyNames(key, shown, longestSubkey);
    } else {
        children.push_back(parts[index]);
    }
    for (const std::string& name : children) {
        const std::string child = shown + "\\" + name;
        UniqueRegKey childKey;
        const LONG opened = OpenKeyItself(key, name, kCleanAccess, &childKey);
        if (opened == ERROR_FILE_NOT_FOUND) continue;
        if (opened != ERROR_SUCCESS) {
            throw CError(StrFormat("Cannot open registry key: %s (Error: %d).", child.c_str(), static_cast<int>(opened)));
        }
        if (IsRegistryLink(childKey.Get())) {
            report.CountNotRemoved(NotRemoved::Skipped);
            report.LogWarningOf("registry links left alone",
                                StrFormat("Registry key is a link and is left alone: %s.", child.c_str()));
            continue;
        }
        CleanValuesBelow(childKey.Get(), parts, index + 1, child, report);
    }
}

// HKU's default profile key stands for a root: entries must name a key in it.
size_t RootParts(const RegistryPath& path) { return path.root == HKEY_USERS ? 1 : 0; }

}  // namespace

RegistryPath ParseRegistryPath(const std::string& entry)
{
    const size_t separator = entry.find_first_of("\\/");
    if (separator == std::string::npos) {
        throw CError(StrFormat("Missing root registry key name: %s.", entry.c_str()));
    }
    const std::string rootName = entry.substr(0, separator);
    RegistryPath path;
    if (rootName == "HKCU") path.root = HKEY_CURRENT_USER;
    else if (rootName == "HKLM") path.root = HKEY_LOCAL_MACHINE;
    else if (rootName == "HKU") path.root = HKEY_USERS;
    else throw CError(StrFormat("Unknown root registry key name: %s.", entry.c_str()));

    const size_t bar = entry.find('|', separator + 1);
    path.keyPath = entry.substr(separator + 1, bar == std::string::npos ? std::string::npos : bar - separator - 1);
    if (bar != std::string::npos) {
        path.valueName = entry.substr(bar + 1);
        path.hasValueName = true;
    }
    // Below HKU only the default profile's hive: every other key there is a
    // user's own, and what one user runs never reaches another's registry.
    if (path.root == HKEY_USERS) {
        const std::vector<std::string> parts = SplitAtBackslashes(path.keyPath);
        if (parts.empty() || ::lstrcmpiA(parts.front().c_str(), kDefaultProfileKey) != 0) {
            throw CError(StrFormat("Registry entry names another user's registry: %s.", entry.c_str()));
        }
    }
    return path;
}

void CleanRegistryKey(const std::string& entry, ICleanupReport& report, const RegistryKeep& keep)
{
    const RegistryPath path = ParseRegistryPath(entry);
    // "HKCU\" alone would empty the user's whole registry.
    if (path.keyPath.find_first_not_of("\\/") == std::string::npos ||
        SplitAtBackslashes(path.keyPath).size() <= RootParts(path)) {
        throw CError(StrFormat("Registry entry names a root key only: %s.", entry.c_str()));
    }

    UniqueRegKey key;
    const LONG opened = OpenKeyByParts(path.root, path.keyPath, kCleanAccess, entry, &key);
    if (opened == ERROR_FILE_NOT_FOUND) return;
    if (opened != ERROR_SUCCESS) {
        throw CError(StrFormat("Cannot open registry key: %s (Error: %d).", entry.c_str(), static_cast<int>(opened)));
    }
    if (path.hasValueName) DeleteValue(key.Get(), path.valueName, entry, report);
    else EmptyKey(key.Get(), entry, keep, report);
}

void CleanRegistryKey(const std::string& entry, ICleanupReport& report)
{
    CleanRegistryKey(entry, report, RegistryKeep());
}

void CleanRegistryValues(const std::string& entry, ICleanupReport& report)
{
    const RegistryPath path = ParseRegistryPath(entry);
    if (path.hasValueName) throw CError(StrFormat("A values-only entry names no value: %s.", entry.c_str()));
    const std::vector<std::string> parts = SplitAtBackslashes(path.keyPath);
    if (parts.size() <= RootParts(path)) {
        throw CError(StrFormat("Registry entry names a root key only: %s.", entry.c_str()));
    }
    // "HKCU\*" would reach every key of the user's registry.
    if (parts[RootParts(path)] == kEveryKey) {
        throw CError(StrFormat("Registry entry begins with every key: %s.", entry.c_str()));
    }

    // The named part is opened part by part, as a plain entry's key is.
    const size_t firstEvery = std::find(parts.begin(), parts.end(), kEveryKey) - parts.begin();
    std::string named = parts.front();
    for (size_t i = 1; i < firstEvery; ++i) named += "\\" + parts[i];
    UniqueRegKey key;
    const LONG opened = OpenKeyByParts(path.root, named, kCleanAccess, entry, &key);
    if (opened == ERROR_FILE_NOT_FOUND) return;
    if (opened != ERROR_SUCCESS) {
        throw CError(StrFormat("Cannot open registry key: %s (Error: %d).", entry.c_str(), static_cast<int>(opened)));
    }
    const std::string rootName = entry.substr(0, entry.find_first_of("\\/"));
    CleanValuesBelow(key.Get(), parts, firstEvery, rootName + "\\" + named, report);
}
