// The console's task box and its dialogs: the tasks listed, created,
// refused and deleted, the default task kept, the settings dialog and the
// Run entry it governs.
#include "console_fixture.h"
#include "support/eventually.h"

#include "support/message_box_probe.h"
#include "support/remote_controls.h"
#include "support/text_file.h"
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "common/handles.h"
#include "tasks/catalogueitems.h"

#include <algorithm>
#include <cstring>

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

const char kNullJob[] = "4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2";

int CountTaskFiles(const std::string& folder)
{
    int count = 0;
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(::FindFirstFileA((folder + "\\*.tsk").c_str(), &found));
    if (!search) return 0;
    do {
        ++count;
    } while (::FindNextFileA(search.Get(), &found));
    return count;
}

}  // namespace

namespace {

// The first message box the program shows before its console: a dialog of
// the application's caption without the task box, with some text.
MessageBoxInfo WaitForBoxBeforeTheConsole(DWORD processId)
{
    MessageBoxInfo box;
    for (int i = 0; i < 300; ++i) {
        const HWND window = WaitForWindow(processId, "#32770", "Hollowmere Tidewhistle", 100);
        if (window != nullptr && ::GetDlgItem(window, kTaskBox) == nullptr && !StaticTextOf(window).empty()) {
            box.window = window;
            box.text = StaticTextOf(window);
            break;
        }
    }
    return box;
}

}  // namespace

TEST_F(Console, WithoutADefaultTaskFileItCreatesOneWithTheItemsThatStartTicked)
{
    OpenConsole();
    EXPECT_EQ(TaskBoxTexts(), (std::vector<std::string>{"<default>", "<create new...>"}));
    EXPECT_EQ(::SendMessageA(::GetDlgItem(console, kTaskBox), CB_GETCURSEL, 0, 0), 0);
    ASSERT_TRUE(FileExists(folder.File("default.tsk")));

    CCatalogueItems inventory;
    inventory.Read(folder.File("task_inventory.ini"));
    GuidList items;
    inventory.GetAllItems(items);
    std::string content;
    ASSERT_TRUE(ReadWholeFile(folder.File("default.tsk"), &content));
    EXPECT_EQ(content.rfind("TaskName=default\r\n", 0), 0u);
    // The test runs as an administrator, so only DefaultState decides.
    for (const GUID& item : items) {
        const bool enabled = content.find("EnabledTask=" + GuidToString(item) + "\r\n") != std::string::npos;
        EXPECT_EQ(enabled, inventory.FindItem(item)->defaultState) << inventory.FindItem(item)->name;
    }
}

