#include "tasks/catalogueitems.h"

#include "common/guid.h"
#include "support/raised.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

namespace {

const char kGroup[] = "11111111-0000-0000-0000-000000000001";
const char kChild[] = "22222222-0000-0000-0000-000000000002";
const char kOther[] = "33333333-0000-0000-0000-000000000003";
const char kClass[] = "4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2";

std::string Item(const std::string& guid, const std::string& name, const std::string& extra = std::string())
{
    return "[ITEM]\nGUID=" + guid + "\nName=" + name + "\nIcon=0\nModuleName=Sweepkit.dll\nCLSID=" + kClass + "\n" +
           extra;
}

class Inventory : public ::testing::Test {
protected:
    void Load(const std::string& content)
    {
        ASSERT_TRUE(WriteWholeFile(path, content));
        inventory.Read(path);
    }
    std::vector<std::string> Names() const
    {
        GuidList guids;
        inventory.GetAllItems(guids);
        std::vector<std::string> names;
        for (const GUID& g : guids) names.push_back(inventory.FindItem(g)->name);
        return names;
    }

    ScratchFolder folder;
    std::string path = folder.File("task_inventory.ini");
    CCatalogueItems inventory;
};

}  // namespace

TEST_F(Inventory, ReadsEveryFieldOfAWellFormedFile)
{
    Load(std::string("# cleanup items\n") + Item(kGroup, "Internet Explorer") +
         Item(kChild, "Cookies", std::string("Parent=") + kGroup + "\nConfig=a=b c\nDefaultState=0\n") + "[ITEM]\n");
    ASSERT_EQ(inventory.Size(), 2u);
    const CCatalogueItem* child = inventory.FindItem(StringToGuid(kChild));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->name, "Cookies");
    EXPECT_EQ(GuidToString(child->parent), kGroup);
    EXPECT_EQ(child->icon, 0);
    EXPECT_EQ(child->moduleName, "Sweepkit.dll");
    EXPECT_EQ(GuidToString(child->clsid), "4D6A9D0C-84AA-457E-B3EA-BE99FFFA4FC2");
    EXPECT_EQ(child->config, "a=b c");
    EXPECT_FALSE(child->defaultState);
    EXPECT_TRUE(inventory.FindItem(StringToGuid(kGroup))->defaultState);

    GuidList top;
    inventory.GetChildren(GUID{}, top);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(GuidToString(top[0]), kGroup);
    GuidList children;
    inventory.GetChildren(StringToGuid(kGroup), children);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(GuidToString(children[0]), kChild);
}

TEST_F(Inventory, TheLastItemIsCommittedOnlyByAFollowingSectionLine)
{
    Load(Item(kGroup, "First") + Item(kChild, "Second"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"First"}));
}

TEST_F(Inventory, CommentsAndEmptyLinesAloneGiveAnEmptyInventory)
{
    Load("# nothing here\n\n   \n\t\n#[ITEM]\n");
    EXPECT_EQ(inventory.Size(), 0u);
}

TEST_F(Inventory, EveryKindOfBadLineIsTracedAndSkipped)
{
    TraceCapture trace;
    Load(std::string("Name=before any section\n") +                   // parsed, then dropped
         "  \t[ITEM] \t\n"                                             // section despite blanks
         "GUID=" + kGroup + "\nName=Kept\nIcon=3\nModuleName=Sweepkit.dll\nCLSID=" + kClass + "\n" +
         "[item]\n"                                                    // lower case: invalid line
         ":GUID=" + kOther + "\n"                                      // starts with ":"
         "no equals sign here\n"
         "Colour=blue\n"                                               // unknown key
         "Name = spaced\n"                                             // key "Name " is unknown
         + "[ITEM]\nGUID=" + kChild + "\nName=No icon\nIcon=-1\nModuleName=m.dll\nCLSID=" + kClass + "\n" +
         "[ITEM]\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Kept"}));
    EXPECT_EQ(inventory.FindItem(StringToGuid(kGroup))->icon, 3);
    EXPECT_TRUE(trace.Has("Invalid line - [item]"));
    EXPECT_TRUE(trace.Has(std::string("Invalid line - :GUID=") + kOther));
    EXPECT_TRUE(trace.Has("Invalid line - no equals sign here"));
    EXPECT_TRUE(trace.Has("Unknown parameter: Colour"));
    EXPECT_TRUE(trace.Has("Unknown parameter: Name "));
    EXPECT_TRUE(trace.Has("Invalid item - one or more fields are missing, ignoring"));
    EXPECT_TRUE(trace.Has("CItemInventory::Initialize"));
    EXPECT_TRUE(trace.Has("CItemInventory::Initialize - done"));
}

