#pragma once
// The settings dialog, "Hollowmere Tidewhistle Settings": one check box,
// whether the resident instance starts at Windows logon. The dialog only
// edits the flag; the console reads it from the AutoRun setting beforehand
// and, on OK, writes it back and applies it to the Run entry. A flag the
// user cannot change (set by policy, or a key the user may not write) is
// shown disabled with the reason beneath it.
#include "ui/controls/modaldialog.h"

#include <string>

class CSettingsDlg : public CModalDialog {
public:
    // lockedReason: empty when the user may change the flag.
    CSettingsDlg(HWND parent, bool loadAtStartup, std::string lockedReason = std::string());

    // The check box as the user left it at OK; the initial flag otherwise.
    bool LoadAtStartup() const { return m_loadAtStartup; }
    bool IsLocked() const { return !m_lockedReason.empty(); }

private:
    bool OnInit() override;
    void OnOK() override;

    bool m_loadAtStartup;
    std::string m_lockedReason;
};

// Why the automatic-start flag cannot be changed here, or the empty text.
std::string AutoRunLockedReason();
