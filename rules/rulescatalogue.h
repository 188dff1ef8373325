#pragma once
// The community rules files the program finds, read, judged and detected:
// "winapp2.ini" and every "Rules\*.ini" in the program's folder (the
// administrators' rules) and in the user's data folder (the user's own).
// A file that cannot be read is listed with its reason and costs nothing
// else. Asks the system (files, registry): not fuzzed.
#include "rules/ruledetection.h"
#include "rules/rulesfile.h"
#include "rules/rulevariables.h"

#include <windows.h>

#include <string>
#include <vector>

enum class RulesPlace { Program, User };

// "program" or "user", as the catalogue's Config text names the place.
const char* RulesPlaceName(RulesPlace place);

struct CatalogueRule {
    GUID id = {};
    std::string name;     // between the brackets, exactly as written
    std::string group;
    bool detected = false;
    std::string refused;  // empty when the entry may run
    std::string warning;
};

struct RulesSource {
    std::string fileName;  // as shown: "winapp2.ini", "Rules\x.ini"
    RulesPlace place = RulesPlace::Program;
    std::string refused;   // why the file was not read; then no entries
    std::vector<CatalogueRule> entries;
};

// Every rules file of the program's folder, then of the user's data folder
// (once only when both are the same folder), judged with the system's
// known folders.
std::vector<RulesSource> ReadRulesCatalogue();

// The rules files of one folder: "winapp2.ini" first, then "Rules\*.ini"
// in name order.
std::vector<RulesSource> ReadRulesFolder(const std::string& folder, RulesPlace place, const KnownFolders& folders,
                                         CDetectionLookups& lookups);

// True for a plain file name ending in ".ini": no folder, stream, device
// name or trailing dot or blank. The only names a rules file in Rules\ may
// have, for the catalogue's entries to name it to the rules entry job.
bool IsPlainRulesFileName(const std::string& name);

// The whole file (at most 16 MB) in bytes, or why it cannot be read.
std::string ReadRulesFileBytes(const std::string& path, std::string* bytes);

// The file's text, parsed, judged and detected (with the answers of the
// read it is part of).
RulesSource RulesSourceOfText(const std::string& bytes, const std::string& shownName, RulesPlace place,
                              const KnownFolders& folders, CDetectionLookups& lookups);

// What became of a file's entries, as the console lists them: offered in
// the job tree (detected, not refused), not installed here (not detected),
// refused (by the rules, or because an earlier file has the same entry).
struct RulesSourceCounts {
    size_t entries = 0;
    size_t offered = 0;
    size_t notInstalled = 0;
    size_t refused = 0;
};
RulesSourceCounts CountRulesEntries(const RulesSource& source);

// One file, read (at most 16 MB), parsed, judged and detected (with the
// answers of the read it is part of).
RulesSource ReadRulesSource(const std::string& path, const std::string& shownName, RulesPlace place,
                            const KnownFolders& folders, CDetectionLookups& lookups);
