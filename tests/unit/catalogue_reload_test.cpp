// Reading the catalogue again when a rules file is added: whatever fails,
// the catalogue in use (items, rules files, count of its own items) stays
// whole; at start-up a rules read that fails costs only the rules' entries.
#include "runtime/catalogue.h"

#include "common/error.h"
#include "rules/ruleid.h"
#include "support/raised.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const char kGoodItems[] =
    "[ITEM]\nGUID=11111111-0000-0000-0000-000000000001\nName=Shipped\nIcon=0\nModuleName=Sweepkit.dll\n"
    "CLSID=4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2\n[ITEM]\n";

std::vector<RulesSource> OneRulesFile()
{
    CatalogueRule rule;
    rule.id = RuleItemId("Editor Cache *");
    rule.name = "Editor Cache *";
    rule.group = "Applications";
    rule.detected = true;
    RulesSource source;
    source.fileName = "winapp2.ini";
    source.entries = {rule};
    return {source};
}

std::vector<std::string> Names(const CCatalogue& catalogue)
{
    GuidList ids;
    catalogue.Items().GetAllItems(ids);
    std::vector<std::string> names;
    for (const GUID& id : ids) names.push_back(catalogue.Items().FindItem(id)->name);
    return names;
}

class CatalogueReload : public ::testing::Test {
public:  // the table's cases spoil the fixture's files
    CatalogueReload() { EXPECT_TRUE(WriteWholeFile(itemsFile, kGoodItems)); }

    ScratchFolder folder;
    std::string itemsFile = folder.File("task_inventory.ini");
    bool rulesFail = false;
    CCatalogue catalogue{itemsFile, [this] {
                             if (rulesFail) throw CError("the rules folder cannot be listed");
                             return OneRulesFile();
                         }};
};

TEST_F(CatalogueReload, AReloadThatFailsKeepsTheCatalogueInUse)
{
    const std::vector<std::string> loaded = {"Shipped", "Community Rules", "Applications", "Editor Cache"};
    struct Case {
        const char* what;
        std::function<void(CatalogueReload&)> spoil;
        std::string raised;  // empty: any text
    };
    const Case cases[] = {
        {"items file gone", [](CatalogueReload& t) { ::DeleteFileA(t.itemsFile.c_str()); },
         "Cannot read task inventory (Error: 2). Please contact technical support."},
        {"malformed GUID",
         [](CatalogueReload& t) { WriteWholeFile(t.itemsFile, std::string(kGoodItems) + "GUID=not-a-guid\n"); }, ""},
        {"items file is a folder",
         [](CatalogueReload& t) {
             ::DeleteFileA(t.itemsFile.c_str());
             ::CreateDirectoryA(t.itemsFile.c_str(), nullptr);
         },
         ""},
        {"rules read raises", [](CatalogueReload& t) { t.rulesFail = true; }, "the rules folder cannot be listed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::RemoveDirectoryA(itemsFile.c_str());
        ASSERT_TRUE(WriteWholeFile(itemsFile, kGoodItems));
        rulesFail = false;
        catalogue.Load();
        ASSERT_EQ(Names(catalogue), loaded);

        c.spoil(*this);
        bool replaced = false;
        const std::string raised = RaisedText<std::exception>([&] { catalogue.Reload([&] { replaced = true; }); });
        EXPECT_NE(raised, "(nothing raised)");
        if (!c.raised.empty()) {
            EXPECT_EQ(raised, c.raised);
        }
        EXPECT_FALSE(replaced) << "the console's tree was emptied for nothing";
        EXPECT_EQ(Names(catalogue), loaded);
        EXPECT_EQ(catalogue.OwnItemCount(), 1u);
        ASSERT_EQ(catalogue.RulesSources().size(), 1u);
        EXPECT_EQ(catalogue.RulesSources()[0].fileName, "winapp2.ini");
    }
}

TEST_F(CatalogueReload, AReloadThatSucceedsReplacesEverythingAfterTheCallerLetsGo)
{
    catalogue.Load();
    const std::vector<RulesSource>& shown = catalogue.RulesSources();  // as the rules files dialog holds it
    ASSERT_TRUE(WriteWholeFile(itemsFile, std::string(kGoodItems) +
                                              "GUID=22222222-0000-0000-0000-000000000002\nName=Added\nIcon=0\n"
                                              "ModuleName=Sweepkit.dll\nCLSID=4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2\n"
                                              "[ITEM]\n"));
    std::vector<std::string> seenBefore;
    catalogue.Reload([&] { seenBefore = Names(catalogue); });
    EXPECT_EQ(seenBefore, (std::vector<std::string>{"Shipped", "Community Rules", "Applications", "Editor Cache"}));
    EXPECT_EQ(Names(catalogue),
              (std::vector<std::string>{"Shipped", "Added", "Community Rules", "Applications", "Editor Cache"}));
    EXPECT_EQ(catalogue.OwnItemCount(), 2u);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].entries.size(), 1u);
}

TEST_F(CatalogueReload, AtStartUpARulesReadThatFailsCostsOnlyTheRulesEntries)
{
    rulesFail = true;
    catalogue.Load();
    EXPECT_EQ(Names(catalogue), (std::vector<std::string>{"Shipped"}));
    EXPECT_TRUE(catalogue.RulesSources().empty());

    ::DeleteFileA(itemsFile.c_str());
    EXPECT_EQ(RaisedText([&] { catalogue.Load(); }),
              "Cannot read task inventory (Error: 2). Please contact technical support.");
    EXPECT_EQ(Names(catalogue), (std::vector<std::string>{"Shipped"})) << "a failed load replaces nothing";
}

}  // namespace
