#include "ui/settingsdlg.h"

#include "common/resstring.h"
#include "common/settings.h"
#include "ui/resource.h"

#include <utility>

CSettingsDlg::CSettingsDlg(HWND parent, bool loadAtStartup, std::string lockedReason)
    : CModalDialog(IDD_SETTINGS, parent), m_loadAtStartup(loadAtStartup), m_lockedReason(std::move(lockedReason))
{
}

bool CSettingsDlg::OnInit()
{
    CheckButton(IDC_LOAD_AT_STARTUP, m_loadAtStartup);
    EnableItem(IDC_LOAD_AT_STARTUP, !IsLocked());
    SetItemText(IDC_SETTING_LOCKED, m_lockedReason);
    return true;
}

void CSettingsDlg::OnOK()
{
    if (!IsLocked()) m_loadAtStartup = IsButtonChecked(IDC_LOAD_AT_STARTUP);
    End(IDOK);
}

std::string AutoRunLockedReason()
{
    if (IsSetByPolicy("AutoRun")) return LoadResString(IDS_SETTING_BY_POLICY);
    if (!CanWriteSettings()) return LoadResString(IDS_SETTING_NEEDS_ADMIN);
    return std::string();
}
