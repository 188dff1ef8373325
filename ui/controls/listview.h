#pragma once
// A report-view list control spoken to in verbs rather than messages; it
// does not own the control.
#include <windows.h>
#include <commctrl.h>

#include <string>

class CListView {
public:
    CListView() = default;
    explicit CListView(HWND list) : m_hwnd(list) {}
    HWND Hwnd() const { return m_hwnd; }

    void SetExtendedStyle(DWORD style) { ListView_SetExtendedListViewStyle(m_hwnd, style); }
    void InsertColumn(int index, const char* heading, int width);
    // Appends a row with the text of its first column; its index.
    int AddRow(const std::string& text);
    void SetSubItem(int row, int column, const std::string& text);
    int Count() const { return ListView_GetItemCount(m_hwnd); }
    void DeleteAll() { ListView_DeleteAllItems(m_hwnd); }
    int SelectedCount() const { return static_cast<int>(ListView_GetSelectedCount(m_hwnd)); }
    // The first selected row after the one given (-1: from the start); -1 when none.
    int NextSelected(int after) const { return ListView_GetNextItem(m_hwnd, after, LVNI_SELECTED); }
    // An owner-data list: shows rows 0 to count - 1, none of them selected.
    void ShowRowCount(int count);
    // An owner-data list that grew at its end: the rows shown and the
    // selection stay, only rows in view are drawn again.
    void GrowRowCount(int count);

private:
    HWND m_hwnd = nullptr;
};
