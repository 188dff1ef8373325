#pragma once
// The registry deletion engine. An entry names a key under HKCU or HKLM,
// "ROOT\key\path", optionally followed by "|" and one value name. Without a
// value name the key is emptied (all values, all subkeys at every depth) and
// kept; with one, only that value is deleted.
#include <windows.h>

#include <string>

class ICleanupReport;

struct RegistryPath {
    HKEY root = nullptr;
    std::string keyPath;
    std::string valueName;
    bool hasValueName = false;
};

// Raises CError for a missing or unknown root (root names are case-sensitive;
// a backslash or a forward slash may follow the root).
RegistryPath ParseRegistryPath(const std::string& entry);

// An entry naming only a root key, or a key that is a registry link, is
// refused (CError); a link below the key is deleted as a link, its target
// untouched. A missing key is not an error. Problems with single values and subkeys
// are reported to report; failures that end the entry raise CError.
void CleanRegistryKey(const std::string& entry, ICleanupReport& report);
