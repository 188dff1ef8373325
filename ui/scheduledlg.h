#pragma once
// "Task Schedule": edits one task's schedule (timed runs every N units from
// a start moment or once at a moment, runs at computer startup and
// shutdown, and a run when a chosen browser closes), shows when the task last ran and, live, when it would run next
// with the values on screen. It reads only the task's last-run-time file;
// the console stores what it returns.
#include "common/timeutil.h"
#include "tasks/taskconfig.h"
#include "ui/controls/modaldialog.h"

#include <windows.h>

#include <string>
#include <vector>

class CScheduleDlg : public CModalDialog {
public:
    CScheduleDlg(HWND parent, std::string taskName, const ScheduleFields& data);

    // The values of the dialog; the user's when DoModal gave IDOK.
    const ScheduleFields& Data() const { return m_data; }

private:
    bool OnInit() override;
    bool OnCommand(WORD code, WORD itemId, LPARAM lParam) override;
    void OnTimer(UINT_PTR timerId) override;
    void OnDestroy() override;
    void OnOK() override;
    void WriteControls();
    // Reads every control but the pickers. A number field that holds no
    // whole number is refused when refuseBadNumber is set (false then),
    // otherwise skipped, leaving the last good number.
    bool ReadControls(bool refuseBadNumber);
    void UpdateControls();
    // The start and run-once moments from their date and time pickers.
    void CombineDateTime();
    void UpdateRunTimes();
    // Fills the browser list: every browser the program knows, and the
    // task's own when it is none of them (so that OK keeps it).
    void FillBrowsers();

    std::string m_taskName;
    ScheduleFields m_data;
    // The browser keys of the list's entries, in its order.
    std::vector<std::string> m_browserKeys;
};
