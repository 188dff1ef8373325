#include "ui/cookiesdlg.h"

#include "common/cookiesites.h"
#include "common/handles.h"
#include "common/resstring.h"
#include "common/tracer.h"
#include "runtime/cookiehosts.h"
#include "ui/appmessagebox.h"
#include "ui/cookiesort.h"
#include "ui/resource.h"

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kNameColumnWidth = 300;

}  // namespace

CCookiesDlg::CCookiesDlg(HWND parent, const CCatalogue& catalogue, StringList& keepList)
    : CModalDialog(IDD_COOKIES, parent), m_catalogue(catalogue), m_keepNames(keepList)
{
}

bool CCookiesDlg::OnCommand(WORD code, WORD itemId, LPARAM lParam)
{
    switch (itemId) {
    case IDC_KEEP_SELECTED: MoveItems(m_clean, m_keep, false); return true;
    case IDC_KEEP_ALL: MoveItems(m_clean, m_keep, true); return true;
    case IDC_CLEAN_SELECTED: MoveItems(m_keep, m_clean, false); return true;
    case IDC_CLEAN_ALL: MoveItems(m_keep, m_clean, true); return true;
    default: return CModalDialog::OnCommand(code, itemId, lParam);
    }
}

bool CCookiesDlg::OnInit()
{
    m_clean.list = CListView(Item(IDC_CLEAN_LIST));
    m_keep.list = CListView(Item(IDC_KEEP_LIST));
    for (Side* side : {&m_clean, &m_keep}) {
        side->list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
        side->list.InsertColumn(0, "Name", kNameColumnWidth);
    }

    BrowserCookieHosts browsers;
    {
        // Walking a large cache takes a moment.
        const HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
        const ScopeExit restoreCursor([previous] { ::SetCursor(previous); });
        browsers = ListBrowserCookieHosts(m_catalogue.Items());
    }
    StringList current = std::move(browsers.cookieNames);
    if (!browsers.cookieNamesFailure.empty()) {
        TRACE(40, "Cookie listing failed - %s", browsers.cookieNamesFailure.c_str());
        AppMessageBox(m_hwnd, FormatResString(IDS_COOKIE_LIST_FAILED, browsers.cookieNamesFailure.c_str()),
                      MB_OK | MB_ICONERROR);
        // The stored names stay on the keep side, so that OK cannot erase them.
        current.clear();
    }
    // The other browsers' cookies are offered as sites, kept once for all of them.
    const StringList sites = SitesOfHosts(browsers.hosts);
    current.insert(current.end(), sites.begin(), sites.end());
    if (!browsers.failures.empty()) {
        std::string reasons;
        for (const std::string& failure : browsers.failures) reasons += failure + "\n";
        AppMessageBox(m_hwnd, FormatResString(IDS_BROWSER_COOKIES_UNLISTED, reasons.c_str()), MB_OK | MB_ICONWARNING);
    }
    CookieLists lists = SortCookies(current, m_keepNames);
    m_clean.names = std::move(lists.clean);
    m_keep.names = std::move(lists.keep);
    for (Side* side : {&m_clean, &m_keep}) {
        SortForDisplay(side->names);
        side->list.ShowRowCount(static_cast<int>(side->names.size()));
    }
    UpdateMoveButtons();
    return true;
}

CCookiesDlg::Side* CCookiesDlg::SideOf(HWND list)
{
    if (list != nullptr && list == m_clean.list.Hwnd()) return &m_clean;
    if (list != nullptr && list == m_keep.list.Hwnd()) return &m_keep;
    return nullptr;
}

bool CCookiesDlg::OnNotify(const NMHDR& header, LRESULT* result)
{
    const Side* side = SideOf(header.hwndFrom);
    if (side == nullptr) return false;
    const StringList& names = side->names;
    switch (header.code) {
    // The dialog is an ANSI window: its lists ask in the ANSI forms.
    case LVN_GETDISPINFOA: {
        LVITEMA& item = reinterpret_cast<NMLVDISPINFOA&>(const_cast<NMHDR&>(header)).item;
        // Only the rows shown use the text, cut to the list's buffer; never the keep list.
        if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0 && item.iItem >= 0 &&
            static_cast<size_t>(item.iItem) < names.size())
            ::lstrcpynA(item.pszText, names[static_cast<size_t>(item.iItem)].c_str(), item.cchTextMax);
        return true;
    }
    // Typing in a list jumps to the next name starting with what was typed;
    // some list views ask in the wide form whatever the parent.
    case LVN_ODFINDITEMA:
    case LVN_ODFINDITEMW: {
        const auto& find = reinterpret_cast<const NMLVFINDITEMA&>(header);  // alike up to the text's form
        char typed[256] = {};
        if (header.code == LVN_ODFINDITEMA && find.lvfi.psz != nullptr) ::lstrcpynA(typed, find.lvfi.psz, sizeof typed);
        const auto* wide = reinterpret_cast<const NMLVFINDITEMW&>(header).lvfi.psz;
        if (header.code == LVN_ODFINDITEMW && wide != nullptr)
            ::WideCharToMultiByte(CP_ACP, 0, wide, -1, typed, sizeof typed, nullptr, nullptr);
        const bool byText = (find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) != 0 && typed[0] != '\0';
        *result = byText ? FindByPrefix(names, typed, find.iStart, (find.lvfi.flags & LVFI_WRAP) != 0) : -1;
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

void CCookiesDlg::MoveItems(Side& from, Side& to, bool all)
{
    std::vector<int> positions;
    if (all) {
        for (size_t i = 0; i < from.names.size(); ++i) positions.push_back(static_cast<int>(i));
    } else {
        for (int row = from.list.NextSelected(-1); row >= 0; row = from.list.NextSelected(row)) positions.push_back(row);
    }
    if (positions.empty()) return;
    MoveNames(from.names, positions, to.names);
    // Nothing is chosen on either side after a move.
    from.list.ShowRowCount(static_cast<int>(from.names.size()));
    to.list.ShowRowCount(static_cast<int>(to.names.size()));
    UpdateMoveButtons();
}

void CCookiesDlg::UpdateMoveButtons()
{
    if (m_clean.list.Hwnd() == nullptr || m_keep.list.Hwnd() == nullptr) return;  // notifications before the dialog is set up
    EnableItem(IDC_KEEP_SELECTED, m_clean.list.SelectedCount() > 0);
    EnableItem(IDC_KEEP_ALL, m_clean.list.Count() > 0);
    EnableItem(IDC_CLEAN_SELECTED, m_keep.list.SelectedCount() > 0);
    EnableItem(IDC_CLEAN_ALL, m_keep.list.Count() > 0);
}

void CCookiesDlg::OnOK()
{
    m_keepNames = m_keep.names;
    End(IDOK);
}
