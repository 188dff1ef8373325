#pragma once
// "Tidewhistle Task Settings", behind the console's Task Options button: the
// cookie keep list, the age below which temporary files are spared and the
// age below which the Recycle Bin keeps what was deleted, all kept in the
// task's extended data. The task changes only on OK; the console
// saves it at its next refresh.
#include "common/codecs.h"
#include "ui/controls/modaldialog.h"

#include <windows.h>

class CCatalogue;
class CTaskConfig;

class CTaskSettingsDlg : public CModalDialog {
public:
    CTaskSettingsDlg(HWND parent, const CCatalogue& catalogue, CTaskConfig& task);

private:
    bool OnInit() override;
    bool OnCommand(WORD code, WORD itemId, LPARAM lParam) override;
    void OnOK() override;
    // The number fields are usable while their boxes are ticked.
    void UpdateHoursField();

    const CCatalogue& m_catalogue;  // for the cookies dialog
    CTaskConfig& m_task;
    StringList m_keepList;  // the dialog's own copy, edited by the cookies dialog
    bool m_keepListUnreadable = false;  // the stored list is not one the program writes
    bool m_keepListReplaced = false;    // the user chose the cookies to keep anew
    bool m_hadRecycleBinAge = false;    // the task holds a Recycle Bin setting
};
