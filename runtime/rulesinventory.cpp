#include "runtime/rulesinventory.h"

#include "common/guid.h"
#include "rules/ruleid.h"

#include <map>

// {5C0B7E52-9A3D-4F61-8E27-3D94B1A6C0F8}, made once for the group.
const GUID kCommunityRulesGroupId = {0x5C0B7E52, 0x9A3D, 0x4F61, {0x8E, 0x27, 0x3D, 0x94, 0xB1, 0xA6, 0xC0, 0xF8}};
const GUID kRuleEntryJobClassId = {0xAAF0FEAC, 0x5472, 0x4EF4, {0xAA, 0x9D, 0xAD, 0x7B, 0xDC, 0xC4, 0x0E, 0x2A}};

namespace {

// The plug-in's class that does nothing: a group's own tick runs no job.
const GUID kGroupClassId = {0x4D6A9D0C, 0x84AA, 0x457e, {0xB3, 0xEA, 0xBE, 0x99, 0xFF, 0xFA, 0x4F, 0xC2}};
const char kModuleName[] = "Sweepkit.dll";
const char kTopGroupName[] = "Community Rules";
const int kGroupIcon = 10;
const int kEntryIcon = 8;
const char kCatalogueFileName[] = "task_inventory.ini";
const std::string kGroupIdPrefix = "group:";

CInventoryItem GroupItem(const GUID& id, const GUID& parent, const std::string& name)
{
    CInventoryItem item;
    item.guid = id;
    item.parent = parent;
    item.name = name;
    item.icon = kGroupIcon;
    item.moduleName = kModuleName;
    item.clsid = kGroupClassId;
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

std::string RuleEntryConfig(const RulesSource& source, const CatalogueRule& rule)
{
    return std::string(RulesPlaceName(source.place)) + "\t" + source.fileName + "\t" + rule.name;
}

void AppendRulesToInventory(std::vector<RulesSource>& sources, CItemInventory& inventory, size_t firstNew)
{
    // Where each identifier already stands: the entries of the sources
    // already in, then the catalogue's items, then the entries added.
    std::map<GUID, std::string, GuidLess> owners;
    for (size_t index = 0; index < firstNew && index < sources.size(); ++index)
        for (const CatalogueRule& rule : sources[index].entries)
            if (rule.refused.empty() && rule.detected) owners.emplace(rule.id, sources[index].fileName);
    GuidList catalogue;
    inventory.GetAllItems(catalogue);
    for (const GUID& id : catalogue) owners.emplace(id, kCatalogueFileName);

    bool topGroupAdded = inventory.FindItem(kCommunityRulesGroupId) != nullptr;
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
            const auto owner = owners.find(rule.id);
            if (owner != owners.end()) {
                rule.refused = "also in " + owner->second;
                continue;
            }
            if (!topGroupAdded) {
                inventory.Append(GroupItem(kCommunityRulesGroupId, GUID{}, kTopGroupName));
                topGroupAdded = true;
            }
            auto group = groups.find(rule.group);
            if (group == groups.end()) {
                const GUID groupId = RulesGroupItemId(rule.group);
                if (inventory.FindItem(groupId) == nullptr)
                    inventory.Append(GroupItem(groupId, kCommunityRulesGroupId, rule.group));
                group = groups.emplace(rule.group, groupId).first;
            }
            CInventoryItem item;
            item.guid = rule.id;
            item.parent = group->second;
            item.name = ShownRuleName(rule.name);
            item.icon = kEntryIcon;
            item.moduleName = kModuleName;
            item.clsid = kRuleEntryJobClassId;
            item.config = RuleEntryConfig(source, rule);
            item.warning = rule.warning;
            item.defaultState = false;
            inventory.Append(item);
            owners.emplace(rule.id, source.fileName);
        }
    }
}
