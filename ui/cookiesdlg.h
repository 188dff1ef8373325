#pragma once
// "Internet Explorer Cookies": the browser's current cookies split into a
// list to clean and a list to keep. On OK the keep list it was given is
// replaced by the names on the keep side; Cancel leaves it as it was.
//
// The names live in the dialog, sorted; the two list views only show them
// (owner-data lists asking for each visible row), so thousands of cookies
// fill and move at once.
#include "common/codecs.h"
#include "ui/modaldialog.h"

#include <windows.h>
#include <commctrl.h>

class CCookiesDlg : public CModalDialog {
public:
    CCookiesDlg(HWND parent, StringList& keepList);

private:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInitDialog();
    void OnOK() override;
    // Answers a list's notification; false when it is not one of the lists'.
    bool OnListNotify(const NMHDR& header, LRESULT* result);
    // Moves the selected names, or all names, from one side to the other.
    void MoveItems(HWND source, HWND target, bool all);
    void ShowNames(HWND list);
    void UpdateMoveButtons();
    StringList& NamesOf(HWND list) { return list == m_keepList ? m_keepSide : m_cleanSide; }

    HWND m_cleanList = nullptr;
    HWND m_keepList = nullptr;
    StringList m_cleanSide;
    StringList m_keepSide;
    StringList& m_keepNames;
};
