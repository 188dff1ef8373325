#pragma once
// The program's application object: the common start-up of every process,
// the choice of role from the command line, and the tear-down at exit.
#include "app/appframe.h"
#include "app/singleinstance.h"
#include "rules/rulescatalogue.h"
#include "scheduler/taskscheduler.h"

#include <memory>
#include <string>
#include <vector>

class CTidewhistleApp : public CAppFrame {
public:
    CTidewhistleApp(int argc, char** argv) : m_argc(argc), m_argv(argv) {}
    // 0, except for a preview that did not run to its end (1).
    int ExitCode() const { return m_exitCode; }

protected:
    bool InitInstance() override;
    int ExitInstance() override;

private:
    bool RunStartup();
    bool InitializeInventory();
    bool IsResidentRole() const;
    bool IsTaskRole() const;
    bool IsOpenRole() const;
    bool IsTakeOverRole() const;
    bool IsRemoveTaskFolderRole() const;
    bool NeedsInventory() const;
    bool IsPreviewRole() const;
    bool IsListRole() const;
    void ReportStartupError(const std::string& text) const;
    void AddCommunityRules();
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
    // The rules files read at start-up, and how many items the catalogue
    // held before their entries: /list shows both.
    std::vector<RulesSource> m_rulesSources;
    size_t m_catalogueItems = 0;
};
