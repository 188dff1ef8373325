#include "runtime/rulesitems.h"

#include "common/guid.h"
#include "jobapi/jobclasses.h"
#include "rules/ruleid.h"
#include "rules/rulesentryconfig.h"

#include <map>

// {5C0B7E52-9A3D-4F61-8E27-3D94B1A6C0F8}, made once for the group.
const GUID kCommunityRulesGroupId = {0x5C0B7E52, 0x9A3D, 0x4F61, {0x8E, 0x27, 0x3D, 0x94, 0xB1, 0xA6, 0xC0, 0xF8}};
const GUID kRuleEntryJobClassId = StringToGuid(kRulesEntryJobClass);

namespace {

const char kModuleName[] = "Sweepkit.dll";
const char kTopGroupName[] = "Community Rules";
const int kGroupIcon = 10;
const int kEntryIcon = 8;
const std::string kGroupIdPrefix = "group:";

CCatalogueItem GroupItem(const GUID& id, const GUID& parent, const std::string& name)
{
    CCatalogueItem item;
    item.guid = id;
    item.parent = parent;
    item.name = name;
    item.icon = kGroupIcon;
    item.moduleName = kModuleName;
    item.clsid = StringToGuid(kNullJobClass);
    item.defaultState = false;
    return item;
}

}  // namespace

// The format's trailing " *" is the authors' mark, not part of the name.
std::string ShownRuleName(const std::string& sectionName)
{
    const size_t length = sectionName.size();
    if (length > 2 && sectionName.compare(length - 2, 2, " *") == 0) return sectionName.substr(0, length - 2);
    return sectionName;
}

GUID RulesGroupItemId(const std::string& group)
{
    return RuleItemId(kGroupIdPrefix + group);
}

void AppendRulesToCatalogue(std::vector<RulesSource>& sources, CCatalogueItems& items, size_t firstNew)
{
    // Where each identifier already stands: the entries of the sources
    // already in, then the catalogue's items, then the entries added.
    std::map<GUID, std::string, GuidLess> owners;
    for (size_t index = 0; index < firstNew && index < sources.size(); ++index)
        for (const CatalogueRule& rule : sources[index].entries)
            if (rule.refused.empty() && rule.detected) owners.emplace(rule.id, sources[index].fileName);
    GuidList held;
    items.GetAllItems(held);
    for (const GUID& id : held) owners.emplace(id, kCatalogueFileName);

    bool topGroupAdded = items.FindItem(kCommunityRulesGroupId) != nullptr;
    std::map<std::string, GUID> groups;
    for (size_t index = firstNew; index < sources.size(); ++index) {
        RulesSource& source = sources[index];
        for (CatalogueRule& rule : source.entries) {
            if (!rule.refused.empty() || !rule.detected) continue;
            // The groups' identifiers are made from "group:<name>": an entry
            // of such a name would take its own group's place.
            if (rule.name.compare(0, kGroupIdPrefix.size(), kGroupIdPrefix) == 0) {
                rule.refused = "its name begins with \"group:\", which the catalogue keeps for the rules' groups";
                continue;
            }
            const std::string config = RulesEntryConfigText({source.place, source.fileName, rule.name});
            if (config.empty()) {
                rule.refused = "its name holds a tab, which cannot be handed to the rules entry job";
                continue;
            }
            const auto owner = owners.find(rule.id);
            if (owner != owners.end()) {
                rule.refused = "also in " + owner->second;
                continue;
            }
            if (!topGroupAdded) {
                items.Append(GroupItem(kCommunityRulesGroupId, GUID{}, kTopGroupName));
                topGroupAdded = true;
            }
            auto group = groups.find(rule.group);
            if (group == groups.end()) {
                const GUID groupId = RulesGroupItemId(rule.group);
                if (items.FindItem(groupId) == nullptr)
                    items.Append(GroupItem(groupId, kCommunityRulesGroupId, rule.group));
                group = groups.emplace(rule.group, groupId).first;
            }
            // An entry is made as its group is, then given the job that runs it.
            CCatalogueItem item = GroupItem(rule.id, group->second, ShownRuleName(rule.name));
            item.icon = kEntryIcon;
            item.clsid = kRuleEntryJobClassId;
            item.config = config;
            item.warning = rule.warning;
            items.Append(item);
            owners.emplace(rule.id, source.fileName);
        }
    }
}
