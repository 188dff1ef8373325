// The console's job tree driven with the mouse and the space bar: check
// states of groups and their items, and the task file the console writes
// at its one-second refresh, also when a write fails for a while.
#include "console_fixture.h"

#include "common/guid.h"
#include "common/handles.h"
#include "rules/ruleid.h"
#include "runtime/rulesitems.h"
#include "support/remote_controls.h"
#include "support/text_file.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace {

const char kNullJob[] = "4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2";
const char kEndMarker[] = "5D793A96-4BF6-495E-A8AF-299E203194B6";

const int kUnchecked = 1;
const int kChecked = 2;
const int kMixed = 3;
const int kDisabled = 4;

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// The items the task file enables, without its end marker.
std::set<std::string> EnabledItemsInFile(const std::string& path)
{
    std::set<std::string> items;
    std::string content;
    if (!ReadWholeFile(path, &content)) return items;
    const std::string key = "EnabledTask=";
    for (const std::string& line : SplitCrLfLines(content)) {
        if (line.rfind(key, 0) == 0 && line.substr(key.size()) != kEndMarker) items.insert(Upper(line.substr(key.size())));
    }
    return items;
}

class ConsoleJobTree : public Console {
protected:
    struct TreeItem {
        int number;
        const char* name;
        int parent;  // 0: a top-level item
        bool needsAdministrator = false;
    };

    // An inventory of do-nothing items in the order given.
    void WriteTreeInventory(std::initializer_list<TreeItem> items)
    {
        std::string text = "# test inventory\r\n";
        for (const TreeItem& item : items) {
            text += "[ITEM]\r\nGUID=" + TestItemGuid(item.number) + "\r\n";
            if (item.parent != 0) text += "Parent=" + TestItemGuid(item.parent) + "\r\n";
            text += std::string("Name=") + item.name + "\r\nIcon=0\r\nModuleName=Sweepkit.dll\r\nCLSID=" + kNullJob + "\r\n";
            if (item.needsAdministrator) text += "NeedsAdministrator=1\r\n";
        }
        text += "[ITEM]\r\n";
        ASSERT_TRUE(WriteWholeFile(folder.File("task_inventory.ini"), text));
    }

    // A group with two items, and an item of its own beside it.
    void WriteGroupInventory()
    {
        WriteTreeInventory({{1, "Browsers", 0}, {2, "Cookies", 1}, {3, "History", 1}, {4, "Recent Documents", 0}});
    }

    std::set<std::string> Items(std::initializer_list<int> numbers) const
    {
        std::set<std::string> items;
        for (int n : numbers) items.insert(TestItemGuid(n));
        return items;
    }

    // Waits for the default task file to enable exactly these items.
    bool SavedAs(const std::set<std::string>& items) const
    {
        const std::string path = folder.File("default.tsk");
        if (Eventually([&] { return EnabledItemsInFile(path) == items; }, kAnswerTimeout)) return true;
        ADD_FAILURE() << "the task file enables " << ::testing::PrintToString(EnabledItemsInFile(path));
        return false;
    }

    // The states of Browsers, Cookies, History and Recent Documents, once
    // the console has taken the last input.
    bool StatesBecome(const std::vector<int>& states) const
    {
        const HWND tree = Control(kJobTree);
        auto current = [&] {
            std::vector<int> now;
            for (HTREEITEM item : {browsers, cookies, history, recent}) now.push_back(TreeItemStateImage(tree, item));
            return now;
        };
        if (Eventually([&] { return current() == states; }, kAnswerTimeout)) return true;
        ADD_FAILURE() << "states " << ::testing::PrintToString(current());
        return false;
    }

    void ReadTreeItems()
    {
        const std::vector<RemoteTreeItem> items = ReadTree(Control(kJobTree));
        ASSERT_EQ(items.size(), 2u);
        ASSERT_EQ(items[0].text, "Browsers");
        ASSERT_EQ(items[0].children.size(), 2u);
        EXPECT_EQ(items[0].children[0].text, "Cookies");
        EXPECT_EQ(items[0].children[1].text, "History");
        EXPECT_EQ(items[1].text, "Recent Documents");
        EXPECT_TRUE(items[1].children.empty());
        browsers = items[0].handle;
        cookies = items[0].children[0].handle;
        history = items[0].children[1].handle;
        recent = items[1].handle;
    }

    HTREEITEM browsers = nullptr;
    HTREEITEM cookies = nullptr;
    HTREEITEM history = nullptr;
    HTREEITEM recent = nullptr;
};

}  // namespace

