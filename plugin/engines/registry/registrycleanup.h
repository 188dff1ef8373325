#pragma once
// The registry deletion engine. An entry names a key under HKCU, HKLM or
// the default profile's hive HKU\.DEFAULT, "ROOT\key\path", optionally followed by "|" and one value name. Without a
// value name the key is emptied (all values, all subkeys at every depth) and
// kept; with one, only that value is deleted. A values-only entry (see
// CleanRegistryValues) deletes a key's values and keeps its subkeys.
#include <windows.h>

#include <functional>
#include <string>

class ICleanupReport;

struct RegistryPath {
    HKEY root = nullptr;
    std::string keyPath;
    std::string valueName;
    bool hasValueName = false;
};

// Raises CError for a missing or unknown root (root names are case-sensitive;
// a backslash or a forward slash may follow the root), and for a key under
// HKU other than .DEFAULT (any case): those are users' own registries.
RegistryPath ParseRegistryPath(const std::string& entry);

// Whether what the key path names (a value of it, or with a null value the
// key itself with everything in it) is to stay. key is spelt as the entry
// spells its key, followed by the subkeys' names as the registry gives them.
using RegistryKeep = std::function<bool(const std::string& key, const std::string* value)>;

// An entry naming only a root key (HKU\.DEFAULT counts as one), or a key
// that is a registry link, is refused (CError); a link below the key is
// deleted as a link, its target untouched. A missing key is not an error.
// What keep names stays, and so do the keys holding it. Problems with single
// values and subkeys are reported to report; failures that end the entry
// raise CError.
void CleanRegistryKey(const std::string& entry, ICleanupReport& report, const RegistryKeep& keep);
void CleanRegistryKey(const std::string& entry, ICleanupReport& report);

// A values-only entry, "ROOT\key\path" with no value name: every value of
// the key is deleted; the key and its subkeys stay. A path part that is
// exactly "*" stands for each subkey at that place ("...\UserAssist\*\Count"
// reaches the Count key of every subkey of UserAssist); the parts before
// the first "*" must name a key, not a root alone. Keys reached through a
// "*" are opened one by one through their parent's handle, and one that is
// a registry link is skipped with a warning, never followed. A missing key
// is not an error; an entry with a value name, one whose first part is "*",
// or whose named key is a link is refused (CError).
void CleanRegistryValues(const std::string& entry, ICleanupReport& report);
