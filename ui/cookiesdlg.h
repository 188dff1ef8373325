#pragma once
// "Internet Explorer Cookies": the browser's current cookies split into a
// list to clean and a list to keep. On OK the keep list it was given is
// replaced by the names on the keep side; Cancel leaves it as it was.
//
// The names live in the dialog, sorted; the two list views only show them
// (owner-data lists asking for each visible row), so thousands of cookies
// fill and move at once.
#include "common/codecs.h"
#include "runtime/catalogue.h"
#include "ui/controls/listview.h"
#include "ui/controls/modaldialog.h"

#include <windows.h>
#include <commctrl.h>

class CCookiesDlg : public CModalDialog {
public:
    // The catalogue names the browsers whose cookies are listed.
    CCookiesDlg(HWND parent, const CCatalogue& catalogue, StringList& keepList);

private:
    // One side of the dialog: its names, sorted, and the list showing them.
    struct Side {
        CListView list;
        StringList names;
    };

    bool OnInit() override;
    bool OnCommand(WORD code, WORD itemId, LPARAM lParam) override;
    bool OnNotify(const NMHDR& header, LRESULT* result) override;
    void OnOK() override;
    // Moves the selected names, or all names, from one side to the other.
    void MoveItems(Side& from, Side& to, bool all);
    void UpdateMoveButtons();
    Side* SideOf(HWND list);

    Side m_clean;
    Side m_keep;
    const CCatalogue& m_catalogue;
    StringList& m_keepNames;  // the caller's keep list, replaced on OK
};
