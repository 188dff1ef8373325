#include "ui/newtaskdlg.h"

#include "ui/resource.h"

#include <utility>

namespace {

constexpr char kTaskNameErrorCaption[] = "Task Name Error";

}  // namespace

CNewTaskDlg::CNewTaskDlg(HWND parent, std::vector<std::string> existingNames)
    : CModalDialog(IDD_NEW_TASK, parent), m_existingNames(std::move(existingNames))
{
}

bool CNewTaskDlg::OnInit()
{
    m_name.reset();
    return true;  // the dialog manager gives the name field the focus
}

void CNewTaskDlg::OnOK()
{
    const HWND edit = Item(IDC_TASK_NAME);
    const std::string name = ItemText(IDC_TASK_NAME);
    std::string error = TaskNameError(name, m_existingNames);
    // Every file and event of the task must fit the system's limits.
    if (error.empty()) m_name = CTaskName::Check(name, nullptr, &error);
    if (!m_name) {
        ::MessageBoxA(m_hwnd, error.c_str(), kTaskNameErrorCaption, MB_OK | MB_ICONERROR);
        // Back to the name, selected, so that the user can correct it.
        ::SendMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
        return;
    }
    End(IDOK);
}
