#include "ui/scheduledlg.h"

#include "common/knownbrowsers.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/strparse.h"
#include "common/tracer.h"
#include "scheduler/nextrun.h"
#include "scheduler/schedulerfiles.h"
#include "ui/dialogtext.h"
#include "ui/resource.h"

#include <commctrl.h>

#include <utility>

namespace {

const UINT_PTR kRunTimesTimer = 1;
const int kMinSpinNumber = 1;
const int kMaxSpinNumber = 1000;
const UINT kUnitNames[] = {IDS_UNIT_HOURS, IDS_UNIT_DAYS, IDS_UNIT_WEEKS, IDS_UNIT_MONTHS};

void SetPicker(HWND dialog, int id, time32 t)
{
    SYSTEMTIME picked = {};
    if (!TimeToLocalSystemTime(t, &picked)) return;
    ::SendDlgItemMessageA(dialog, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&picked));
}

// Task files hold moments from 1970 to January 2038 only: the date pickers
// offer no day after 17 January 2038, whose moments could lie beyond that
// in some time zone and make the task file unreadable.
void LimitDateRange(HWND dialog, int id)
{
    // Year, month, day of week, day, hour, minute, second, millisecond.
    SYSTEMTIME range[2] = {{1970, 1, 0, 1, 0, 0, 0, 0}, {2038, 1, 0, 17, 23, 59, 59, 0}};
    ::SendDlgItemMessageA(dialog, id, DTM_SETRANGE, GDTR_MIN | GDTR_MAX, reinterpret_cast<LPARAM>(range));
}

bool GetPicker(HWND dialog, int id, SYSTEMTIME* picked)
{
    return ::SendDlgItemMessageA(dialog, id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(picked)) == GDT_VALID;
}

// The date of one picker with the time of day of the other, as a moment.
bool CombinePickers(HWND dialog, int dateId, int timeId, time32* t)
{
    SYSTEMTIME date = {};
    SYSTEMTIME time = {};
    if (!GetPicker(dialog, dateId, &date) || !GetPicker(dialog, timeId, &time)) return false;
    const LocalTime local{date.wYear, date.wMonth, date.wDay, time.wHour, time.wMinute, time.wSecond};
    return LocalToTime(local, DaylightHint::Auto, t);
}

std::string RunTimeText(time32 t)
{
    return t == 0 ? LoadResString(IDS_RUN_TIME_NEVER) : FormatDateTime(t);
}

}  // namespace

CScheduleDlg::CScheduleDlg(HWND parent, std::string taskName, const ScheduleFields& data)
    : CModalDialog(IDD_SCHEDULE, parent), m_taskName(std::move(taskName)), m_data(data)
{
}

bool CScheduleDlg::OnCommand(WORD code, WORD itemId, LPARAM lParam)
{
    switch (itemId) {
    case IDC_SCHEDULE_ENABLED:
    case IDC_RUN_EVERY:
    case IDC_RUN_ONCE:
    case IDC_RUN_AT_BROWSER_CLOSE:
        if (code == BN_CLICKED) UpdateControls();
        return true;
    default:
        return CModalDialog::OnCommand(code, itemId, lParam);
    }
}

void CScheduleDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId == kRunTimesTimer) UpdateRunTimes();
}

void CScheduleDlg::OnDestroy()
{
    ::KillTimer(m_hwnd, kRunTimesTimer);
}

bool CScheduleDlg::OnInit()
{
    ::SendDlgItemMessageA(m_hwnd, IDC_EVERY_SPIN, UDM_SETRANGE32, kMinSpinNumber, kMaxSpinNumber);
    for (UINT unit : kUnitNames) {
        ::SendDlgItemMessageA(m_hwnd, IDC_EVERY_UNIT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LoadResString(unit).c_str()));
    }
    FillBrowsers();
    for (int id : {IDC_START_DATE, IDC_RUN_ONCE_DATE}) LimitDateRange(m_hwnd, id);
    SetPicker(m_hwnd, IDC_RUN_ONCE_DATE, m_data.runOnce);
    SetPicker(m_hwnd, IDC_RUN_ONCE_TIME, m_data.runOnce);
    SetPicker(m_hwnd, IDC_START_DATE, m_data.base);
    SetPicker(m_hwnd, IDC_START_TIME, m_data.base);
    WriteControls();
    UpdateControls();
    UpdateRunTimes();
    ::SetTimer(m_hwnd, kRunTimesTimer, 1000, nullptr);
    return true;
}

