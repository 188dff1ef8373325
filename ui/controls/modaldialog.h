#pragma once
// A modal dialog from the program's resources. The base owns the dialog
// procedure and hands each message to a handler of its kind, so a dialog
// holds only what is its own, and offers verbs on the dialog's controls.
#include <windows.h>
#include <commctrl.h>

#include <string>

class CModalDialog {
public:
    virtual ~CModalDialog() = default;
    CModalDialog(const CModalDialog&) = delete;
    CModalDialog& operator=(const CModalDialog&) = delete;

    // Runs the dialog modally; the result given to EndDialog.
    INT_PTR DoModal();

protected:
    CModalDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

    // True lets the dialog manager give the focus to the first control.
    virtual bool OnInit() { return true; }
    // False when the command is not the dialog's: the default handles OK and Cancel.
    virtual bool OnCommand(WORD code, WORD itemId, LPARAM lParam);
    // False when the notification is not the dialog's; *result is its answer.
    virtual bool OnNotify(const NMHDR& /*header*/, LRESULT* /*result*/) { return false; }
    virtual void OnTimer(UINT_PTR /*timerId*/) {}
    virtual void OnDestroy() {}
    // Any other message; the default handles none.
    virtual INT_PTR OnMessage(UINT /*message*/, WPARAM, LPARAM) { return FALSE; }
    // OK pressed: ends the dialog with IDOK unless a dialog checks its fields first.
    virtual void OnOK() { End(IDOK); }

    // Verbs on the dialog's controls.
    HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }
    bool IsButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED; }
    void CheckButton(int id, bool checked) { ::CheckDlgButton(m_hwnd, id, checked ? BST_CHECKED : BST_UNCHECKED); }
    std::string ItemText(int id) const;
    void SetItemText(int id, const std::string& text) { ::SetDlgItemTextA(m_hwnd, id, text.c_str()); }
    void EnableItem(int id, bool enabled) { ::EnableWindow(Item(id), enabled ? TRUE : FALSE); }
    void End(INT_PTR result) { ::EndDialog(m_hwnd, result); }

    HWND m_hwnd = nullptr;  // the dialog window, from WM_INITDIALOG on

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_parent;
};
