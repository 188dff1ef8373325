#pragma once
// Whether a rules entry's program is on this system: its Detect keys and
// DetectFile paths looked up. Asks the system (registry, files): not fuzzed.
#include "rules/rulesfile.h"
#include "rules/rulevariables.h"

#include <string>
#include <unordered_map>

// The answers one read of the rules files has had. Entries share their
// Detect keys and DetectFile paths, and each look is a trip to the wine
// server (thousands per start): a key or path is asked once per read. Made
// afresh for each read, so that what changed since is seen by the next.
class CDetectionLookups {
public:
    // The key opens (read only) in either view of the registry.
    bool KeyExists(const std::string& key);
    // The path exists on a local disk; a wildcard in its last part is looked
    // up, one in a folder above it counts as absent, and so does a path on
    // any other kind of drive.
    bool PathExists(const std::string& path);

private:
    bool OnFixedDrive(const std::string& path);

    std::unordered_map<std::string, bool> m_keys;
    std::unordered_map<std::string, bool> m_paths;
    std::unordered_map<char, bool> m_fixedDrives;
};

// The running system's version as its kernel tells it (not as the
// program's manifest lets GetVersionEx tell it).
RuleOsVersion RunningOsVersion();

// True when the version lies in the range, both ends included.
bool OsVersionInRange(const RuleOsRange& range, const RuleOsVersion& version);

// False when the entry's DetectOS range leaves out the running system;
// else, with a SpecialDetect, whether the browser it names is there (a
// value the format's own tool does not know is never there); else true when
// any Detect key exists or any DetectFile path does; an entry with none of
// them is there wherever it runs.
bool RuleEntryDetected(const RuleEntry& entry, const KnownFolders& folders, CDetectionLookups& lookups);
bool RuleEntryDetected(const RuleEntry& entry, const KnownFolders& folders);
