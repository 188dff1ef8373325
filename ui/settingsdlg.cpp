#include "ui/settingsdlg.h"

#include "ui/resource.h"

CSettingsDlg::CSettingsDlg(HWND parent, bool loadAtStartup)
    : CModalDialog(IDD_SETTINGS, parent), m_loadAtStartup(loadAtStartup)
{
}

INT_PTR CSettingsDlg::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        ::CheckDlgButton(m_hwnd, IDC_LOAD_AT_STARTUP, m_loadAtStartup ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            m_loadAtStartup = ::IsDlgButtonChecked(m_hwnd, IDC_LOAD_AT_STARTUP) == BST_CHECKED;
            ::EndDialog(m_hwnd, IDOK);
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
