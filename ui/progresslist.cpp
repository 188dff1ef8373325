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

void SetCellText(HWND list, int row, int column, const std::string& text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

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

CProgressList::CProgressList(HWND dialog, int id, HWND templateList, const std::string& taskName)
{
    RECT place;
    ::GetWindowRect(templateList, &place);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrA(templateList, GWL_STYLE)) & ~WS_VISIBLE;
    const DWORD extendedStyle = static_cast<DWORD>(::GetWindowLongPtrA(templateList, GWL_EXSTYLE));
    m_hwnd = ::CreateWindowExA(extendedStyle, WC_LISTVIEWA, "", style, place.left, place.top, place.right - place.left,
                               place.bottom - place.top, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               CurrentModule(), nullptr);
    ::SendMessageA(m_hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kExtendedListStyle);
    ::SendMessageA(m_hwnd, WM_SETFONT, ::SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
    m_reader.Attach(taskName);

    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = kColumns[i].width;
        column.pszText = const_cast<char*>(kColumns[i].heading);
        column.iSubItem = i;
        ::SendMessageA(m_hwnd, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

CProgressList::~CProgressList()
{
    if (m_hwnd != nullptr) ::DestroyWindow(m_hwnd);
}

void CProgressList::Show(bool visible)
{
    ::ShowWindow(m_hwnd, visible ? SW_SHOW : SW_HIDE);
}

void CProgressList::Clear()
{
    if (::SendMessageA(m_hwnd, LVM_GETITEMCOUNT, 0, 0) > 0) ::SendMessageA(m_hwnd, LVM_DELETEALLITEMS, 0, 0);
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
    const int kRecordsPerPoll = 2000;
    for (int read = 0; read < kRecordsPerPoll && m_reader.Read(&message, &type, &time, &restarted); ++read) {
        if (restarted) Clear();  // a new session began
        Append(time, message, type);
    }
}

void CProgressList::Append(time32 time, const std::string& message, int type)
{
    std::string when;
    try {
        when = FormatDateTime(time);
    } catch (const std::exception&) {
        when = "?";  // a time the system cannot show still leaves its row
    }
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(::SendMessageA(m_hwnd, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<char*>(when.c_str());
    const int row = static_cast<int>(::SendMessageA(m_hwnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    SetCellText(m_hwnd, row, 1, message);
    SetCellText(m_hwnd, row, 2, EventTypeName(type));
}