TEST_F(Console, UserTasksAreListedByTheirFilesAndACopyUnderAnotherNameIsNeverTakenForItsTask)
{
    folder.WriteScheduledTask("Morning clean", "Morning clean", TaskSchedule(), {});
    folder.WriteScheduledTask("Evening", "Evening", TaskSchedule(), {});
    // A copy Explorer made, and one that only its 8.3 short name lists as "*.tsk".
    folder.WriteScheduledTask("default - Copy", "default", TaskSchedule(), {});
    ASSERT_TRUE(::CopyFileA(folder.File("Evening.tsk").c_str(), folder.File("Evening.tsk~").c_str(), FALSE));
    ASSERT_TRUE(program.Start(folder.Program(), {}));
    MessageBoxInfo box = WaitForBoxBeforeTheConsole(program.Id());
    ASSERT_NE(box.window, nullptr);
    EXPECT_NE(box.text.find("'default - Copy.tsk' (Error: The task file "), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("holds the task 'default'; a task file must be named after its task."), std::string::npos);
    DismissMessageBox(box);
    // The console, not the box on its way out.
    ASSERT_TRUE(Eventually(
        [&] {
            console = WaitForWindow(program.Id(), "#32770", "Hollowmere Tidewhistle", 100);
            return console != nullptr && ::GetDlgItem(console, kTaskBox) != nullptr;
        },
        15000));
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
    const MessageBoxInfo box = WaitForBoxBeforeTheConsole(program.Id());
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

TEST_F(Console, EveryRefusedNewTaskNameIsExplainedAndTheDialogStaysUntilANameIsAccepted)
{
    folder.WriteScheduledTask("Evening", "Evening", TaskSchedule(), {});
    OpenConsole();
    // The task box's entry "<create new...>" opens the dialog (posted: the
    // dialog is modal).
    const HWND taskBox = Control(kTaskBox);
    ::SendMessageA(taskBox, CB_SETCURSEL, 1, 0);
    ::PostMessageA(console, WM_COMMAND, MAKEWPARAM(kTaskBox, CBN_SELCHANGE), reinterpret_cast<LPARAM>(taskBox));
    const HWND dialog = WaitForWindow(program.Id(), "#32770", "Create New Cleanup Task", 15000);
    ASSERT_NE(dialog, nullptr);
    const HWND edit = ::GetDlgItem(dialog, kTaskName);

    const std::string notALetter = "Task name must begin with English alphabetic character. Please choose another name.";
    const std::string forbidden = "Task name must not contain any of the characters \\ / : * ? \" < > | or control "
                                  "characters. Please choose another name.";
    const std::string trailing = "Task name must not end with a space or a dot. Please choose another name.";
    const std::string device = "' is the name of a Windows device and cannot be used as a task name, with or without "
                               "an extension. Please choose another name.";
    const std::wstring tooLong = L"T" + std::wstring(128, L'x');
    const std::pair<const wchar_t*, std::string> refused[] = {
        {tooLong.c_str(), "Task name refused: T" + std::string(39, 'x') + "... (a task name has at most 128 characters)."},
        {L"", "Please supply task name"},
        {L"1st clean", notALetter},
        {L" Leading blank", notALetter},
        {L"DeFaulT", "'Default' task name is reserved. Please choose another name."},
        {L"Night:late", forbidden},
        {L"Trailing dot.", trailing},
        {L"Trailing blank ", trailing},
        {L"con", "'CON" + device},
        {L"Lpt1.tsk", "'LPT1" + device},
        {L"EVENING", "A task named 'Evening' already exists. Please choose another name."},
    };
    for (const auto& [name, message] : refused) {
        SCOPED_TRACE(message);
        ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name));
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        const HWND box = WaitForBox("Task Name Error", kAppearTimeout);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(StaticTextOf(box), message);
        Dismiss(box);
        EXPECT_TRUE(::IsWindowVisible(dialog));
    }
    EXPECT_EQ(CountTaskFiles(folder.Path()), 2);  // default and Evening
    EXPECT_EQ(TaskBoxTexts().size(), 3u);

    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"defaultish"));
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(Eventually([dialog] { return !::IsWindow(dialog); }, kAppearTimeout));
    std::string content;
    ASSERT_TRUE(Eventually([&] { return ReadWholeFile(folder.File("defaultish.tsk"), &content); }, kAnswerTimeout));
    EXPECT_EQ(content.rfind("TaskName=defaultish\r\n", 0), 0u);
    const std::vector<std::string> texts = TaskBoxTexts();
    ASSERT_EQ(texts.size(), 4u);
    // The new task is the one shown.
    const int position = SelectedTaskPosition();
    ASSERT_GE(position, 0);
    EXPECT_EQ(texts[position], "defaultish");
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
}

