#include "plugin/registrycleanup.h"

#include "common/error.h"
#include "common/handles.h"
#include "common/strformat.h"
#include "plugin/cleanupitem.h"

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

// The names of all values, or of all subkeys, of an open key.
std::vector<std::string> EnumValueNames(HKEY key, const std::string& entry, DWORD longestValue)
{
    std::vector<char> buffer(longestValue + 100);
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        DWORD size = static_cast<DWORD>(buffer.size());
        const LONG result = ::RegEnumValueA(key, index, buffer.data(), &size, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) RaiseEnumerationError(entry, result);
        names.emplace_back(buffer.data(), size);
    }
    return names;
}

std::vector<std::string> EnumSubkeyNames(HKEY key, const std::string& entry, DWORD longestSubkey)
{
    std::vector<char> buffer(longestSubkey + 260);
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        DWORD size = static_cast<DWORD>(buffer.size());
        const LONG result = ::RegEnumKeyExA(key, index, buffer.data(), &size, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) RaiseEnumerationError(entry, result);
        names.emplace_back(buffer.data());
    }
    return names;
}

void DeleteValue(HKEY key, const std::string& value, const std::string& entry, CCleanupItem& job)
{
    const LONG result = ::RegDeleteValueA(key, value.c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
        job.LogWarning(StrFormat("Cannot delete registry value: %s (keyname: %s). Error: %d", value.c_str(),
                                 entry.c_str(), static_cast<int>(result)));
    }
}

const REGSAM kCleanAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS;

// Empties an open key: every value, and every subkey at every depth. Subkeys
// are opened through their parent's handle, never by a path text rebuilt from
// the entry, so a subkey name holding "|" or "\" is taken as it is. entry is
// the key's path for messages.
void EmptyKey(HKEY key, const std::string& entry, CCleanupItem& job)
{
    DWORD longestSubkey = 0;
    DWORD longestValue = 0;
    LongestNames(key, entry, &longestSubkey, &longestValue);
    // All names are collected before anything is deleted, so that deleting
    // never disturbs the enumeration.
    for (const std::string& value : EnumValueNames(key, entry, longestValue)) DeleteValue(key, value, entry, job);

    for (const std::string& subkey : EnumSubkeyNames(key, entry, longestSubkey)) {
        const std::string child = entry + (entry.back() == '\\' ? "" : "\\") + subkey;
        UniqueRegKey childKey;
        const LONG opened = ::RegOpenKeyExA(key, subkey.c_str(), 0, kCleanAccess, childKey.Receive());
        if (opened == ERROR_SUCCESS) {
            EmptyKey(childKey.Get(), child, job);
            childKey.Reset();
        } else if (opened != ERROR_FILE_NOT_FOUND) {
            throw CError(StrFormat("Cannot open registry key: %s (Error: %d).", child.c_str(), static_cast<int>(opened)));
        }
        const LONG result = ::RegDeleteKeyA(key, subkey.c_str());
        if (result != ERROR_SUCCESS) {
            job.LogWarning(StrFormat("Cannot delete subkey: %s (keyname: %s). Error: %d", subkey.c_str(), entry.c_str(),
                                     static_cast<int>(result)));
        }
    }
}

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
    else throw CError(StrFormat("Unknown root registry key name: %s.", entry.c_str()));

    const size_t bar = entry.find('|', separator + 1);
    path.keyPath = entry.substr(separator + 1, bar == std::string::npos ? std::string::npos : bar - separator - 1);
    if (bar != std::string::npos) {
        path.valueName = entry.substr(bar + 1);
        path.hasValueName = true;
    }
    return path;
}

void CleanRegistryKey(const std::string& entry, CCleanupItem& job)
{
    const RegistryPath path = ParseRegistryPath(entry);

    UniqueRegKey key;
    const LONG opened = ::RegOpenKeyExA(path.root, path.keyPath.c_str(), 0, kCleanAccess, key.Receive());
    if (opened == ERROR_FILE_NOT_FOUND) return;
    if (opened != ERROR_SUCCESS) {
        throw CError(StrFormat("Cannot open registry key: %s (Error: %d).", entry.c_str(), static_cast<int>(opened)));
    }
    if (path.hasValueName) DeleteValue(key.Get(), path.valueName, entry, job);
    else EmptyKey(key.Get(), entry, job);
}
