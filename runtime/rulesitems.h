#pragma once
// The community rules' entries in the catalogue: a top-level group
// "Community Rules", under it one group per rules group, under each the
// entries that are detected and not refused, run by the plug-in's rules
// entry job. Every role that reads the catalogue adds them, so that a task
// names a rule by the same item in the console, the task and the preview.
#include "rules/rulescatalogue.h"
#include "tasks/catalogueitems.h"

#include <string>
#include <vector>

// The top-level group's identifier.
extern const GUID kCommunityRulesGroupId;
// The plug-in's class of the job that runs one rules entry.
extern const GUID kRuleEntryJobClassId;

// The identifier of the group item of one rules group.
GUID RulesGroupItemId(const std::string& group);

// The name the tree shows: the section name without the format's trailing " *".
std::string ShownRuleName(const std::string& sectionName);

// Appends the usable entries of the sources from firstNew on (and the groups
// above them, unless the items hold them already) to the catalogue's items;
// the sources before firstNew are those whose entries it already holds (a
// file added while the console is open comes after them). An entry whose
// identifier the catalogue already holds (the same section in an earlier
// file) is refused "also in <file>" in sources.
void AppendRulesToCatalogue(std::vector<RulesSource>& sources, CCatalogueItems& items, size_t firstNew = 0);
