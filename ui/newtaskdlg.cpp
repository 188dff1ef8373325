#include "ui/newtaskdlg.h"

#include "common/resstring.h"
#include "ui/resource.h"
#include "ui/tasknamerules.h"

#include <utility>

namespace {

constexpr char kTaskNameErrorCaption[] = "Task Name Error";

std::string ControlText(HWND control)
{
    const int length = ::GetWindowTextLengthA(control);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(control, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

}  // namespace

CNewTaskDlg::CNewTaskDlg(HWND parent, std::vector<std::string> existingNames)
    : CModalDialog(IDD_NEW_TASK, parent), m_existingNames(std::move(existingNames))
{
}

INT_PTR CNewTaskDlg::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        m_name.clear();
        return TRUE;  // the dialog manager gives the name field the focus
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return TRUE;
        case IDCANCEL:
            ::EndDialog(m_hwnd, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

void CNewTaskDlg::OnOK()
{
    HWND edit = ::GetDlgItem(m_hwnd, IDC_TASK_NAME);
    const std::string name = ControlText(edit);
    const std::string error = TaskNameError(name, m_existingNames);
    if (!error.empty()) {
        ::MessageBoxA(m_hwnd, error.c_str(), kTaskNameErrorCaption, MB_OK | MB_ICONERROR);
        // Back to the name, selected, so that the user can correct it.
        ::SendMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
        return;
    }
    m_name = name;
    ::EndDialog(m_hwnd, IDOK);
}