TEST_F(Console, DeletingAUserTaskRemovesItsFilesAndEntryAndShowsTheDefaultTask)
{
    folder.WriteInventory({{TestItemGuid(1), "Nothing", "Sweepkit.dll", kNullJob, ""}});
    folder.WriteTask("Evening", {TestItemGuid(1)});
    folder.WriteTask("Morning", {TestItemGuid(1)});
    folder.RunTask("Evening");  // its session data file
    const time32 lastRun = 1767254400;
    ASSERT_TRUE(WriteWholeFile(folder.File("TS_LRT_Evening.dat"), std::string(reinterpret_cast<const char*>(&lastRun), 4)));
    ASSERT_TRUE(FileExists(folder.SessionFile("Evening")));

    OpenConsole();
    // Shown, the task's progress list holds its session data file open.
    ChooseTask("Evening");
    ASSERT_TRUE(Eventually([this] { return ::SendMessageA(VisibleProgressList(), LVM_GETITEMCOUNT, 0, 0) > 0; }, kAnswerTimeout));
    // A preview's records, and its report as a hard link: only its own name may go.
    ASSERT_TRUE(WriteWholeFile(folder.PreviewSessionFile("Evening"), ""));
    ScratchFolder elsewhere;
    ASSERT_TRUE(WriteWholeFile(elsewhere.File("canary.txt"), "precious"));
    ASSERT_TRUE(::CreateHardLinkA(folder.File("Evening.preview.txt").c_str(), elsewhere.File("canary.txt").c_str(), nullptr));
    Press(kDeleteTask);
    ASSERT_TRUE(Eventually(
        [this] {
            const std::vector<std::string> texts = TaskBoxTexts();
            return std::find(texts.begin(), texts.end(), "Evening") == texts.end();
        },
        10000));

    EXPECT_EQ(TaskBoxTexts(), (std::vector<std::string>{"<default>", "<create new...>", "Morning"}));
    EXPECT_EQ(SelectedTaskPosition(), 0);
    EXPECT_FALSE(FileExists(folder.File("Evening.tsk")));
    EXPECT_FALSE(FileExists(folder.SessionFile("Evening")));
    EXPECT_FALSE(FileExists(folder.File("TS_LRT_Evening.dat")));
    EXPECT_FALSE(FileExists(folder.PreviewSessionFile("Evening")));
    EXPECT_FALSE(FileExists(folder.File("Evening.preview.txt")));
    std::string canary;
    EXPECT_TRUE(ReadWholeFile(elsewhere.File("canary.txt"), &canary));
    EXPECT_EQ(canary, "precious");
    EXPECT_TRUE(FileExists(folder.File("Morning.tsk")));
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
    // The default task's own progress list is the one on show.
    EXPECT_EQ(::SendMessageA(VisibleProgressList(), LVM_GETITEMCOUNT, 0, 0), 0);
}

namespace {

// The Run entries of the prefix are put back as they were once the test has
// ended, after the program's last start (every start brings them in line
// with the AutoRun setting).
class ConsoleRunEntry : public Console {
protected:
    void SetUp() override
    {
        Console::SetUp();
        machineRun.Remove(kRunValueName);
        userRun.Remove(kRunValueName);
    }

    RegistryValuesOverride machineRun{HKEY_LOCAL_MACHINE, kRunKey};
    RegistryValuesOverride userRun{HKEY_CURRENT_USER, kRunKey};
};

}  // namespace

TEST_F(ConsoleRunEntry, TheSettingsDialogWritesTheRunEntryWhenTickedAndRemovesItWhenUnticked)
{
    OpenConsole();

    auto clickLoadAtStartup = [this](bool tickedBefore) {
        Press(kSettings);
        const HWND dialog = WaitForWindow(program.Id(), "#32770", "Hollowmere Tidewhistle Settings", 15000);
        ASSERT_NE(dialog, nullptr);
        const HWND check = ::GetDlgItem(dialog, kLoadAtStartup);
        EXPECT_EQ(::SendMessageA(check, BM_GETCHECK, 0, 0), tickedBefore ? BST_CHECKED : BST_UNCHECKED);
        ::SendMessageA(check, BM_CLICK, 0, 0);
        ASSERT_EQ(::SendMessageA(check, BM_GETCHECK, 0, 0), tickedBefore ? BST_UNCHECKED : BST_CHECKED);
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ASSERT_TRUE(Eventually([dialog] { return !::IsWindow(dialog); }, kAppearTimeout));
    };
    auto autoRun = [] {
        RegValue value;
        if (!ReadRegValue(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "AutoRun", &value) || value.type != REG_DWORD ||
            value.data.size() != 4) {
            return -1;
        }
        DWORD on = 0;
        std::memcpy(&on, value.data.data(), 4);
        return static_cast<int>(on);
    };

    clickLoadAtStartup(false);
    ASSERT_TRUE(Eventually([&] { return RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName); }, kAppearTimeout));
    EXPECT_EQ(autoRun(), 1);
    std::string command;
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, &command));
    EXPECT_EQ(command, "\"" + folder.Program() + "\" /tray");
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValueName));

    // An entry that a failed machine-wide write once left for the user goes too.
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunKey, kRunValueName, command));
    clickLoadAtStartup(true);
    EXPECT_TRUE(Eventually([&] { return !RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName); }, kAppearTimeout));
    EXPECT_TRUE(Eventually([&] { return !RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValueName); }, kAppearTimeout));
    EXPECT_EQ(autoRun(), 0);
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
}

