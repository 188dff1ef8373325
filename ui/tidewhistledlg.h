#pragma once
// The configuration console: one modal dialog in which the user picks a
// task, ticks the items it clears in a tree built from the catalogue, starts,
// previews and stops it, and follows its last clean and its last preview in
// two progress lists read from their session data files once a second. The
// tasks themselves are the task list's (CTaskList): the console shows the
// current one and has it saved within a second of a change.
#include "runtime/catalogue.h"
#include "tasks/tasklist.h"
#include "ui/backgroundcall.h"
#include "ui/jobtree.h"
#include "ui/controls/modaldialog.h"
#include "ui/progresslist.h"

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class CTidewhistleDlg : public CModalDialog {
public:
    // The catalogue the tree shows; a rules file added in the rules files
    // dialog reloads it.
    CTidewhistleDlg(HWND parent, CCatalogue& catalogue);

private:
    bool OnInit() override;
    bool OnCommand(WORD code, WORD itemId, LPARAM lParam) override;
    bool OnNotify(const NMHDR& header, LRESULT* result) override;
    void OnTimer(UINT_PTR timerId) override;
    void OnDestroy() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnPaintMinimised();

    // Loads the tasks and fills the task box, telling the user what could not be loaded.
    void InitTaskList();
    // Leaves the task shown (saved when it changed, its progress lists
    // dropped) for the one at that position of the task box: its items go
    // into the tree and its progress lists are read.
    void SelectTask(int position, bool setSelection);
    void Refresh();
    // Saves the task shown when it changed; a failure is reported once while it lasts.
    void SaveIfModified();
    void PollProgress();
    void UpdateRunState();
    void NewTask();
    // The start or stop runs off the console's thread: it may wait long, and
    // the console (and the resident instance on its thread) keeps answering.
    enum class RunAction { Start, Stop, Preview };
    void StartOrStop(RunAction action);
    void OpenPreviewReport();
    void OnStartOrStopDone();
    bool OnSetCursor();
    void DeleteTask();
    void ShowHelpMenu();
    void EditSettings();
    void EditTaskOptions();
    void EditSchedule();
    void ShowRulesFiles();
    // A rules file added while the console is open: the catalogue is read
    // anew (a failed read keeps the one running) and the tree built again.
    void ReloadCatalogue();
    bool AskBeforeTicking(const std::vector<TickWarning>& warnings);

    CTaskConfig* TaskAt(int position) const;
    CTaskConfig* CurrentTask() const { return m_taskList.Current(); }
    int AddTaskToBox(const std::string& text, CTaskConfig* task);
    // Shows an error of the periodic refresh once while it lasts, not every
    // second; after a refresh without error the same error is shown again.
    void ReportRefreshError(const std::string& text);
    void ShowError(const std::string& text);

    CCatalogue& m_catalogue;
    HWND m_taskBox = nullptr;
    HICON m_icon = nullptr;
    CJobTree m_tree;
    CBackgroundCall m_startOrStop;
    // Every task of the console; the task box's entries point at them.
    CTaskList m_taskList;
    // The task shown's progress lists: its last clean's and its last preview's.
    struct TaskProgress {
        std::unique_ptr<CProgressList> clean;
        std::unique_ptr<CProgressList> preview;
        CProgressList* Shown() const;
    };
    std::map<const CTaskConfig*, TaskProgress> m_progressLists;
    int m_current = -1;  // the task box position shown; none before the first
    std::string m_lastRefreshError;
    bool m_refreshFailed = false;  // an error was reported during the current refresh
};
