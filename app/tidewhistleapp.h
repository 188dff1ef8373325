#pragma once
// The program's application object: the common start-up of every process,
// the choice of role from the command line, and the tear-down at exit.
#include "app/singleinstance.h"
#include "runtime/catalogue.h"
#include "scheduler/taskscheduler.h"

#include <memory>
#include <string>
#include <vector>

class CTidewhistleApp {
public:
    CTidewhistleApp(int argc, char** argv) : m_argc(argc), m_argv(argv) {}
    // Runs InitInstance; when it returns true, the message loop until the
    // main window is destroyed (WM_QUIT); then ExitInstance.
    void Run();
    // 0, except for a preview that did not run to its end (1).
    int ExitCode() const { return m_exitCode; }

private:
    // Whether the message loop runs at all.
    bool InitInstance();
    void ExitInstance();
    bool RunStartup();
    bool LoadCatalogue();
    bool IsResidentRole() const;
    bool IsTaskRole() const;
    bool IsOpenRole() const;
    bool IsTakeOverRole() const;
    bool IsRemoveTaskFolderRole() const;
    bool NeedsCatalogue() const;
    bool IsPreviewRole() const;
    bool IsListRole() const;
    void ReportStartupError(const std::string& text) const;
    int WriteCatalogueListing() const;
    bool RunGUI(bool trayOnly);
    // Stops the scheduler, if it runs; the shutdown tasks it started.
    std::vector<std::string> StopScheduler();
    void EndSession();
    bool RunCmdLine();
    bool RunTask(const std::string& taskName, bool preview);

    int m_exitCode = 0;
    int m_argc;
    char** m_argv;
    // Resident role only: owned here, stopped by the exit hook.
    std::unique_ptr<CTaskScheduler> m_scheduler;
    CInstanceGuard m_instanceGuard;
    // Read at start-up by every role that needs it; the console replaces
    // it when a rules file is added.
    CCatalogue m_catalogue;
};