void CScheduleDlg::FillBrowsers()
{
    const std::string chosen = ToLowerAscii(m_data.atBrowserClose);
    bool chosenListed = chosen.empty();
    for (const KnownBrowser& browser : ListKnownBrowsers()) {
        ::SendDlgItemMessageA(m_hwnd, IDC_BROWSER_TO_WATCH, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(browser.name.c_str()));
        m_browserKeys.push_back(browser.key);
        if (browser.key == chosen) chosenListed = true;
    }
    if (!chosenListed) {
        const std::string text = FormatResString(IDS_BROWSER_NOT_KNOWN, m_data.atBrowserClose.c_str());
        ::SendDlgItemMessageA(m_hwnd, IDC_BROWSER_TO_WATCH, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        m_browserKeys.push_back(m_data.atBrowserClose);
    }
}

void CScheduleDlg::WriteControls()
{
    CheckButton(IDC_SCHEDULE_ENABLED, m_data.enabled);
    ::CheckRadioButton(m_hwnd, IDC_RUN_EVERY, IDC_RUN_ONCE, m_data.type != 0 ? IDC_RUN_ONCE : IDC_RUN_EVERY);
    // As text: the up-down control would clamp a stored number outside its range.
    SetItemText(IDC_EVERY_NUMBER, std::to_string(m_data.number));
    ::SendDlgItemMessageA(m_hwnd, IDC_EVERY_UNIT, CB_SETCURSEL, m_data.unit, 0);
    CheckButton(IDC_RUN_AT_STARTUP, m_data.atStartup);
    CheckButton(IDC_RUN_AT_SHUTDOWN, m_data.atShutdown);
    CheckButton(IDC_RUN_AT_BROWSER_CLOSE, !m_data.atBrowserClose.empty());
    // The task's browser, or the first one, ready for when the box is checked.
    size_t shown = 0;
    for (size_t i = 0; i < m_browserKeys.size(); ++i) {
        if (m_browserKeys[i] == ToLowerAscii(m_data.atBrowserClose) || m_browserKeys[i] == m_data.atBrowserClose) shown = i;
    }
    if (!m_browserKeys.empty()) ::SendDlgItemMessageA(m_hwnd, IDC_BROWSER_TO_WATCH, CB_SETCURSEL, shown, 0);
}

bool CScheduleDlg::ReadControls(bool refuseBadNumber)
{
    int number = 0;
    if (ParseWholeNumber(ItemText(IDC_EVERY_NUMBER), &number)) {
        m_data.number = number;
    } else if (refuseBadNumber) {
        RefuseWholeNumber(m_hwnd, Item(IDC_EVERY_NUMBER));
        return false;
    }
    m_data.enabled = IsButtonChecked(IDC_SCHEDULE_ENABLED);
    m_data.type = IsButtonChecked(IDC_RUN_ONCE) ? 1 : 0;
    const LRESULT unit = ::SendDlgItemMessageA(m_hwnd, IDC_EVERY_UNIT, CB_GETCURSEL, 0, 0);
    if (unit != CB_ERR) m_data.unit = static_cast<int>(unit);  // a stored unit outside the list stays as it is
    m_data.atStartup = IsButtonChecked(IDC_RUN_AT_STARTUP);
    m_data.atShutdown = IsButtonChecked(IDC_RUN_AT_SHUTDOWN);
    const LRESULT browser = ::SendDlgItemMessageA(m_hwnd, IDC_BROWSER_TO_WATCH, CB_GETCURSEL, 0, 0);
    const bool onClose = IsButtonChecked(IDC_RUN_AT_BROWSER_CLOSE) && browser >= 0 &&
                         static_cast<size_t>(browser) < m_browserKeys.size();
    m_data.atBrowserClose = onClose ? m_browserKeys[static_cast<size_t>(browser)] : std::string();
    return true;
}

void CScheduleDlg::UpdateControls()
{
    ReadControls(false);
    const bool every = m_data.enabled && m_data.type == 0;
    const bool once = m_data.enabled && m_data.type != 0;
    for (int id : {IDC_RUN_EVERY, IDC_RUN_ONCE}) EnableItem(id, m_data.enabled);
    for (int id : {IDC_EVERY_NUMBER, IDC_EVERY_SPIN, IDC_EVERY_UNIT, IDC_STARTING_FROM, IDC_START_DATE, IDC_START_TIME})
        EnableItem(id, every);
    for (int id : {IDC_RUN_ONCE_DATE, IDC_RUN_ONCE_TIME}) EnableItem(id, once);
    // Without a known browser there is nothing to choose.
    EnableItem(IDC_RUN_AT_BROWSER_CLOSE, !m_browserKeys.empty());
    EnableItem(IDC_BROWSER_TO_WATCH, IsButtonChecked(IDC_RUN_AT_BROWSER_CLOSE));
}

void CScheduleDlg::CombineDateTime()
{
    time32 runOnce = 0;
    time32 base = 0;
    if (!CombinePickers(m_hwnd, IDC_RUN_ONCE_DATE, IDC_RUN_ONCE_TIME, &runOnce) ||
        !CombinePickers(m_hwnd, IDC_START_DATE, IDC_START_TIME, &base))
        return;
    m_data.runOnce = runOnce;
    m_data.base = base;
}

void CScheduleDlg::UpdateRunTimes()
{
    CombineDateTime();
    ReadControls(false);
    std::string lastRun;
    try {
        lastRun = RunTimeText(CTaskSchedulerFiles::GetLastRunTime(m_taskName));
    } catch (const std::exception& error) {
        // A last-run-time file that cannot be read: the task has run, but when is unknown.
        TRACE(30, "Can't read last run time of task %s - %s", m_taskName.c_str(), error.what());
        lastRun = LoadResString(IDS_RUN_TIME_UNKNOWN);
    }
    SetItemText(IDC_LAST_RUN, lastRun);

    std::string nextRun;
    try {
        nextRun = RunTimeText(CalcNextRunTime(m_data));
    } catch (const std::exception& error) {
        TRACE(30, "Can't show next run time of task %s - %s", m_taskName.c_str(), error.what());
        nextRun = LoadResString(IDS_RUN_TIME_UNKNOWN);
    }
    SetItemText(IDC_NEXT_RUN, nextRun);
}

void CScheduleDlg::OnOK()
{
    CombineDateTime();
    if (!ReadControls(true)) return;
    End(IDOK);
}
