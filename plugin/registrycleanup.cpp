#include "plugin/registrycleanup.h"

#include "common/error.h"
#include "common/handles.h"
#include "common/strformat.h"
#include "plugin/cleanupitem.h"

namespace {

// Queries the longest subkey or value name of the key.
DWORD LongestName(HKEY key, bool subkeys, const std::string& entry)
{
    DWORD longestSubkey = 0;
    DWORD longestValue = 0;
    const LONG result = ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longestSubkey, nullptr, nullptr,
                                           &longestValue, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
        throw CError(StrFormat("Cannot obtain registry key info: %s (Error: %d).", entry.c_str(), static_cast<int>(result)));
    }
    return subkeys ? longestSubkey : longestValue;
}

[[noreturn]] void RaiseEnumerationError(const std::string& entry, LONG result)
{
    throw CError(StrFormat("Registry key enumeration error: %s (Error: %d).", entry.c_str(), static_cast<int>(result)));
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

std::vector<std::string> EnumValueNames(HKEY key, const std::string& entry)
{
    std::vector<char> buffer(LongestName(key, false, entry) + 100);
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

std::vector<std::string> EnumSubkeyNames(HKEY key, const std::string& entry)
{
    std::vector<char> buffer(LongestName(key, true, entry) + 260);
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

void CleanRegistryKey(const std::string& entry, CCleanupItem& job)
{
    const RegistryPath path = ParseRegistryPath(entry);

    UniqueRegKey key;
    const LONG opened = ::RegOpenKeyExA(path.root, path.keyPath.c_str(), 0,
                                        KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS, key.Receive());
    if (opened == ERROR_FILE_NOT_FOUND) return;
    if (opened != ERROR_SUCCESS) {
        throw CError(StrFormat("Cannot open registry key: %s (Error: %d).", entry.c_str(), static_cast<int>(opened)));
    }

    // All names are collected before anything is deleted, so that deleting
    // never disturbs the enumeration.
    const std::vector<std::string> values =
        path.hasValueName ? std::vector<std::string>{path.valueName} : EnumValueNames(key.Get(), entry);
    for (const std::string& value : values) {
        const LONG result = ::RegDeleteValueA(key.Get(), value.c_str());
        if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
            job.LogWarning(StrFormat("Cannot delete registry value: %s (keyname: %s). Error: %d", value.c_str(),
                                     entry.c_str(), static_cast<int>(result)));
        }
    }
    if (path.hasValueName) return;

    for (const std::string& subkey : EnumSubkeyNames(key.Get(), entry)) {
        const std::string child = entry + (entry.back() == '\\' ? "" : "\\") + subkey;
        CleanRegistryKey(child, job);
        const LONG result = ::RegDeleteKeyA(key.Get(), subkey.c_str());
        if (result != ERROR_SUCCESS) {
            job.LogWarning(StrFormat("Cannot delete subkey: %s (keyname: %s). Error: %d", subkey.c_str(), entry.c_str(),
                                     static_cast<int>(result)));
        }
    }
}