TEST_F(ConsoleJobTree, GroupsFollowTheirItemsItemsFollowTheirGroupAndEachChangeIsSaved)
{
    WriteGroupInventory();
    OpenConsole();
    ReadTreeItems();
    const HWND tree = Control(kJobTree);
    ASSERT_TRUE(StatesBecome({kChecked, kChecked, kChecked, kChecked}));

    // A click on an item's name selects it and leaves its state alone.
    ASSERT_TRUE(ClickItemText(tree, history));
    EXPECT_TRUE(Eventually(
        [&] { return ::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) == reinterpret_cast<LRESULT>(history); },
        5000));

    // One item of the group unticked with the mouse: the group is mixed,
    // which counts as enabled.
    ASSERT_TRUE(ClickStateImage(tree, cookies));
    EXPECT_TRUE(StatesBecome({kMixed, kUnchecked, kChecked, kChecked}));
    EXPECT_TRUE(SavedAs(Items({1, 3, 4})));

    // The space bar on the mixed group clears its whole branch...
    PressSpaceOn(tree, browsers);
    EXPECT_TRUE(StatesBecome({kUnchecked, kUnchecked, kUnchecked, kChecked}));
    // ...and a click on its state picture ticks it all again.
    ASSERT_TRUE(ClickStateImage(tree, browsers));
    EXPECT_TRUE(StatesBecome({kChecked, kChecked, kChecked, kChecked}));
    EXPECT_TRUE(SavedAs(Items({1, 2, 3, 4})));

    // Both items unticked one by one with the space bar: the group follows.
    PressSpaceOn(tree, history);
    EXPECT_TRUE(StatesBecome({kMixed, kChecked, kUnchecked, kChecked}));
    PressSpaceOn(tree, cookies);
    EXPECT_TRUE(StatesBecome({kUnchecked, kUnchecked, kUnchecked, kChecked}));
    // An item without a group stands alone.
    ASSERT_TRUE(ClickStateImage(tree, recent));
    EXPECT_TRUE(StatesBecome({kUnchecked, kUnchecked, kUnchecked, kUnchecked}));
    EXPECT_TRUE(SavedAs({}));
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
}

