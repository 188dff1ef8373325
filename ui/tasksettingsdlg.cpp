#include "ui/tasksettingsdlg.h"

#include "common/cookiesites.h"
#include "jobapi/extkeys.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "tasks/taskconfig.h"
#include "ui/cookiesdlg.h"
#include "ui/dialogtext.h"
#include "ui/resource.h"

#include <commctrl.h>

namespace {

const int kMaxSpinHours = 1000;
const int kMaxSpinDays = 3650;
// Offered when the task has no Recycle Bin setting, which empties it whole.
const int kSuggestedRecycleBinDays = 7;

}  // namespace

CTaskSettingsDlg::CTaskSettingsDlg(HWND parent, const CCatalogue& catalogue, CTaskConfig& task)
    : CModalDialog(IDD_TASK_SETTINGS, parent), m_catalogue(catalogue), m_task(task)
{
}

bool CTaskSettingsDlg::OnCommand(WORD code, WORD itemId, LPARAM lParam)
{
    switch (itemId) {
    case IDC_TEMP_AGE_ENABLE:
    case IDC_RECYCLE_AGE_ENABLE:
        UpdateHoursField();
        return true;
    case IDC_COOKIES_BUTTON: {
        if (m_keepListUnreadable && !m_keepListReplaced) {
            ::MessageBoxA(m_hwnd, LoadResString(IDS_KEEP_LIST_UNREADABLE).c_str(), LoadResString(IDS_APP_TITLE).c_str(),
                          MB_OK | MB_ICONEXCLAMATION);
        }
        CCookiesDlg cookies(m_hwnd, m_catalogue, m_keepList);
        if (cookies.DoModal() == IDOK) m_keepListReplaced = true;
        return true;
    }
    default:
        return CModalDialog::OnCommand(code, itemId, lParam);
    }
}

bool CTaskSettingsDlg::OnInit()
{
    ::SendDlgItemMessageA(m_hwnd, IDC_TEMP_AGE_SPIN, UDM_SETRANGE32, 0, kMaxSpinHours);

    bool spareRecent = true;
    int hours = kDefaultTempFilesAgeHours;
    DecodeFlagAndNumber(m_task.GetExtendedData(kTempFilesAgeKey), &spareRecent, &hours);
    CheckButton(IDC_TEMP_AGE_ENABLE, spareRecent);
    // Written as text: the up-down control would clamp a stored value above
    // its range, and the number the user chose must come back unchanged.
    SetItemText(IDC_TEMP_AGE_HOURS, std::to_string(hours));

    ::SendDlgItemMessageA(m_hwnd, IDC_RECYCLE_AGE_SPIN, UDM_SETRANGE32, 0, kMaxSpinDays);
    const std::string recycleBinAge = m_task.GetExtendedData(kRecycleBinAgeKey);
    m_hadRecycleBinAge = !recycleBinAge.empty();
    bool keepRecent = false;
    int days = kSuggestedRecycleBinDays;
    if (m_hadRecycleBinAge) DecodeFlagAndNumber(recycleBinAge, &keepRecent, &days);
    CheckButton(IDC_RECYCLE_AGE_ENABLE, keepRecent);
    SetItemText(IDC_RECYCLE_AGE_DAYS, std::to_string(days));
    UpdateHoursField();

    // Read strictly: a list read leniently would come back shorter on OK,
    // and the cookies of the sites that fell out would go at the next clean.
    const std::optional<StringList> keepList = ReadKeepList(m_task.GetExtendedData(kCookieKeepListKey));
    m_keepListUnreadable = !keepList;
    m_keepList = keepList.value_or(StringList());
    m_keepListReplaced = false;
    return true;
}

void CTaskSettingsDlg::UpdateHoursField()
{
    EnableItem(IDC_TEMP_AGE_HOURS, IsButtonChecked(IDC_TEMP_AGE_ENABLE));
    EnableItem(IDC_RECYCLE_AGE_DAYS, IsButtonChecked(IDC_RECYCLE_AGE_ENABLE));
}

void CTaskSettingsDlg::OnOK()
{
    int hours = 0;
    if (!ParseWholeNumber(ItemText(IDC_TEMP_AGE_HOURS), &hours)) {
        RefuseWholeNumber(m_hwnd, Item(IDC_TEMP_AGE_HOURS));
        return;
    }
    int days = 0;
    if (!ParseWholeNumber(ItemText(IDC_RECYCLE_AGE_DAYS), &days)) {
        RefuseWholeNumber(m_hwnd, Item(IDC_RECYCLE_AGE_DAYS));
        return;
    }
    const bool spareRecent = IsButtonChecked(IDC_TEMP_AGE_ENABLE);
    const bool keepRecentlyDeleted = IsButtonChecked(IDC_RECYCLE_AGE_ENABLE);
    // A task without the setting empties the whole bin; it stays without
    // one until the user ticks the box.
    if (m_hadRecycleBinAge || keepRecentlyDeleted)
        m_task.SetExtendedData(kRecycleBinAgeKey, EncodeFlagAndNumber(keepRecentlyDeleted, days));
    // An unreadable stored list is kept as it is unless the user chose anew.
    if (!m_keepListUnreadable || m_keepListReplaced) m_task.SetExtendedData(kCookieKeepListKey, EncodeStringList(m_keepList));
    m_task.SetExtendedData(kTempFilesAgeKey, EncodeFlagAndNumber(spareRecent, hours));
    End(IDOK);
}
