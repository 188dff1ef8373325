// The configuration console of the real program, driven as UI automation
// does: its windows found by class and caption, commands sent as a user's
// clicks would send them, control text read across processes.
#include "support/message_box_probe.h"
#include "support/program_runner.h"
#include "support/registry_fixture.h"
#include "support/task_folder.h"
#include "support/text_file.h"
#include "common/guid.h"
#include "tasks/inventory.h"

#include <algorithm>

#include <windows.h>
#include <gtest/gtest.h>

namespace {

const int kTaskBox = 1029;
const int kDeleteTask = 1012;

std::string StaticTextOf(HWND dialog)
{
    std::string text;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        ::GetClassNameA(child, className, sizeof className);
        char buffer[4096] = {};
        ::GetWindowTextA(child, buffer, sizeof buffer);
        if (std::string(className) == "Static" && buffer[0] != '\0') text = buffer;
    }
    return text;
}

class Console : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.SetDword("AutoRun", 0);
        ::DeleteFileA(folder.File("default.tsk").c_str());
    }
    void TearDown() override
    {
        if (program.Handle() != nullptr && !program.Wait(0)) {
            if (console != nullptr) ::PostMessageA(console, WM_COMMAND, IDCANCEL, 0);
            DWORD exitCode = 0;
            RunToEnd(folder.Program(), {"/shutdown"}, 30000, &exitCode);
            if (!program.Wait(30000)) program.Kill();
        }
    }

    // Starts the program with no argument: the resident role with its console.
    void OpenConsole()
    {
        ASSERT_TRUE(program.Start(folder.Program(), {}));
        console = WaitForWindow(program.Id(), "#32770", "Hollowmere Tidewhistle", 30000);
        ASSERT_NE(console, nullptr);
    }

    std::vector<std::string> TaskBoxTexts() const
    {
        const HWND box = ::GetDlgItem(console, kTaskBox);
        std::vector<std::string> texts;
        const int count = static_cast<int>(::SendMessageA(box, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            // Across processes the text is handed over in the wide form.
            wchar_t text[256] = {};
            ::SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            std::string narrow;
            for (const wchar_t* c = text; *c != 0; ++c) narrow += static_cast<char>(*c);
            texts.push_back(narrow);
        }
        return texts;
    }

    TaskProgramFolder folder;
    ProgramSettings settings;
    ChildProcess program;
    HWND console = nullptr;
};

}  // namespace

TEST_F(Console, WithoutADefaultTaskFileItCreatesOneWithEveryItemChecked)
{
    OpenConsole();
    EXPECT_EQ(TaskBoxTexts(), (std::vector<std::string>{"<default>", "<create new...>"}));
    EXPECT_EQ(::SendMessageA(::GetDlgItem(console, kTaskBox), CB_GETCURSEL, 0, 0), 0);
    ASSERT_TRUE(FileExists(folder.File("default.tsk")));

    CItemInventory inventory;
    inventory.Initialize(folder.File("task_inventory.ini"));
    GuidList items;
    inventory.GetAllItems(items);
    std::string content;
    ASSERT_TRUE(ReadWholeFile(folder.File("default.tsk"), &content));
    EXPECT_EQ(content.rfind("TaskName=default\r\n", 0), 0u);
    for (const GUID& item : items) {
        EXPECT_NE(content.find("EnabledTask=" + GuidToString(item) + "\r\n"), std::string::npos)
            << inventory.FindItem(item)->name;
    }
}

TEST_F(Console, UserTasksAreListedUnderTheirTaskNamesAfterTheTwoFixedEntries)
{
    folder.WriteScheduledTask("morning", "Morning clean", TaskSchedule(), {});
    folder.WriteScheduledTask("Evening", "Evening", TaskSchedule(), {});
    OpenConsole();
    std::vector<std::string> texts = TaskBoxTexts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "<default>");
    EXPECT_EQ(texts[1], "<create new...>");
    std::sort(texts.begin() + 2, texts.end());
    EXPECT_EQ(texts[2], "Evening");
    EXPECT_EQ(texts[3], "Morning clean");
}

TEST_F(Console, TheDefaultTaskCannotBeDeleted)
{
    OpenConsole();
    ::PostMessageA(console, WM_COMMAND, MAKEWPARAM(kDeleteTask, BN_CLICKED), 0);
    const HWND box = WaitForWindow(program.Id(), "#32770", "Tidewhistle", 15000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(StaticTextOf(box), "Default task cannot be deleted");
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(FileExists(folder.File("default.tsk")));
}

TEST_F(Console, ATaskFileThatFailsToLoadIsListedAndLeftUntouched)
{
    const std::string broken = "TaskName=Broken\r\nScheduleEnabled=0\r\nBaseScheduleTime=not a time\r\n";
    ASSERT_TRUE(WriteWholeFile(folder.File("Broken.tsk"), broken));
    ASSERT_TRUE(program.Start(folder.Program(), {}));
    MessageBoxInfo box;
    for (int i = 0; i < 300; ++i) {
        const HWND window = WaitForWindow(program.Id(), "#32770", "Hollowmere Tidewhistle", 100);
        if (window != nullptr && ::GetDlgItem(window, kTaskBox) == nullptr && !StaticTextOf(window).empty()) {
            box.window = window;
            box.text = StaticTextOf(window);
            break;
        }
    }
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text.rfind("One or more tasks failed to load, please contact technical support. List of tasks:\n"
                             "'Broken.tsk' (Error: Bad file format (",
                             0),
              0u)
        << box.text;
    DismissMessageBox(box);
    console = WaitForWindow(program.Id(), "#32770", "Hollowmere Tidewhistle", 15000);
    std::string after;
    ASSERT_TRUE(ReadWholeFile(folder.File("Broken.tsk"), &after));
    EXPECT_EQ(after, broken);
}
