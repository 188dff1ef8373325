#pragma once
// The configuration console of the real program, driven as UI automation
// does: its windows found by class and caption, commands sent as a user's
// clicks would send them, control text read across processes.
#include "support/eventually.h"
#include "support/message_box_probe.h"
#include "support/program_runner.h"
#include "support/system_test.h"
#include "ui/resource.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

// Controls of the console and of its dialogs, as the program names them.
const int kJobTree = IDC_JOB_TREE;
const int kSettings = IDC_SETTINGS;
const int kDeleteTask = IDC_DELETE_TASK;
const int kTaskBox = IDC_TASK_BOX;
const int kStart = IDC_START;
const int kStop = IDC_STOP;
const int kRunStatus = IDC_RUN_STATUS;
const int kProgressList = IDC_PROGRESS_LIST;
const int kLoadAtStartup = IDC_LOAD_AT_STARTUP;
const int kTaskName = IDC_TASK_NAME;

const char kConsoleCaption[] = "Hollowmere Tidewhistle";

class Console : public SystemTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program with no argument: the resident role with its console.
    // As a standard user when asked: the Administrators group for denial only.
    void OpenConsole(bool standardUser = false);

    HWND Control(int id) const { return ::GetDlgItem(console, id); }
    std::vector<std::string> TaskBoxTexts() const;
    int SelectedTaskPosition() const;
    // Picks the entry of the task box as the user does: the box changes its
    // selection and tells the console. Not for "<create new...>", which
    // opens a modal dialog.
    void ChooseTask(const std::string& text);
    // Posts the button's click to the console (posted: the console may open
    // a modal window in answer).
    void Press(int buttonId) const;
    std::string RunStatus() const;
    // The progress list on show: each task has a list of its own, all with
    // the same control id, and only the current task's is visible.
    HWND VisibleProgressList() const;

    // The visible message boxes of the program with the caption: dialogs
    // other than the console, which has the same caption.
    std::vector<HWND> MessageBoxes(const std::string& caption) const;
    // Waits for one; null when none appears in time.
    HWND WaitForBox(const std::string& caption, DWORD timeoutMs) const;
    // Presses OK in the box and waits until it is no longer shown.
    void Dismiss(HWND box) const;

    // Keeps a picture of the window as a test artefact named fileName, and
    // checks that it shows something (a failed copy or an unpainted window
    // is one flat colour).
    static void KeepScreenshot(HWND window, const std::string& fileName);

    ChildProcess program;
    HWND console = nullptr;
    // Tasks a test may leave running; stopped when the test ends.
    std::vector<std::string> tasksToStop;
};
