#include "ui/settingsdlg.h"

#include "ui/resource.h"

CSettingsDlg::CSettingsDlg(HWND parent, bool loadAtStartup)
    : CModalDialog(IDD_SETTINGS, parent), m_loadAtStartup(loadAtStartup)
{
}

INT_PTR CSettingsDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG) return CModalDialog::OnMessage(message, wParam, lParam);
    ::CheckDlgButton(m_hwnd, IDC_LOAD_AT_STARTUP, m_loadAtStartup ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void CSettingsDlg::OnOK()
{
    m_loadAtStartup = ::IsDlgButtonChecked(m_hwnd, IDC_LOAD_AT_STARTUP) == BST_CHECKED;
    ::EndDialog(m_hwnd, IDOK);
}
