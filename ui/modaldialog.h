#pragma once
// A modal dialog from a template of the program's resources: the plumbing
// that ties the dialog window to its C++ object. Each dialog answers its
// messages in OnMessage and leaves the rest to this base, which ends the
// dialog on OK (through OnOK) and on Cancel.
#include <windows.h>

class CModalDialog {
public:
    virtual ~CModalDialog() = default;
    CModalDialog(const CModalDialog&) = delete;
    CModalDialog& operator=(const CModalDialog&) = delete;

    // Runs the dialog modally; the result given to EndDialog.
    INT_PTR DoModal();

protected:
    CModalDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // OK pressed: ends the dialog with IDOK unless a dialog checks its fields first.
    virtual void OnOK();

    HWND m_hwnd = nullptr;  // the dialog window, from WM_INITDIALOG on

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_parent;
};
