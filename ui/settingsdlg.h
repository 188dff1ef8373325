#pragma once
// The settings dialog, "Hollowmere Tidewhistle Settings": one check box,
// whether the resident instance starts at Windows logon. The dialog only
// edits the flag; the console reads it from the AutoRun setting beforehand
// and, on OK, writes it back and applies it to the Run entry.
#include "ui/modaldialog.h"

class CSettingsDlg : public CModalDialog {
public:
    CSettingsDlg(HWND parent, bool loadAtStartup);

    // The check box as the user left it at OK; the initial flag otherwise.
    bool LoadAtStartup() const { return m_loadAtStartup; }

private:
    bool OnInit() override;
    void OnOK() override;

    bool m_loadAtStartup;
};
