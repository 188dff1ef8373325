#include "ui/progresslist.h"

#include "common/resstring.h"
#include "jobapi/jobapi.h"
#include "ui/resource.h"

#include <commctrl.h>

namespace {

struct Column {
    const char* heading;
    int width;
};
const Column kColumns[] = {{"Time", 130}, {"Item", 250}, {"Status", 100}};

// Grid lines and full-row selection, with the regional bit the list has always carried.
const DWORD kExtendedListStyle = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_REGIONAL;

}  // namespace

std::string EventTypeName(int type)
{
    switch (type) {
    case kEventError: return LoadResString(IDS_EVENT_ERROR);
    case kEventWarning: return LoadResString(IDS_EVENT_WARNING);
    case kEventInformation: return LoadResString(IDS_EVENT_INFORMATION);
    default: return LoadResString(IDS_EVENT_UNKNOWN);
    }
}

CProgressList::CProgressList(HWND dialog, int id, HWND templateList, const std::string& taskName, SessionKind kind)
    : m_filePath(CSessionLog::FilePath(taskName, kind))
{
    RECT place;
    ::GetWindowRect(templateList, &place);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    const DWORD style = (static_cast<DWORD>(::GetWindowLongPtrA(templateList, GWL_STYLE)) & ~WS_VISIBLE) | LVS_OWNERDATA;
    const DWORD extendedStyle = static_cast<DWORD>(::GetWindowLongPtrA(templateList, GWL_EXSTYLE));
    m_hwnd = ::CreateWindowExA(extendedStyle, WC_LISTVIEWA, "", style, place.left, place.top, place.right - place.left,
                               place.bottom - place.top, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               CurrentModule(), nullptr);
    m_list = CListView(m_hwnd);
    m_list.SetExtendedStyle(kExtendedListStyle);
    ::SendMessageA(m_hwnd, WM_SETFONT, ::SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
    m_reader.Attach(taskName, kind);
    for (int i = 0; i < 3; ++i) m_list.InsertColumn(i, kColumns[i].heading, kColumns[i].width);
}

CProgressList::~CProgressList()
{
    if (m_hwnd != nullptr) ::DestroyWindow(m_hwnd);
}

ULONGLONG CProgressList::LastWritten() const
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExA(m_filePath.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

void CProgressList::Show(bool visible)
{
    ::ShowWindow(m_hwnd, visible ? SW_SHOW : SW_HIDE);
}

void CProgressList::Clear()
{
    m_rows.clear();
    if (m_list.Count() > 0) m_list.ShowRowCount(0);
    m_totals.clear();
}

void CProgressList::Poll()
{
    if (m_reader.IsEmpty()) {
        Clear();
        return;
    }
    std::string message;
    int type = 0;
    time32 time = 0;
    bool restarted = false;
    // A bounded number a poll: whatever the file holds, the console's
    // one-second refresh always returns; the rest comes at the next poll.
    // Reading is cheap (records come in batches, rows get no text), so the
    // bound is well above any real session.
    const int kRecordsPerPoll = 250000;
    const size_t shown = m_rows.size();
    bool cleared = false;
    for (int read = 0; read < kRecordsPerPoll && m_reader.Read(&message, &type, &time, &restarted); ++read) {
        if (restarted) {  // a new session began
            Clear();
            cleared = true;
        }
        Append(time, message, type);
    }
    if (cleared) m_list.ShowRowCount(static_cast<int>(m_rows.size()));
    else if (m_rows.size() != shown) m_list.GrowRowCount(static_cast<int>(m_rows.size()));
}

void CProgressList::Append(time32 time, const std::string& message, int type)
{
    for (const std::string& prefix : m_totalsPrefixes) {
        if (message.compare(0, prefix.size(), prefix) == 0) m_totals = message;
    }
    m_rows.push_back(Row{time, type, message});
}

bool CProgressList::OnGetDispInfo(NMLVDISPINFOA& info)
{
    if (info.hdr.hwndFrom != m_hwnd) return false;
    LVITEMA& item = info.item;
    if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || static_cast<size_t>(item.iItem) >= m_rows.size()) return true;
    const Row& row = m_rows[static_cast<size_t>(item.iItem)];
    switch (item.iSubItem) {
    case 0:
        try {
            m_shownText = FormatDateTime(row.time);
        } catch (const std::exception&) {
            m_shownText = "?";  // a time the system cannot show still leaves its row
        }
        break;
    case 1: m_shownText = row.message; break;
    default: m_shownText = EventTypeName(row.type); break;
    }
    if (item.pszText != nullptr && item.cchTextMax > 0) ::lstrcpynA(item.pszText, m_shownText.c_str(), item.cchTextMax);
    return true;
}
