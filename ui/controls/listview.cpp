#include "ui/controls/listview.h"

void CListView::InsertColumn(int index, const char* heading, int width)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<char*>(heading);
    column.iSubItem = index;
    ::SendMessageA(m_hwnd, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

int CListView::AddRow(const std::string& text)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = Count();
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(::SendMessageA(m_hwnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void CListView::SetSubItem(int row, int column, const std::string& text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(m_hwnd, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

void CListView::ShowRowCount(int count)
{
    // A new count leaves the old rows' selection behind.
    ListView_SetItemState(m_hwnd, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(m_hwnd, count, 0);
}

void CListView::GrowRowCount(int count)
{
    ListView_SetItemCountEx(m_hwnd, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}
