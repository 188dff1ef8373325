// The console's community rules files dialog: every file the program read
// with what became of its entries, and a file of the user's own added
// through the system's file-open dialog, copied into the data folder's
// Rules folder.
#include "console_fixture.h"

#include "support/remote_controls.h"
#include "support/text_file.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kRulesFilesCaption[] = "Community Rules Files";
const char kOpenCaption[] = "Add a Rules File";

const char kProgramRules[] =
    "[Tw Offered *]\r\nSection=Test Tools\r\nFileKey1=%LocalAppData%\\TwOfferedApp|*.tmp\r\n"
    "[Tw Not Installed *]\r\nSection=Test Tools\r\nDetectFile=%LocalAppData%\\TwNoSuchApp\r\n"
    "FileKey1=%LocalAppData%\\TwNoSuchApp|*.tmp\r\n"
    "[Tw Refused *]\r\nSection=Test Tools\r\nFileKey1=%Documents%|*.*\r\n"
    "[Tw Warned *]\r\nSection=Test Tools\r\nWarning=Removes the saved layouts.\r\n"
    "FileKey1=%LocalAppData%\\TwWarnedApp|*.layout\r\n";
const char kUserRules[] =
    "[Tw User Own *]\r\nSection=Test Tools\r\nFileKey1=%LocalAppData%\\TwUserApp|*.tmp\r\n"
    "[Tw Offered *]\r\nFileKey1=%LocalAppData%\\TwOfferedApp|*.bak\r\n";
const char kAddedRules[] =
    "[Tw Added *]\r\nSection=Added Tools\r\nFileKey1=%LocalAppData%\\TwAddedApp|*.tmp\r\n";

BOOL CALLBACK FindEdit(HWND window, LPARAM found)
{
    char name[16] = {};
    ::GetClassNameA(window, name, sizeof name);
    if (::lstrcmpiA(name, "Edit") != 0 || !::IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

class RulesFilesDialog : public Console {
protected:
    void SetUp() override
    {
        Console::SetUp();
        dataFolder = dataParent.File("Tidewhistle");
        ASSERT_TRUE(MakeFolders(dataFolder + "\\Rules"));
        settings.SetString("DataFolder", dataFolder + "\\");
        ASSERT_TRUE(MakeFolders(folder.File("Rules")));
        ASSERT_TRUE(WriteWholeFile(folder.File("winapp2.ini"), kProgramRules));
        ASSERT_TRUE(WriteWholeFile(folder.File("Rules\\garbage.ini"), std::string("\x7f" "ELF\0\0\x01", 7)));
        ASSERT_TRUE(WriteWholeFile(dataFolder + "\\Rules\\mine.ini", kUserRules));
    }

    HWND OpenRulesFiles()
    {
        Press(IDC_RULES_FILES);
        return WaitForWindow(program.Id(), "#32770", kRulesFilesCaption, 15000);
    }

    std::vector<std::vector<std::string>> Rows(HWND dialog) const
    {
        return ReadListRows(::GetDlgItem(dialog, IDC_RULES_FILE_LIST));
    }

    // Presses Add, types the path into the open dialog's file name and presses Open.
    void AddThroughOpenDialog(HWND dialog, const std::string& path) const
    {
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ADD_RULES_FILE, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDC_ADD_RULES_FILE)));
        const HWND open = WaitForWindow(program.Id(), "#32770", kOpenCaption, 30000);
        ASSERT_NE(open, nullptr);
        HWND edit = nullptr;
        ASSERT_TRUE(Eventually(
            [&] {
                ::EnumChildWindows(open, &FindEdit, reinterpret_cast<LPARAM>(&edit));
                return edit != nullptr;
            },
            kAppearTimeout));
        SetControlText(edit, path);
        ::PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(Eventually([open] { return !::IsWindowVisible(open); }, kAnswerTimeout)) << "the open dialog stays";
    }

    // Presses the button in the box and waits until it is no longer shown.
    void Answer(HWND box, int button) const
    {
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        EXPECT_TRUE(Eventually([box] { return !::IsWindowVisible(box); }, kAppearTimeout)) << "the box stays";
    }

    std::string UserRules(const std::string& name) const
    {
        std::string content;
        return ReadWholeFile(dataFolder + "\\Rules\\" + name, &content) ? content : std::string("(missing)");
    }

    ScratchFolder dataParent;
    ScratchFolder chosen;  // where the files the user adds are
    std::string dataFolder;
};

}  // namespace

TEST_F(RulesFilesDialog, EachFileReadIsListedWithWhatBecameOfItsEntries)
{
    OpenConsole();
    const HWND dialog = OpenRulesFiles();
    ASSERT_NE(dialog, nullptr);
    const std::vector<std::vector<std::string>> rows = Rows(dialog);
    // File, Folder, Entries, Offered, Not installed, Refused, Problem.
    const std::vector<std::vector<std::string>> expected = {
        {"winapp2.ini", "program", "4", "2", "1", "1", ""},
        {"Rules\\garbage.ini", "program", "0", "0", "0", "0", "the file"},
        {"Rules\\mine.ini", "yours", "2", "1", "0", "1", ""},  // one entry is also in winapp2.ini
    };
    ASSERT_EQ(rows.size(), expected.size()) << ::testing::PrintToString(rows);
    for (size_t row = 0; row < expected.size(); ++row) {
        ASSERT_EQ(rows[row].size(), 7u);
        for (size_t column = 0; column < 6; ++column)
            EXPECT_EQ(rows[row][column], expected[row][column]) << "row " << row << ", column " << column;
        // A file refused whole says why; the others say nothing.
        EXPECT_EQ(rows[row][6].rfind(expected[row][6], 0), 0u) << rows[row][6];
        EXPECT_EQ(rows[row][6].empty(), expected[row][6].empty()) << rows[row][6];
    }
    KeepScreenshot(dialog, "rules_files_dialog.png");
}

