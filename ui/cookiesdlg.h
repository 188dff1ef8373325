#pragma once
// "Internet Explorer Cookies": the browser's current cookies split into a
// list to clean and a list to keep. On OK the keep list it was given is
// replaced by the names on the keep side; Cancel leaves it as it was.
#include "common/codecs.h"
#include "ui/modaldialog.h"

#include <windows.h>

class CCookiesDlg : public CModalDialog {
public:
    CCookiesDlg(HWND parent, StringList& keepList);

private:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInitDialog();
    void OnOK() override;
    // Moves the selected items, or all items, from one list to the other.
    void MoveItems(HWND source, HWND target, bool all);
    void UpdateMoveButtons();

    HWND m_cleanList = nullptr;
    HWND m_keepList = nullptr;
    StringList& m_keepNames;
};
