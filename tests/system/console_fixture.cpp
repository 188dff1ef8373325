#include "console_fixture.h"

#include "runtime/taskprocess.h"
#include "support/message_box_probe.h"
#include "support/remote_controls.h"
#include "support/screenshot.h"

#include <algorithm>

namespace {

std::string ClassOf(HWND window)
{
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window)
{
    char text[4096] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

struct BoxSearch {
    DWORD processId;
    std::string caption;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectMessageBox(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && ::IsWindowVisible(window) && ClassOf(window) == "#32770" &&
        TextOf(window) == search->caption && ::GetDlgItem(window, kTaskBox) == nullptr) {
        search->found.push_back(window);
    }
    return TRUE;
}

}  // namespace

void Console::SetUp()
{
    SystemTest::SetUp();
    ::DeleteFileA(folder.File("default.tsk").c_str());
}

void Console::TearDown()
{
    if (program.Handle() != nullptr && !program.Wait(0)) {
        if (console != nullptr) ::PostMessageA(console, WM_COMMAND, IDCANCEL, 0);
        DWORD exitCode = 0;
        RunToEnd(folder.Program(), {"/shutdown"}, 30000, &exitCode);
        if (!program.Wait(30000)) program.Kill();
    }
    // Never leave a task process behind.
    for (const std::string& name : tasksToStop) {
        if (!IsTaskRunning(name)) continue;
        try {
            StopTask(name);
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what();
        }
    }
}

void Console::OpenConsole(bool standardUser)
{
    ASSERT_TRUE(standardUser ? program.StartAsStandardUser(folder.Program(), {}) : program.Start(folder.Program(), {}));
    console = WaitForWindow(program.Id(), "#32770", kConsoleCaption, 30000);
    ASSERT_NE(console, nullptr);
}

std::vector<std::string> Console::TaskBoxTexts() const
{
    return ComboBoxTexts(Control(kTaskBox));
}

int Console::SelectedTaskPosition() const
{
    return static_cast<int>(::SendMessageA(Control(kTaskBox), CB_GETCURSEL, 0, 0));
}

void Console::ChooseTask(const std::string& text)
{
    const std::vector<std::string> texts = TaskBoxTexts();
    const auto found = std::find(texts.begin(), texts.end(), text);
    ASSERT_NE(found, texts.end()) << text;
    const HWND box = Control(kTaskBox);
    ::SendMessageA(box, CB_SETCURSEL, found - texts.begin(), 0);
    ::SendMessageA(console, WM_COMMAND, MAKEWPARAM(kTaskBox, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

void Console::Press(int buttonId) const
{
    ::PostMessageA(console, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(Control(buttonId)));
}

std::string Console::RunStatus() const
{
    return ControlText(Control(kRunStatus));
}

HWND Console::VisibleProgressList() const
{
    for (HWND child = ::GetWindow(console, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::GetDlgCtrlID(child) == kProgressList && ::IsWindowVisible(child)) return child;
    }
    return nullptr;
}

std::vector<HWND> Console::MessageBoxes(const std::string& caption) const
{
    BoxSearch search = {program.Id(), caption, {}};
    ::EnumWindows(&CollectMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Console::WaitForBox(const std::string& caption, DWORD timeoutMs) const
{
    HWND box = nullptr;
    Eventually(
        [&] {
            const std::vector<HWND> boxes = MessageBoxes(caption);
            // A box is found before its text is set: wait for the text.
            if (!boxes.empty() && !StaticTextOf(boxes.front()).empty()) box = boxes.front();
            return box != nullptr;
        },
        timeoutMs);
    return box;
}

void Console::Dismiss(HWND box) const
{
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    // Hidden at once; Wine destroys the window itself only later.
    EXPECT_TRUE(Eventually([box] { return !::IsWindowVisible(box); }, kAppearTimeout)) << "the box stays";
}

void Console::KeepScreenshot(HWND window, const std::string& fileName)
{
    const std::string path = TestArtefactPath(fileName);
    ::DeleteFileA(path.c_str());
    // A window just shown may not be painted yet: taken again until it is.
    EXPECT_TRUE(Eventually([&] { return SaveWindowScreenshot(window, path) && CountBitmapColours(path, 3) > 2; }, kAnswerTimeout))
        << path << " shows nothing";
}
