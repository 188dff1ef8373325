#pragma once
// One task's progress list: a report-view list control that shows the
// records of the task's latest session, read from its session data file.
#include "runtime/sessionlog.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "ui/listview.h"

#include <windows.h>

#include <string>

class CProgressList {
public:
    // Creates the list as a child of the dialog with the id, place and
    // styles of the template's (hidden) list, attached to the task's file.
    CProgressList(HWND dialog, int id, HWND templateList, const std::string& taskName);
    ~CProgressList();
    CProgressList(const CProgressList&) = delete;
    CProgressList& operator=(const CProgressList&) = delete;

    void Show(bool visible);
    // Appends the records not shown yet; empties the list when the file is
    // gone or a new session began. Raises CError from the reader.
    void Poll();
    HWND GetHwnd() const { return m_hwnd; }
    // The totals record of the session shown ("Run totals: ..." or "Preview
    // totals: ..."); empty while the session has none.
    const std::string& Totals() const { return m_totals; }

private:
    void Append(time32 time, const std::string& message, int type);
    void Clear();

    HWND m_hwnd = nullptr;  // owned: destroyed with the list
    CListView m_list;
    CSessionLogRead m_reader;
    std::string m_totals;
    // "Run totals: " and "Preview totals: ", as the string table has them.
    const std::string m_totalsPrefixes[2] = {FormatResString(IDS_RUN_TOTALS, ""),
                                             FormatResString(IDS_PREVIEW_TOTALS, "")};
};

// "Error", "Warning", "Information" or "Unknown" for a session record's type.
std::string EventTypeName(int type);
