#include "ui/cookiesdlg.h"

#include "common/resstring.h"
#include "common/tracer.h"
#include "common/urlcache.h"
#include "ui/appmessagebox.h"
#include "ui/cookiesort.h"
#include "ui/resource.h"

#include <commctrl.h>

#include <cstdio>

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

void AddName(HWND list, const std::string& name)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(list);  // the list sorts it among the others
    item.pszText = const_cast<char*>(name.c_str());
    ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

std::string ItemText(HWND list, int index)
{
    // The list copies at most the buffer less one character: grow the
    // buffer until the text fits, so that no stored name is cut short.
    for (size_t size = 1024;; size *= 4) {
        std::string text(size, '\0');
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = &text[0];
        item.cchTextMax = static_cast<int>(size);
        const LRESULT length = ::SendMessageA(list, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
        if (length < 0) return std::string();
        if (static_cast<size_t>(length) + 1 < size || size >= (1u << 24)) {
            text.resize(static_cast<size_t>(length));
            return text;
        }
    }
}

// The text of message 39: the system's description of the failure and its code.
std::string FailureText(HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    char* description = nullptr;
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, static_cast<DWORD>(result), 0,
                                          reinterpret_cast<char*>(&description), 0, nullptr);
    std::string text;
    if (length > 0 && description != nullptr) {
        text = description;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
            text.pop_back();
    }
    if (description != nullptr) ::LocalFree(description);
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
        const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
        if ((header.idFrom == IDC_CLEAN_LIST || header.idFrom == IDC_KEEP_LIST) &&
            (header.code == LVN_ITEMCHANGING || header.code == LVN_ITEMCHANGED)) {
            UpdateMoveButtons();
        }
        return FALSE;  // an item change is never refused
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
    const HRESULT result = ListCookies(0, &current);
    if (FAILED(result)) {
        TRACE(40, "Cookie listing failed - 0x%08lX", static_cast<unsigned long>(result));
        AppMessageBox(m_hwnd, FormatResString(IDS_COOKIE_LIST_FAILED, FailureText(result).c_str()),
                      MB_OK | MB_ICONERROR);
        // The stored names stay on the keep side, so that OK cannot erase them.
        current.clear();
    }
    const CookieLists lists = SortCookies(current, m_keepNames);
    for (const std::string& name : lists.clean) AddName(m_cleanList, name);
    for (const std::string& name : lists.keep) AddName(m_keepList, name);
    UpdateMoveButtons();
}

void CCookiesDlg::MoveItems(HWND source, HWND target, bool all)
{
    for (;;) {
        const int index = ListView_GetNextItem(source, -1, all ? LVNI_ALL : LVNI_SELECTED);
        if (index < 0) break;
        AddName(target, ItemText(source, index));
        ListView_DeleteItem(source, index);
    }
    UpdateMoveButtons();
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
    m_keepNames.clear();
    const int count = ListView_GetItemCount(m_keepList);
    for (int i = 0; i < count; ++i) m_keepNames.push_back(ItemText(m_keepList, i));
    ::EndDialog(m_hwnd, IDOK);
}
