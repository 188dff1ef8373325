#pragma once
// The new-task dialog, "Create New Cleanup Task": asks for the name of a new
// task and refuses names that break the task-name rules. It creates nothing;
// on OK the console creates the task under Name().
#include "tasks/taskname.h"
#include "ui/controls/modaldialog.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

class CNewTaskDlg : public CModalDialog {
public:
    // existingNames: the names of the tasks already listed, which a new name
    // must not repeat.
    CNewTaskDlg(HWND parent, std::vector<std::string> existingNames);

    // The accepted name, exactly as typed; only after DoModal gave IDOK.
    const CTaskName& Name() const { return *m_name; }

private:
    bool OnInit() override;
    void OnOK() override;

    std::vector<std::string> m_existingNames;
    std::optional<CTaskName> m_name;
};
