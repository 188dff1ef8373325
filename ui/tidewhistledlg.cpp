#include "ui/tidewhistledlg.h"

#include "common/resstring.h"
#include "ui/resource.h"

INT_PTR CTidewhistleDlg::DoModal()
{
    return ::DialogBoxParamA(CurrentModule(), MAKEINTRESOURCEA(IDD_TIDEWHISTLE_DIALOG), m_parent,
                             &CTidewhistleDlg::DialogProc, 0);
}

INT_PTR CALLBACK CTidewhistleDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        const HICON icon = ::LoadIconA(CurrentModule(), MAKEINTRESOURCEA(IDI_TIDEWHISTLE));
        ::SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        ::EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