TEST_F(Inventory, ItemsLackingARequiredFieldAreDropped)
{
    const std::string complete = Item(kGroup, "Complete");
    Load(complete +
         "[ITEM]\nGUID=" + kChild + "\nIcon=1\nModuleName=m.dll\nCLSID=" + kClass + "\n" +  // no Name
         "[ITEM]\nName=x\nIcon=1\nModuleName=m.dll\nCLSID=" + kClass + "\n" +             // no GUID
         "[ITEM]\nGUID=" + kChild + "\nName=x\nIcon=1\nCLSID=" + kClass + "\n" +           // no module
         "[ITEM]\nGUID=" + kChild + "\nName=x\nIcon=1\nModuleName=m.dll\n" +               // no CLSID
         "[ITEM]\nGUID=" + kChild + "\nName=x\nModuleName=m.dll\nCLSID=" + kClass + "\n" + // no Icon
         "[ITEM]\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Complete"}));
}

TEST_F(Inventory, NumbersAreReadLenientlyAndRepeatedKeysKeepTheLastValue)
{
    Load(Item(kGroup, "A", "DefaultState=abc\nIcon= +7x\nName=B\n") + Item(kChild, "C", "DefaultState=-2\n") +
         Item(kOther, "D", "Icon=abc\n") + "[ITEM]\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"B", "C", "D"}));
    EXPECT_FALSE(inventory.FindItem(StringToGuid(kGroup))->defaultState);
    EXPECT_EQ(inventory.FindItem(StringToGuid(kGroup))->icon, 7);
    EXPECT_TRUE(inventory.FindItem(StringToGuid(kChild))->defaultState);
    EXPECT_EQ(inventory.FindItem(StringToGuid(kOther))->icon, 0);
}

TEST_F(Inventory, ShareOfAGuidFindsTheEarlierItem)
{
    Load(Item(kGroup, "Earlier") + Item(kGroup, "Later") + "[ITEM]\n");
    EXPECT_EQ(inventory.Size(), 2u);
    EXPECT_EQ(inventory.FindItem(StringToGuid(kGroup))->name, "Earlier");
    EXPECT_EQ(inventory.FindItem(StringToGuid(kOther)), nullptr);
}

TEST_F(Inventory, BracedGuidsAreAccepted)
{
    Load(Item(std::string("{") + kGroup + "}", "Braced", std::string("Parent={") + kOther + "}\n") + "[ITEM]\n");
    ASSERT_EQ(inventory.Size(), 1u);
    EXPECT_EQ(GuidToString(inventory.FindItem(StringToGuid(kGroup))->parent), kOther);
}

TEST_F(Inventory, AMalformedGuidEndsTheReadKeepingTheItemsBeforeIt)
{
    EXPECT_EQ(RaisedText([&] { Load(Item(kGroup, "Before") + Item("not-a-guid", "Broken") + "[ITEM]\n"); }),
              "bad GUID: not-a-guid");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Before"}));
}

TEST_F(Inventory, AMissingFileRaisesTheReadErrorWithTheErrorNumber)
{
    EXPECT_EQ(RaisedText([&] { inventory.Read(folder.File("absent.ini")); }),
              "Cannot read task inventory (Error: 2). Please contact technical support.");
}

TEST_F(Inventory, LinesLongerThan1023CharactersAreReadAsSeveralLines)
{
    // One physical line: its first 1023 characters are a Config line, the
    // rest is read as the next line, a Name.
    const std::string longLine = "Config=" + std::string(1016, 'c') + "Name=Spill";
    Load(Item(kGroup, "Long", longLine + "\n") + "[ITEM]\n");
    ASSERT_EQ(inventory.Size(), 1u);
    EXPECT_EQ(inventory.FindItem(StringToGuid(kGroup))->config, std::string(1016, 'c'));
    EXPECT_EQ(inventory.FindItem(StringToGuid(kGroup))->name, "Spill");
}

TEST_F(Inventory, ASecondInitializeStartsFromAnEmptyList)
{
    Load(Item(kGroup, "One") + "[ITEM]\n");
    Load(Item(kChild, "Two") + "[ITEM]\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Two"}));
}

TEST_F(Inventory, TraceItemWritesOneLinePerField)
{
    Load(Item(kChild, "Cookies", std::string("Parent=") + kGroup + "\nConfig=cfg.ini\n") + "[ITEM]\n");
    TraceCapture trace;
    inventory.TraceItem(*inventory.FindItem(StringToGuid(kChild)), 20);
    EXPECT_TRUE(trace.Has(std::string("GUID: ") + kChild));
    EXPECT_TRUE(trace.Has(std::string("ParentID: ") + kGroup));
    EXPECT_TRUE(trace.Has("Name: Cookies"));
    EXPECT_TRUE(trace.Has("ModuleName: Sweepkit.dll"));
    EXPECT_TRUE(trace.Has("CLSID: 4D6A9D0C-84AA-457E-B3EA-BE99FFFA4FC2"));
    EXPECT_TRUE(trace.Has("Config: cfg.ini"));
}