namespace {

const char kPolicyKey[] = "Software\\Policies\\Hollowmere\\Tidewhistle";

// A window's own text, read across processes.
std::string WindowText(HWND window)
{
    char text[512] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

}  // namespace

TEST_F(ConsoleRunEntry, APolicyWinsOverTheSettingAndItsBoxIsShownDisabledWithTheReason)
{
    RegistryValuesOverride policy(HKEY_LOCAL_MACHINE, kPolicyKey);
    settings.SetDword("AutoRun", 1);
    policy.SetDword("AutoRun", 0);
    OpenConsole();
    ASSERT_NE(console, nullptr);
    // The program brought the Run entries in line before its window showed.
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValueName));

    Press(kSettings);
    const HWND dialog = WaitForWindow(program.Id(), "#32770", "Hollowmere Tidewhistle Settings", 15000);
    ASSERT_NE(dialog, nullptr);
    const HWND check = ::GetDlgItem(dialog, kLoadAtStartup);
    EXPECT_EQ(::SendMessageA(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(::IsWindowEnabled(check));
    EXPECT_EQ(WindowText(::GetDlgItem(dialog, IDC_SETTING_LOCKED)),
              "Your administrator sets this by policy, so it cannot be changed here.");
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(Eventually([dialog] { return !::IsWindow(dialog); }, kAppearTimeout));

    // OK kept the user's own setting; the policy still decides.
    RegValue autoRun;
    ASSERT_TRUE(ReadRegValue(HKEY_LOCAL_MACHINE, kProgramSettingsKey, "AutoRun", &autoRun));
    ASSERT_EQ(autoRun.data.size(), 4u);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(autoRun.data.data()), 1u);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName));
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
}

TEST_F(Console, WhilePolicyLocksTasksNoneIsCreatedOrDeletedAndTheButtonsAreDisabled)
{
    RegistryValuesOverride policy(HKEY_LOCAL_MACHINE, kPolicyKey);
    policy.SetDword("LockTasks", 1);
    folder.WriteScheduledTask("Deployed", "Deployed", TaskSchedule(), {});
    std::string deployed;
    ASSERT_TRUE(ReadWholeFile(folder.File("Deployed.tsk"), &deployed));
    OpenConsole();
    ASSERT_NE(console, nullptr);
    EXPECT_TRUE(Eventually([&] { return !::IsWindowEnabled(Control(IDC_NEW_TASK)); }, kAppearTimeout));
    EXPECT_FALSE(::IsWindowEnabled(Control(kDeleteTask)));

    // The task box's "<create new...>" explains instead of asking for a name.
    const HWND taskBox = Control(kTaskBox);
    ::SendMessageA(taskBox, CB_SETCURSEL, 1, 0);
    ::PostMessageA(console, WM_COMMAND, MAKEWPARAM(kTaskBox, CBN_SELCHANGE), reinterpret_cast<LPARAM>(taskBox));
    const HWND box = WaitForBox(kConsoleCaption, kAppearTimeout);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(StaticTextOf(box),
              "Your administrator's policy does not allow tasks to be created or deleted on this computer.");
    Dismiss(box);
    EXPECT_EQ(WaitForWindow(program.Id(), "#32770", "Create New Cleanup Task", 500), nullptr);

    // A delete that reaches the console anyway (its keyboard shortcut) is refused too.
    ChooseTask("Deployed");
    Press(kDeleteTask);
    const HWND refused = WaitForBox(kConsoleCaption, kAppearTimeout);
    ASSERT_NE(refused, nullptr);
    Dismiss(refused);
    std::string after;
    ASSERT_TRUE(ReadWholeFile(folder.File("Deployed.tsk"), &after));
    EXPECT_EQ(after, deployed);
    EXPECT_EQ(TaskBoxTexts(), (std::vector<std::string>{"<default>", "<create new...>", "Deployed"}));

    // Policy lifted while the console is open: the buttons come back.
    policy.Remove("LockTasks");
    EXPECT_TRUE(Eventually([&] { return ::IsWindowEnabled(Control(IDC_NEW_TASK)); }, kAppearTimeout));
    EXPECT_TRUE(::IsWindowEnabled(Control(kDeleteTask)));
}

