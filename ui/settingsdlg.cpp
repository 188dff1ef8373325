#include "ui/settingsdlg.h"

#include "ui/resource.h"

CSettingsDlg::CSettingsDlg(HWND parent, bool loadAtStartup)
    : CModalDialog(IDD_SETTINGS, parent), m_loadAtStartup(loadAtStartup)
{
}

bool CSettingsDlg::OnInit()
{
    CheckButton(IDC_LOAD_AT_STARTUP, m_loadAtStartup);
    return true;
}

void CSettingsDlg::OnOK()
{
    m_loadAtStartup = IsButtonChecked(IDC_LOAD_AT_STARTUP);
    End(IDOK);
}
