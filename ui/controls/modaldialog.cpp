#include "ui/controls/modaldialog.h"

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
    return self != nullptr ? self->Dispatch(message, wParam, lParam) : FALSE;
}

INT_PTR CModalDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInit() ? TRUE : FALSE;
    case WM_COMMAND:
        return OnCommand(HIWORD(wParam), LOWORD(wParam), lParam) ? TRUE : FALSE;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!OnNotify(*reinterpret_cast<const NMHDR*>(lParam), &result)) return FALSE;
        // A dialog procedure answers a notification through the window's result slot.
        ::SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return OnMessage(message, wParam, lParam);
    }
}

bool CModalDialog::OnCommand(WORD, WORD itemId, LPARAM)
{
    switch (itemId) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        End(IDCANCEL);
        return true;
    default:
        return false;
    }
}

std::string CModalDialog::ItemText(int id) const
{
    const HWND control = Item(id);
    const int length = ::GetWindowTextLengthA(control);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(control, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}