namespace {

int VisibleProgressLists(HWND console)
{
    int count = 0;
    for (HWND child = ::GetWindow(console, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::GetDlgCtrlID(child) == kProgressList && ::IsWindowVisible(child)) ++count;
    }
    return count;
}

}  // namespace

TEST_F(Console, ANewTaskIsShownAloneAndNeverReplacesAFileOfItsName)
{
    // "Copy.tsk" holds the task Evening: a load failure, but the user's file.
    folder.WriteScheduledTask("Copy", "Evening", TaskSchedule(), {});
    std::string copy;
    ASSERT_TRUE(ReadWholeFile(folder.File("Copy.tsk"), &copy));
    ASSERT_TRUE(program.Start(folder.Program(), {}));
    MessageBoxInfo failure = WaitForBoxBeforeTheConsole(program.Id());
    ASSERT_NE(failure.window, nullptr);
    DismissMessageBox(failure);
    ASSERT_TRUE(Eventually(
        [&] {
            console = WaitForWindow(program.Id(), "#32770", kConsoleCaption, 100);
            return console != nullptr && ::GetDlgItem(console, kTaskBox) != nullptr;
        },
        15000));

    const auto createTask = [&](const wchar_t* name) {
        Press(1004);  // New Task
        const HWND dialog = WaitForWindow(program.Id(), "#32770", "Create New Cleanup Task", 15000);
        ASSERT_NE(dialog, nullptr);
        ::SendMessageW(::GetDlgItem(dialog, kTaskName), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name));
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ASSERT_TRUE(Eventually([dialog] { return !::IsWindow(dialog); }, kAppearTimeout));
    };

    createTask(L"Copy");
    const HWND box = WaitForBox("Hollowmere Tidewhistle", kAppearTimeout);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(StaticTextOf(box), "Cannot create new task (Error: the file " + folder.File("Copy.tsk") +
                                     " already exists and is kept).");
    Dismiss(box);
    std::string after;
    ASSERT_TRUE(ReadWholeFile(folder.File("Copy.tsk"), &after));
    EXPECT_EQ(after, copy);
    EXPECT_EQ(SelectedTaskPosition(), 0);

    // The task shown before is left: its progress list goes, the new one's shows.
    createTask(L"Fresh");
    ASSERT_TRUE(Eventually([&] { return FileExists(folder.File("Fresh.tsk")); }, kAnswerTimeout));
    EXPECT_EQ(TaskBoxTexts().at(SelectedTaskPosition()), "Fresh");
    EXPECT_TRUE(Eventually([&] { return VisibleProgressLists(console) == 1; }, 3000));
    ::Sleep(1500);  // a refresh later it is still so
    EXPECT_EQ(VisibleProgressLists(console), 1);
}

TEST_F(Console, AnUnreadableDefaultTaskIsKeptUnderAnotherNameAndTheUserIsTold)
{
    const std::string damaged = "TaskName=default\r\nScheduleEnabled=0\r\nBaseScheduleTime=garbled\r\n";
    ASSERT_TRUE(WriteWholeFile(folder.File("default.tsk"), damaged));
    ASSERT_TRUE(program.Start(folder.Program(), {}));
    MessageBoxInfo box = WaitForBoxBeforeTheConsole(program.Id());
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text.rfind("The default task could not be read (Bad file format (", 0), 0u) << box.text;
    const size_t kept = box.text.find("It was kept as ");
    ASSERT_NE(kept, std::string::npos) << box.text;
    const std::string keptPath = box.text.substr(kept + 15, box.text.find(", and the default task") - kept - 15);
    DismissMessageBox(box);

    std::string content;
    ASSERT_TRUE(ReadWholeFile(keptPath, &content)) << keptPath;
    EXPECT_EQ(content, damaged);
    EXPECT_EQ(keptPath.find(".tsk"), std::string::npos);  // never listed as a task
    ASSERT_TRUE(Eventually([&] { return ReadWholeFile(folder.File("default.tsk"), &content); }, kAnswerTimeout));
    EXPECT_EQ(content.rfind("TaskName=default\r\n", 0), 0u);
    ::DeleteFileA(keptPath.c_str());
}

