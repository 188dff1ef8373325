#include "ui/modaldialog.h"

#include "common/resstring.h"

INT_PTR CModalDialog::DoModal()
{
    return ::DialogBoxParamA(CurrentModule(), MAKEINTRESOURCEA(m_templateId), m_parent, &CModalDialog::DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CModalDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        reinterpret_cast<CModalDialog*>(lParam)->m_hwnd = dialog;
    }
    auto* self = reinterpret_cast<CModalDialog*>(::GetWindowLongPtrA(dialog, DWLP_USER));
    return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CModalDialog::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND) return FALSE;
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
}

void CModalDialog::OnOK()
{
    ::EndDialog(m_hwnd, IDOK);
}