TEST_F(RulesFilesDialog, AnAddedFileIsCopiedToTheUsersRulesFolderAndItsEntriesJoinTheTreeAtOnce)
{
    ASSERT_TRUE(WriteWholeFile(chosen.File("added.ini"), kAddedRules));
    OpenConsole();
    const HWND dialog = OpenRulesFiles();
    ASSERT_NE(dialog, nullptr);
    AddThroughOpenDialog(dialog, chosen.File("added.ini"));

    EXPECT_TRUE(Eventually([&] { return Rows(dialog).size() == 4u; }, kAnswerTimeout));
    const std::vector<std::vector<std::string>> rows = Rows(dialog);
    ASSERT_EQ(rows.size(), 4u);
    // Read again in name order, as every task process reads the files.
    EXPECT_EQ(rows[2], (std::vector<std::string>{"Rules\\added.ini", "yours", "1", "1", "0", "0", ""}));
    EXPECT_EQ(rows[3][0], "Rules\\mine.ini");
    EXPECT_EQ(UserRules("added.ini"), kAddedRules);
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty()) << "a new file needs no restart";

    // The tree is built again with the new group beside the old one.
    const std::vector<RemoteTreeItem> items = ReadTree(Control(kJobTree));
    ASSERT_FALSE(items.empty());
    const RemoteTreeItem& rules = items.back();
    EXPECT_EQ(rules.text, "Community Rules");
    ASSERT_EQ(rules.children.size(), 2u);
    EXPECT_EQ(rules.children[0].text, "Test Tools");
    EXPECT_EQ(rules.children[1].text, "Added Tools");
    ASSERT_EQ(rules.children[1].children.size(), 1u);
    EXPECT_EQ(rules.children[1].children[0].text, "Tw Added");
}

TEST_F(RulesFilesDialog, AFileRefusedWholeIsNotCopiedAndTheBoxSaysWhy)
{
    struct Case {
        std::string name;
        std::string bytes;
        std::string said;
    };
    const Case cases[] = {
        {"junk.ini", std::string("MZ\x90\0\x03\0\0\0", 8), "The rules file junk.ini was not added: the file"},
        {"notes.txt", kAddedRules, "The rules file notes.txt was not added: its name notes.txt is not a plain file name"},
    };
    OpenConsole();
    const HWND dialog = OpenRulesFiles();
    ASSERT_NE(dialog, nullptr);
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteWholeFile(chosen.File(c.name), c.bytes));
        AddThroughOpenDialog(dialog, chosen.File(c.name));
        const HWND box = WaitForBox(kConsoleCaption, kAppearTimeout);
        ASSERT_NE(box, nullptr) << c.name;
        EXPECT_EQ(StaticTextOf(box).rfind(c.said, 0), 0u) << StaticTextOf(box);
        Dismiss(box);
        EXPECT_EQ(UserRules(c.name), "(missing)");
    }
    EXPECT_EQ(Rows(dialog).size(), 3u);
}

TEST_F(RulesFilesDialog, ReplacingAFileIsAskedNoKeepsItAndYesReplacesItAndItsEntries)
{
    const std::string replacement = std::string(kUserRules) + "[Tw User Second *]\r\nFileKey1=%Temp%\\TwSecond|*.tmp\r\n";
    ASSERT_TRUE(WriteWholeFile(chosen.File("mine.ini"), replacement));
    OpenConsole();
    const HWND dialog = OpenRulesFiles();
    ASSERT_NE(dialog, nullptr);

    AddThroughOpenDialog(dialog, chosen.File("mine.ini"));
    HWND box = WaitForBox(kConsoleCaption, kAppearTimeout);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(StaticTextOf(box), "Your rules files already hold one named mine.ini. Replace it with the file you chose?");
    Answer(box, IDNO);
    EXPECT_EQ(UserRules("mine.ini"), kUserRules) << "No keeps the file byte for byte";
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());

    AddThroughOpenDialog(dialog, chosen.File("mine.ini"));
    box = WaitForBox(kConsoleCaption, kAppearTimeout);
    ASSERT_NE(box, nullptr);
    Answer(box, IDYES);
    // The catalogue is read again: the file's entries are those it holds now.
    EXPECT_TRUE(Eventually([&] { return Rows(dialog).size() == 3u && Rows(dialog)[2][2] == "3"; }, kAnswerTimeout));
    EXPECT_EQ(Rows(dialog)[2], (std::vector<std::string>{"Rules\\mine.ini", "yours", "3", "2", "0", "1", ""}));
    EXPECT_EQ(UserRules("mine.ini"), replacement);
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
    const std::vector<RemoteTreeItem> items = ReadTree(Control(kJobTree));
    ASSERT_FALSE(items.empty());
    std::vector<std::string> groups;
    for (const RemoteTreeItem& group : items.back().children) groups.push_back(group.text);
    EXPECT_EQ(groups, (std::vector<std::string>{"Test Tools", "Other"}));
    ASSERT_EQ(items.back().children.size(), 2u);
    ASSERT_EQ(items.back().children[1].children.size(), 1u);
    EXPECT_EQ(items.back().children[1].children[0].text, "Tw User Second");
}