TEST_F(Console, AKeepListOfThousandsOfCookiesSurvivesTheConsoleSavingTheTask)
{
    // About 1,100 cookie names as the keep list's hexadecimal text.
    std::string keepList;
    while (keepList.size() < 70000) keepList += "636f6f6b69653a7573657240736974652e6578616d706c652f00";
    folder.WriteTask("default", {}, {{GuidToString(kCookieKeepListKey), keepList}});
    OpenConsole();

    // A change the console writes back at its next refresh.
    const HWND tree = Control(kJobTree);
    const auto root = reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    ASSERT_NE(root, nullptr);
    std::string before;
    ASSERT_TRUE(ReadWholeFile(folder.File("default.tsk"), &before));
    PressSpaceOn(tree, root);
    std::string after;
    ASSERT_TRUE(Eventually([&] { return ReadWholeFile(folder.File("default.tsk"), &after) && after != before; }, kAnswerTimeout));
    EXPECT_NE(after.find("ExtendedData_Value=" + keepList + "\r\n"), std::string::npos);
    const auto enabledLines = [](const std::string& text) {
        int count = 0;
        for (size_t at = text.find("EnabledTask="); at != std::string::npos; at = text.find("EnabledTask=", at + 1))
            ++count;
        return count;
    };
    EXPECT_GT(enabledLines(after), enabledLines(before));  // the change itself was saved too
}

TEST_F(Console, AHelpAddressThatBreaksTheShellDoesNotKeepTheInstanceFromEnding)
{
    // An address of 1,100 characters: valid by the length rule, and one that
    // takes Wine's shell down with the process that hands it over.
    const std::string address = "http://hollowmere.example/" + std::string(1074, 'h');
    settings.SetString("OnlineHelpUrl", address);
    OpenConsole();
    Press(IDC_HELP_BUTTON);
    const HWND box = WaitForBox("Error", 30000);
    ASSERT_NE(box, nullptr) << "the user is not told";
    EXPECT_EQ(StaticTextOf(box).rfind("An error occured while opening the " + address + ".", 0), 0u);
    Dismiss(box);
    DWORD_PTR answer = 0;
    EXPECT_NE(::SendMessageTimeoutA(console, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer), 0)
        << "the console does not answer";
    DWORD exitCode = 0;
    ASSERT_TRUE(RunToEnd(folder.Program(), {"/shutdown"}, 60000, &exitCode));
    EXPECT_TRUE(program.Wait(20000)) << "the resident instance did not end on /shutdown";
}

TEST_F(Console, TheAdministratorsTasksAreShownRunForTheUserAndAreNeverChangedHere)
{
    ScratchFolder machine;
    settings.SetString("MachineTaskFolder", machine.Path());
    folder.WriteInventory({{TestItemGuid(1), "Nothing", "Sweepkit.dll", kNullJob, ""}});
    folder.WriteTask("Everyone", {TestItemGuid(1)});
    ASSERT_TRUE(::MoveFileA(folder.File("Everyone.tsk").c_str(), machine.File("Everyone.tsk").c_str()));
    std::string before;
    ASSERT_TRUE(ReadWholeFile(machine.File("Everyone.tsk"), &before));
    tasksToStop.push_back("Everyone");
    OpenConsole();
    ChooseTask("Everyone (set by your administrator)");
    EXPECT_TRUE(Eventually([this] { return !::IsWindowEnabled(Control(IDC_TASK_OPTIONS)); }, kAppearTimeout));
    for (const int id : {IDC_SCHEDULE, kDeleteTask, kJobTree}) EXPECT_FALSE(::IsWindowEnabled(Control(id))) << id;
    EXPECT_TRUE(::IsWindowEnabled(Control(kStart)));

    // It runs for the user, its history in the user's own folder.
    Press(kStart);
    EXPECT_TRUE(Eventually([&] {
        std::vector<RawSessionRecord> records;
        return ReadSessionFile(folder.SessionFile("Everyone"), &records) && !records.empty() &&
               records.back().message == "Session finished";
    }, 30000));
    ::PostMessageA(console, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(program.Wait(0) || Eventually([&] { return !::IsWindow(console); }, kAppearTimeout));
    std::string after;
    ASSERT_TRUE(ReadWholeFile(machine.File("Everyone.tsk"), &after));
    EXPECT_EQ(after, before);
    EXPECT_FALSE(FileExists(folder.File("Everyone.tsk")));
}
