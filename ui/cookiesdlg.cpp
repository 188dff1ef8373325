#include "ui/cookiesdlg.h"

#include "common/handles.h"
#include "common/resstring.h"
#include "common/tracer.h"
#include "common/urlcache.h"
#include "ui/appmessagebox.h"
#include "ui/cookiesort.h"
#include "ui/resource.h"

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kNameColumnWidth = 300;

void InsertNameColumn(HWND list)
{
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = kNameColumnWidth;
    column.pszText = const_cast<char*>("Name");
    ::SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
}

// Copies a name into a list's buffer, cut short when it does not fit:
// only the rows shown use it, never the keep list.
void CopyName(const std::string& name, char* buffer, int size)
{
    if (buffer == nullptr || size <= 0) return;
    ::lstrcpynA(buffer, name.c_str(), size);
}

void CopyName(const std::string& name, wchar_t* buffer, int size)
{
    if (buffer == nullptr || size <= 0) return;
    std::wstring wide(name.size() + 1, L'\0');
    const int length = ::MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    ::lstrcpynW(buffer, length > 0 ? wide.c_str() : L"", size);
}

bool StartsWithFolded(const std::string& name, const std::string& prefix)
{
    if (prefix.size() > name.size()) return false;
    return ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), static_cast<int>(prefix.size()),
                            prefix.c_str(), static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

std::string Narrow(const wchar_t* text)
{
    if (text == nullptr) return std::string();
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], size, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(size) - 1);
    return narrow;
}

// Typing in a list jumps to the next name starting with what was typed.
int FindByPrefix(const StringList& names, const std::string& prefix, int start, bool wrap)
{
    const int count = static_cast<int>(names.size());
    if (count == 0) return -1;
    if (start < 0 || start >= count) start = 0;
    for (int step = 0; step < count; ++step) {
        const int index = start + step;
        if (index >= count && !wrap) break;
        if (StartsWithFolded(names[static_cast<size_t>(index % count)], prefix)) return index % count;
    }
    return -1;
}

// The text of message 39: the system's description of the failure and its code.
std::string FailureText(HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    UniqueLocal description;
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, static_cast<DWORD>(result), 0,
                                          reinterpret_cast<char*>(description.Receive()), 0, nullptr);
    std::string text;
    if (length > 0 && description) {
        text = static_cast<const char*>(description.Get());
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
            text.pop_back();
    }
    return text.empty() ? std::string(code) : text + " (" + code + ")";
}

}  // namespace

CCookiesDlg::CCookiesDlg(HWND parent, StringList& keepList) : CModalDialog(IDD_COOKIES, parent), m_keepNames(keepList)
{
}

INT_PTR CCookiesDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!OnListNotify(*reinterpret_cast<const NMHDR*>(lParam), &result)) return FALSE;
        ::SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_KEEP_SELECTED: MoveItems(m_cleanList, m_keepList, false); return TRUE;
        case IDC_KEEP_ALL: MoveItems(m_cleanList, m_keepList, true); return TRUE;
        case IDC_CLEAN_SELECTED: MoveItems(m_keepList, m_cleanList, false); return TRUE;
        case IDC_CLEAN_ALL: MoveItems(m_keepList, m_cleanList, true); return TRUE;
        default: return CModalDialog::OnMessage(message, wParam, lParam);
        }
    default:
        return FALSE;
    }
}

void CCookiesDlg::OnInitDialog()
{
    m_cleanList = ::GetDlgItem(m_hwnd, IDC_CLEAN_LIST);
    m_keepList = ::GetDlgItem(m_hwnd, IDC_KEEP_LIST);
    InsertNameColumn(m_cleanList);
    InsertNameColumn(m_keepList);

    StringList current;
    HRESULT result = S_OK;
    {
        // Walking a large cache takes a moment.
        const HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
        const ScopeExit restoreCursor([previous] { ::SetCursor(previous); });
        result = ListCookies(0, &current);
    }
    if (FAILED(result)) {
        TRACE(40, "Cookie listing failed - 0x%08lX", static_cast<unsigned long>(result));
        AppMessageBox(m_hwnd, FormatResString(IDS_COOKIE_LIST_FAILED, FailureText(result).c_str()),
                      MB_OK | MB_ICONERROR);
        // The stored names stay on the keep side, so that OK cannot erase them.
        current.clear();
    }
    CookieLists lists = SortCookies(current, m_keepNames);
    m_cleanSide = std::move(lists.clean);
    m_keepSide = std::move(lists.keep);
    SortForDisplay(m_cleanSide);
    SortForDisplay(m_keepSide);
    ShowNames(m_cleanList);
    ShowNames(m_keepList);
    UpdateMoveButtons();
}

