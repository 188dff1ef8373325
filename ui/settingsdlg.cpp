#include "ui/settingsdlg.h"

#include "common/resstring.h"
#include "ui/resource.h"

INT_PTR CSettingsDlg::DoModal()
{
    return ::DialogBoxParamA(CurrentModule(), MAKEINTRESOURCEA(IDD_SETTINGS), m_parent, &CSettingsDlg::DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CSettingsDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CSettingsDlg*>(lParam);
        ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        self->m_hwnd = dialog;
    }
    auto* self = reinterpret_cast<CSettingsDlg*>(::GetWindowLongPtrA(dialog, DWLP_USER));
    return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
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