TEST_F(ConsoleJobTree, AFailedSaveIsShownOnceAndTheChangeIsSavedOnceTheFileCanBeReplaced)
{
    WriteGroupInventory();
    OpenConsole();
    ReadTreeItems();
    const HWND tree = Control(kJobTree);
    const std::string path = folder.File("default.tsk");
    ASSERT_TRUE(SavedAs(Items({1, 2, 3, 4})));

    // Another program holds the task file open without letting it be
    // replaced: the save's final move over it fails.
    UniqueHandle holder(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    PressSpaceOn(tree, recent);
    const HWND box = WaitForBox(kConsoleCaption, kAppearTimeout);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(StaticTextOf(box).rfind("Can't write file " + path + " (Error: ", 0), 0u) << StaticTextOf(box);
    // The refresh goes on every second behind the box, and after it, without
    // telling the same failure again.
    ::Sleep(2500);
    EXPECT_EQ(MessageBoxes(kConsoleCaption).size(), 1u);
    Dismiss(box);
    ::Sleep(2500);
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
    EXPECT_EQ(EnabledItemsInFile(path), Items({1, 2, 3, 4}));

    holder.Reset();
    EXPECT_TRUE(SavedAs(Items({1, 2, 3})));

    // Once saving worked again, a new failure is news to the user.
    holder.Reset(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    PressSpaceOn(tree, recent);
    const HWND again = WaitForBox(kConsoleCaption, kAppearTimeout);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(StaticTextOf(again).rfind("Can't write file " + path + " (Error: ", 0), 0u) << StaticTextOf(again);
    Dismiss(again);
    holder.Reset();
    EXPECT_TRUE(SavedAs(Items({1, 2, 3, 4})));
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
}

TEST_F(ConsoleJobTree, AGroupWhoseSubgroupIsMixedIsMixedThoughItsOtherItemsAreChecked)
{
    // Three levels, as in the shipped catalogue: System > Traces > two items,
    // and an item of System's own beside Traces.
    WriteTreeInventory({{1, "System", 0}, {2, "Traces", 1}, {3, "Logs", 2}, {4, "Dumps", 2}, {5, "Clipboard", 1}});
    OpenConsole();

    const HWND tree = Control(kJobTree);
    const std::vector<RemoteTreeItem> items = ReadTree(tree);
    ASSERT_EQ(items.size(), 1u);
    ASSERT_EQ(items[0].children.size(), 2u);
    ASSERT_EQ(items[0].children[0].children.size(), 2u);
    const HTREEITEM system = items[0].handle;
    const HTREEITEM traces = items[0].children[0].handle;
    const HTREEITEM dumps = items[0].children[0].children[1].handle;
    const HTREEITEM clipboard = items[0].children[1].handle;
    ASSERT_TRUE(Eventually([&] { return TreeItemStateImage(tree, system) == kChecked; }, kAnswerTimeout));

    PressSpaceOn(tree, dumps);
    EXPECT_TRUE(Eventually([&] { return TreeItemStateImage(tree, dumps) == kUnchecked; }, kAnswerTimeout));
    EXPECT_EQ(TreeItemStateImage(tree, traces), kMixed);
    EXPECT_EQ(TreeItemStateImage(tree, clipboard), kChecked);
    EXPECT_EQ(TreeItemStateImage(tree, system), kMixed);
    EXPECT_TRUE(SavedAs(Items({1, 2, 3, 5})));
}

TEST_F(ConsoleJobTree, AStandardUserSeesAnAdministratorsItemDisabledAndNeitherItNorItsGroupTicksIt)
{
    WriteTreeInventory({{1, "Browsers", 0}, {2, "Cookies", 1, true}, {3, "History", 1}, {4, "Recent Documents", 0}});
    OpenConsole(true);
    const std::vector<RemoteTreeItem> items = ReadTree(Control(kJobTree));
    ASSERT_EQ(items.size(), 2u);
    ASSERT_EQ(items[0].children.size(), 2u);
    EXPECT_EQ(items[0].children[0].text, "Cookies (administrators only)");
    EXPECT_EQ(items[0].children[1].text, "History");
    browsers = items[0].handle;
    cookies = items[0].children[0].handle;
    history = items[0].children[1].handle;
    recent = items[1].handle;
    const HWND tree = Control(kJobTree);
    // A new task leaves it out, and the group follows the items this user may tick.
    ASSERT_TRUE(StatesBecome({kChecked, kDisabled, kChecked, kChecked}));
    EXPECT_TRUE(SavedAs(Items({1, 3, 4})));

    ASSERT_TRUE(ClickStateImage(tree, cookies));
    PressSpaceOn(tree, cookies);
    ::Sleep(1500);  // the console's refresh has passed
    EXPECT_TRUE(StatesBecome({kChecked, kDisabled, kChecked, kChecked}));
    PressSpaceOn(tree, browsers);
    EXPECT_TRUE(StatesBecome({kUnchecked, kDisabled, kUnchecked, kChecked}));
    ASSERT_TRUE(ClickStateImage(tree, browsers));
    EXPECT_TRUE(StatesBecome({kChecked, kDisabled, kChecked, kChecked}));
    EXPECT_TRUE(SavedAs(Items({1, 3, 4})));
}

TEST_F(ConsoleJobTree, TheCommunityRulesStandUnderTheirGroupsUntickedAndATickSavesTheEntrysId)
{
    WriteGroupInventory();
    ASSERT_TRUE(WriteWholeFile(folder.File("winapp2.ini"),
                               "[Tw Always There *]\r\nSection=Test Tools\r\n"
                               "FileKey1=%LocalAppData%\\TwAlwaysThere|*.tmp\r\n"
                               "[Tw Absent *]\r\nSection=Test Tools\r\n"
                               "DetectFile=%LocalAppData%\\TwNoSuchApp\r\nFileKey1=%LocalAppData%\\TwNoSuchApp|*.tmp\r\n"
                               "[Tw Refused *]\r\nSection=Test Tools\r\nFileKey1=%Documents%|*.*\r\n"));
    OpenConsole();
    const HWND tree = Control(kJobTree);
    const std::vector<RemoteTreeItem> items = ReadTree(tree);
    ASSERT_EQ(items.size(), 3u);
    const RemoteTreeItem& rules = items[2];
    EXPECT_EQ(rules.text, "Community Rules");
    ASSERT_EQ(rules.children.size(), 1u);
    EXPECT_EQ(rules.children[0].text, "Test Tools");
    // Only the entry that is there and may run; a new task leaves it unticked.
    ASSERT_EQ(rules.children[0].children.size(), 1u);
    const RemoteTreeItem& entry = rules.children[0].children[0];
    EXPECT_EQ(entry.text, "Tw Always There");
    EXPECT_TRUE(Eventually([&] { return TreeItemStateImage(tree, entry.handle) == kUnchecked; }, kAnswerTimeout));

    ASSERT_TRUE(ClickStateImage(tree, entry.handle));
    // Its group and the top group hold nothing else: both follow it.
    EXPECT_TRUE(Eventually([&] { return TreeItemStateImage(tree, rules.handle) == kChecked; }, kAnswerTimeout));
    std::set<std::string> saved = Items({1, 2, 3, 4});
    saved.insert(GuidToString(RuleItemId("Tw Always There *")));
    saved.insert(GuidToString(RulesGroupItemId("Test Tools")));
    saved.insert(GuidToString(kCommunityRulesGroupId));
    EXPECT_TRUE(SavedAs(saved));
}

TEST_F(ConsoleJobTree, TickingEntriesWithWarningsAsksFirstAndCancelLeavesEveryStateAsItWas)
{
    WriteGroupInventory();
    ASSERT_TRUE(WriteWholeFile(folder.File("winapp2.ini"),
                               "[Tw Plain *]\r\nSection=Test Tools\r\nFileKey1=%LocalAppData%\\TwPlainApp|*.tmp\r\n"
                               "[Tw Warned *]\r\nSection=Test Tools\r\nWarning=Removes the saved layouts.\r\n"
                               "FileKey1=%LocalAppData%\\TwWarnedApp|*.layout\r\n"));
    OpenConsole();
    const HWND tree = Control(kJobTree);
    const std::vector<RemoteTreeItem> items = ReadTree(tree);
    ASSERT_EQ(items.size(), 3u);
    ASSERT_EQ(items[2].children.size(), 1u);
    const RemoteTreeItem& group = items[2].children[0];
    ASSERT_EQ(group.children.size(), 2u);
    const HTREEITEM plain = group.children[0].handle;
    const HTREEITEM warned = group.children[1].handle;
    ASSERT_TRUE(SavedAs(Items({1, 2, 3, 4})));
    const std::string question = "The authors of these cleanup jobs warn of what they remove:\n\n"
                                 "Tw Warned: Removes the saved layouts.\n\nTick them anyway?";

    // The group, with or without the mouse, asks about the one item with a warning.
    struct Tick {
        HTREEITEM item;
        bool bySpace;
    };
    for (const Tick& tick : {Tick{group.handle, false}, Tick{group.handle, true}, Tick{warned, false}}) {
        if (tick.bySpace) PressSpaceOn(tree, tick.item);
        else ASSERT_TRUE(ClickStateImage(tree, tick.item));
        const HWND box = WaitForBox(kConsoleCaption, kAppearTimeout);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(StaticTextOf(box), question);
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_TRUE(Eventually([box] { return !::IsWindowVisible(box); }, kAppearTimeout));
        ::Sleep(1500);  // the console's refresh has passed
        EXPECT_EQ(TreeItemStateImage(tree, warned), kUnchecked);
        EXPECT_EQ(TreeItemStateImage(tree, plain), kUnchecked);
        EXPECT_EQ(TreeItemStateImage(tree, group.handle), kUnchecked);
        EXPECT_EQ(EnabledItemsInFile(folder.File("default.tsk")), Items({1, 2, 3, 4}));
    }

    // An item without a warning is ticked at once.
    ASSERT_TRUE(ClickStateImage(tree, plain));
    EXPECT_TRUE(Eventually([&] { return TreeItemStateImage(tree, plain) == kChecked; }, kAnswerTimeout));
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());

    // OK ticks it; the group it completes follows.
    ASSERT_TRUE(ClickStateImage(tree, warned));
    const HWND box = WaitForBox(kConsoleCaption, kAppearTimeout);
    ASSERT_NE(box, nullptr);
    Dismiss(box);
    EXPECT_TRUE(Eventually([&] { return TreeItemStateImage(tree, warned) == kChecked; }, kAnswerTimeout));
    EXPECT_EQ(TreeItemStateImage(tree, group.handle), kChecked);
    std::set<std::string> saved = Items({1, 2, 3, 4});
    for (const GUID& id : {RuleItemId("Tw Plain *"), RuleItemId("Tw Warned *"), RulesGroupItemId("Test Tools"),
                           kCommunityRulesGroupId})
        saved.insert(GuidToString(id));
    EXPECT_TRUE(SavedAs(saved));

    // A console opened again on the task that ticks it asks nothing.
    ::PostMessageA(console, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(Eventually([this] { return !::IsWindow(console); }, kAnswerTimeout));
    ChildProcess second;
    ASSERT_TRUE(second.Start(folder.Program(), {}));
    MessageBoxInfo running;
    ASSERT_TRUE(WaitForMessageBox(second.Id(), 30000, &running));
    DismissMessageBox(running);
    console = WaitForWindow(program.Id(), "#32770", kConsoleCaption, 15000);
    ASSERT_NE(console, nullptr);
    const HWND reopened = Control(kJobTree);
    const std::vector<RemoteTreeItem> again = ReadTree(reopened);
    ASSERT_EQ(again.size(), 3u);
    const HTREEITEM warnedAgain = again[2].children[0].children[1].handle;
    EXPECT_TRUE(Eventually([&] { return TreeItemStateImage(reopened, warnedAgain) == kChecked; }, kAnswerTimeout));
    ::Sleep(1500);
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());

    // Unticking asks nothing.
    ASSERT_TRUE(ClickStateImage(reopened, warnedAgain));
    EXPECT_TRUE(Eventually([&] { return TreeItemStateImage(reopened, warnedAgain) == kUnchecked; }, kAnswerTimeout));
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
}