bool CCookiesDlg::OnListNotify(const NMHDR& header, LRESULT* result)
{
    const HWND list = header.hwndFrom;
    if (list == nullptr || (list != m_cleanList && list != m_keepList)) return false;
    const StringList& names = NamesOf(list);
    switch (header.code) {
    case LVN_GETDISPINFOA: {
        LVITEMA& item = reinterpret_cast<NMLVDISPINFOA&>(const_cast<NMHDR&>(header)).item;
        if ((item.mask & LVIF_TEXT) && item.iItem >= 0 && static_cast<size_t>(item.iItem) < names.size())
            CopyName(names[static_cast<size_t>(item.iItem)], item.pszText, item.cchTextMax);
        return true;
    }
    case LVN_GETDISPINFOW: {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header)).item;
        if ((item.mask & LVIF_TEXT) && item.iItem >= 0 && static_cast<size_t>(item.iItem) < names.size())
            CopyName(names[static_cast<size_t>(item.iItem)], item.pszText, item.cchTextMax);
        return true;
    }
    case LVN_ODFINDITEMA: {
        const auto& find = reinterpret_cast<const NMLVFINDITEMA&>(header);
        if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || find.lvfi.psz == nullptr) *result = -1;
        else *result = FindByPrefix(names, find.lvfi.psz, find.iStart, (find.lvfi.flags & LVFI_WRAP) != 0);
        return true;
    }
    case LVN_ODFINDITEMW: {
        const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
        if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || find.lvfi.psz == nullptr) *result = -1;
        else *result = FindByPrefix(names, Narrow(find.lvfi.psz), find.iStart, (find.lvfi.flags & LVFI_WRAP) != 0);
        return true;
    }
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
        UpdateMoveButtons();
        return true;
    default:
        return false;  // an item change is never refused
    }
}

void CCookiesDlg::MoveItems(HWND source, HWND target, bool all)
{
    std::vector<int> positions;
    if (all) {
        for (size_t i = 0; i < NamesOf(source).size(); ++i) positions.push_back(static_cast<int>(i));
    } else {
        for (int index = ListView_GetNextItem(source, -1, LVNI_SELECTED); index >= 0;
             index = ListView_GetNextItem(source, index, LVNI_SELECTED)) {
            positions.push_back(index);
        }
    }
    if (positions.empty()) return;
    MoveNames(NamesOf(source), positions, NamesOf(target));
    ShowNames(source);
    ShowNames(target);
    UpdateMoveButtons();
}

void CCookiesDlg::ShowNames(HWND list)
{
    // A new count leaves the old rows' selection behind: nothing is chosen
    // on either side after a move, as when the rows were moved one by one.
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(list, static_cast<int>(NamesOf(list).size()), 0);
}

void CCookiesDlg::UpdateMoveButtons()
{
    if (m_cleanList == nullptr || m_keepList == nullptr) return;  // notifications before the dialog is set up
    ::EnableWindow(::GetDlgItem(m_hwnd, IDC_KEEP_SELECTED), ListView_GetSelectedCount(m_cleanList) > 0);
    ::EnableWindow(::GetDlgItem(m_hwnd, IDC_KEEP_ALL), ListView_GetItemCount(m_cleanList) > 0);
    ::EnableWindow(::GetDlgItem(m_hwnd, IDC_CLEAN_SELECTED), ListView_GetSelectedCount(m_keepList) > 0);
    ::EnableWindow(::GetDlgItem(m_hwnd, IDC_CLEAN_ALL), ListView_GetItemCount(m_keepList) > 0);
}

void CCookiesDlg::OnOK()
{
    m_keepNames = m_keepSide;
    ::EndDialog(m_hwnd, IDOK);
}
