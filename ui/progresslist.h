#pragma once
// One task's progress list: a report-view list control that shows the
// records of the task's latest session, read from its session data file.
// The list holds no text of its own (owner data): the records are kept here
// and each row's text is made when the list draws it, so a session of a
// hundred thousand records opens at once and a poll costs only the new ones.
#include "runtime/sessionlog.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "ui/controls/listview.h"

#include <windows.h>

#include <string>
#include <vector>

class CProgressList {
public:
    // Creates the list as a child of the dialog with the id, place and
    // styles of the template's (hidden) list, attached to the task's file.
    CProgressList(HWND dialog, int id, HWND templateList, const std::string& taskName,
                  SessionKind kind = SessionKind::Clean);
    ~CProgressList();
    CProgressList(const CProgressList&) = delete;
    CProgressList& operator=(const CProgressList&) = delete;

    void Show(bool visible);
    // Fills in the text of a row the list is about to draw; false when the
    // notification is not this list's.
    bool OnGetDispInfo(NMLVDISPINFOA& info);
    // Appends the records not shown yet; empties the list when the file is
    // gone or a new session began. Raises CError from the reader.
    void Poll();
    HWND GetHwnd() const { return m_hwnd; }
    // When the session data file was last written; zero when there is none.
    ULONGLONG LastWritten() const;
    // The totals record of the session shown ("Run totals: ..." or "Preview
    // totals: ..."); empty while the session has none.
    const std::string& Totals() const { return m_totals; }

private:
    struct Row {
        time32 time;
        int type;
        std::string message;
    };

    void Append(time32 time, const std::string& message, int type);
    void Clear();

    HWND m_hwnd = nullptr;  // owned: destroyed with the list
    CListView m_list;
    std::vector<Row> m_rows;
    std::string m_shownText;  // the text handed to the list last, kept until the next
    CSessionLogRead m_reader;
    std::string m_filePath;
    std::string m_totals;
    // "Run totals: " and "Preview totals: ", as the string table has them.
    const std::string m_totalsPrefixes[2] = {FormatResString(IDS_RUN_TOTALS, ""),
                                             FormatResString(IDS_PREVIEW_TOTALS, "")};
};

// "Error", "Warning", "Information" or "Unknown" for a session record's type.
std::string EventTypeName(int type);
