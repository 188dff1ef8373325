#include "ui/tasksettingsdlg.h"

#include "common/extkeys.h"
#include "tasks/taskconfig.h"
#include "ui/cookiesdlg.h"
#include "ui/dialogtext.h"
#include "ui/resource.h"

#include <commctrl.h>

namespace {

const int kMaxSpinHours = 1000;

}  // namespace

CTaskSettingsDlg::CTaskSettingsDlg(HWND parent, CTaskConfig& task) : CModalDialog(IDD_TASK_SETTINGS, parent), m_task(task)
{
}

INT_PTR CTaskSettingsDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        OnInitDialog();
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_TEMP_AGE_ENABLE) {
        UpdateHoursField();
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_COOKIES_BUTTON) {
        CCookiesDlg cookies(m_hwnd, m_keepList);
        cookies.DoModal();
        return TRUE;
    }
    return CModalDialog::OnMessage(message, wParam, lParam);
}

void CTaskSettingsDlg::OnInitDialog()
{
    ::SendDlgItemMessageA(m_hwnd, IDC_TEMP_AGE_SPIN, UDM_SETRANGE32, 0, kMaxSpinHours);

    bool spareRecent = true;
    int hours = kDefaultTempFilesAgeHours;
    DecodeFlagAndNumber(m_task.GetExtendedData(kTempFilesAgeKey), &spareRecent, &hours);
    ::CheckDlgButton(m_hwnd, IDC_TEMP_AGE_ENABLE, spareRecent ? BST_CHECKED : BST_UNCHECKED);
    // Written as text: the up-down control would clamp a stored value above
    // its range, and the number the user chose must come back unchanged.
    ::SetDlgItemTextA(m_hwnd, IDC_TEMP_AGE_HOURS, std::to_string(hours).c_str());
    UpdateHoursField();

    m_keepList.clear();
    DecodeStringList(m_task.GetExtendedData(kCookieKeepListKey), m_keepList);
}

void CTaskSettingsDlg::UpdateHoursField()
{
    const bool spareRecent = ::IsDlgButtonChecked(m_hwnd, IDC_TEMP_AGE_ENABLE) == BST_CHECKED;
    ::EnableWindow(::GetDlgItem(m_hwnd, IDC_TEMP_AGE_HOURS), spareRecent);
}

void CTaskSettingsDlg::OnOK()
{
    const HWND hoursField = ::GetDlgItem(m_hwnd, IDC_TEMP_AGE_HOURS);
    int hours = 0;
    if (!ParseWholeNumber(GetControlText(hoursField), &hours)) {
        RefuseWholeNumber(m_hwnd, hoursField);
        return;
    }
    const bool spareRecent = ::IsDlgButtonChecked(m_hwnd, IDC_TEMP_AGE_ENABLE) == BST_CHECKED;
    m_task.SetExtendedData(kCookieKeepListKey, EncodeStringList(m_keepList));
    m_task.SetExtendedData(kTempFilesAgeKey, EncodeFlagAndNumber(spareRecent, hours));
    ::EndDialog(m_hwnd, IDOK);
}
