// The community rules' entries as the catalogue takes them: which go in,
// under which group items, with what the rules entry job is handed.
#include "runtime/rulesitems.h"

#include "common/guid.h"
#include "rules/ruleid.h"

#include <gtest/gtest.h>

namespace {

CatalogueRule Rule(const std::string& name, const std::string& group, bool detected = true,
                   const std::string& refused = "")
{
    CatalogueRule rule;
    rule.id = RuleItemId(name);
    rule.name = name;
    rule.group = group;
    rule.detected = detected;
    rule.refused = refused;
    return rule;
}

RulesSource Source(const std::string& file, RulesPlace place, std::vector<CatalogueRule> entries)
{
    RulesSource source;
    source.fileName = file;
    source.place = place;
    source.entries = std::move(entries);
    return source;
}

TEST(RulesInventory, UsableEntriesGoUnderTheirGroupsWithTheirFileAndSectionAsConfig)
{
    CCatalogueItems inventory;
    CCatalogueItem shipped;
    shipped.guid = RuleItemId("Shipped Item *");  // a catalogue item that a rules file names again
    shipped.name = "Shipped";
    inventory.Append(shipped);
    std::vector<RulesSource> sources = {
        Source("winapp2.ini", RulesPlace::Program,
               {Rule("Editor Cache *", "Applications"), Rule("Absent *", "Applications", false),
                Rule("Broad *", "Windows", true, "FileKey on line 3: it names a network path (\\\\x)"),
                Rule("Player", "Multimedia"), Rule("Shipped Item *", "Other"),
                // Its id is its own group's: taken, the group would be its own child.
                Rule("group:Applications", "Applications")}),
        Source("Rules\\mine.ini", RulesPlace::User,
               {Rule("Editor Cache *", "Applications"), Rule("Viewer *", "Applications")}),
    };
    AppendRulesToCatalogue(sources, inventory);

    struct Expected {
        std::string section;
        std::string shownName;
        std::string group;
        std::string config;
    };
    const Expected listed[] = {
        {"Editor Cache *", "Editor Cache", "Applications", "program\twinapp2.ini\tEditor Cache *"},
        {"Player", "Player", "Multimedia", "program\twinapp2.ini\tPlayer"},
        {"Viewer *", "Viewer", "Applications", "user\tRules\\mine.ini\tViewer *"},
    };
    for (const Expected& e : listed) {
        const CCatalogueItem* item = inventory.FindItem(RuleItemId(e.section));
        ASSERT_NE(item, nullptr) << e.section;
        EXPECT_EQ(item->name, e.shownName);
        EXPECT_EQ(item->config, e.config);
        EXPECT_TRUE(SameGuid(item->parent, RulesGroupItemId(e.group))) << e.section;
        EXPECT_TRUE(SameGuid(item->clsid, kRuleEntryJobClassId));
        EXPECT_EQ(item->icon, 8);
        EXPECT_FALSE(item->defaultState);
        const CCatalogueItem* group = inventory.FindItem(item->parent);
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->name, e.group);
        EXPECT_TRUE(SameGuid(group->parent, kCommunityRulesGroupId));
    }
    for (const char* absent : {"Absent *", "Broad *"}) EXPECT_EQ(inventory.FindItem(RuleItemId(absent)), nullptr);
    EXPECT_EQ(inventory.FindItem(RulesGroupItemId("Windows")), nullptr) << "a group with nothing in it";
    const CCatalogueItem* top = inventory.FindItem(kCommunityRulesGroupId);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->name, "Community Rules");
    EXPECT_TRUE(IsNullGuid(top->parent));
    // The shipped item, the top group, two groups, three entries.
    EXPECT_EQ(inventory.Size(), 7u);

    // The first holder of an identifier keeps it; the later one says where it stands.
    EXPECT_EQ(sources[0].entries[4].refused, "also in task_inventory.ini");
    EXPECT_EQ(sources[1].entries[0].refused, "also in winapp2.ini");
    EXPECT_EQ(sources[0].entries[5].refused,
              "its name begins with \"group:\", which the catalogue keeps for the rules' groups");
    EXPECT_EQ(inventory.FindItem(RulesGroupItemId("Applications"))->name, "Applications");
    EXPECT_EQ(sources[0].entries[0].refused, "");
    EXPECT_EQ(sources[0].entries[1].refused, "") << "an absent entry is not refused";
}

TEST(RulesInventory, AFileAddedLaterJoinsTheGroupsThereAndYieldsToTheFilesReadBefore)
{
    CCatalogueItems inventory;
    std::vector<RulesSource> sources = {Source("winapp2.ini", RulesPlace::Program, {Rule("Editor Cache *", "Applications")})};
    AppendRulesToCatalogue(sources, inventory);
    ASSERT_EQ(inventory.Size(), 3u);

    CatalogueRule warned = Rule("Layouts *", "Applications");
    warned.warning = "This removes the saved layouts.";
    sources.push_back(Source("Rules\\added.ini", RulesPlace::User,
                             {Rule("Editor Cache *", "Applications"), warned, Rule("Player *", "Multimedia")}));
    AppendRulesToCatalogue(sources, inventory, 1);

    // One top group and one Applications group still; a new Multimedia group.
    EXPECT_EQ(inventory.Size(), 6u);
    GuidList top;
    inventory.GetChildren(kCommunityRulesGroupId, top);
    EXPECT_EQ(top.size(), 2u);
    EXPECT_EQ(sources[1].entries[0].refused, "also in winapp2.ini");
    EXPECT_EQ(sources[0].entries[0].refused, "");
    const CCatalogueItem* layouts = inventory.FindItem(RuleItemId("Layouts *"));
    ASSERT_NE(layouts, nullptr);
    EXPECT_EQ(layouts->warning, "This removes the saved layouts.");
    EXPECT_EQ(layouts->config, "user\tRules\\added.ini\tLayouts *");
    EXPECT_EQ(inventory.FindItem(RuleItemId("Player *"))->warning, "");
}

// The job could never read such an entry's configuration: the tree would
// offer an item that fails whenever it runs.
TEST(RulesInventory, AnEntryWhoseNameHoldsATabIsRefusedNotOffered)
{
    CCatalogueItems catalogue;
    std::vector<RulesSource> sources = {
        Source("winapp2.ini", RulesPlace::Program, {Rule("Tab\tName *", "Other"), Rule("Plain *", "Other")})};
    AppendRulesToCatalogue(sources, catalogue);
    EXPECT_EQ(catalogue.FindItem(RuleItemId("Tab\tName *")), nullptr);
    EXPECT_EQ(sources[0].entries[0].refused, "its name holds a tab, which cannot be handed to the rules entry job");
    ASSERT_NE(catalogue.FindItem(RuleItemId("Plain *")), nullptr);
    EXPECT_EQ(sources[0].entries[1].refused, "");
}

TEST(RulesInventory, WithoutUsableEntriesTheCatalogueGainsNothing)
{
    CCatalogueItems inventory;
    std::vector<RulesSource> sources = {Source("winapp2.ini", RulesPlace::Program, {Rule("Absent *", "Other", false)})};
    sources.push_back(Source("Rules\\bad.ini", RulesPlace::User, {}));
    sources.back().refused = "the file holds a NUL byte on line 1: it is not text";
    AppendRulesToCatalogue(sources, inventory);
    EXPECT_EQ(inventory.Size(), 0u);
}

}  // namespace
