#pragma once
// The configuration console: one modal dialog in which the user picks a
// task, ticks the items it clears in a tree built from the catalogue, starts
// and stops it, and follows its progress in a list read from the task's
// session data file once a second. Every task loaded stays in memory while
// the console is open and is written back to its file when it changed.
#include "runtime/catalogue.h"
#include "tasks/taskconfig.h"
#include "ui/backgroundcall.h"
#include "ui/jobtree.h"
#include "ui/modaldialog.h"
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
    ~CTidewhistleDlg() override;

private:
    bool OnInit() override;
    bool OnCommand(WORD code, WORD itemId, LPARAM lParam) override;
    bool OnNotify(const NMHDR& header, LRESULT* result) override;
    void OnTimer(UINT_PTR timerId) override;
    void OnDestroy() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnPaintMinimised();

    void InitTaskList();
    // Moves an unreadable default task file aside and tells the user; false
    // when it could not be moved (the defaults are then never saved over it).
    bool KeepUnreadableDefaultTask(const std::string& failure);
    CTaskConfig& DefaultTask() const { return *m_tasks.front(); }
    bool MaySave(const CTaskConfig* task) const
    {
        return !task->IsMachineTask() && (task != &DefaultTask() || !m_keepDefaultFile);
    }
    // Leaving a task saves it (unless it is being deleted) and hides its
    // progress list; showing one loads its items into the tree and shows its list.
    void LeaveCurrentTask(bool save);
    void ShowTask(int position, bool setSelection);
    void SelectTask(int position, bool setSelection);
    void Refresh();
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
    // A rules file added while the console is open: its entries join the
    // catalogue and the tree is built again.
    void ReloadCatalogue();
    bool AskBeforeTicking(const std::vector<TickWarning>& warnings);

    CTaskConfig* TaskAt(int position) const;
    CTaskConfig* CurrentTask() const { return TaskAt(m_current); }
    std::vector<std::string> TaskNames() const;
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
    // Every task of the console, the default task first; the task box's
    // entries point at them.
    std::vector<std::unique_ptr<CTaskConfig>> m_tasks;
    // The progress lists of the task shown (one task at most: a task left
    // loses its lists): its last clean's records and its last preview's,
    // kept apart; the one written last is in view.
    struct TaskProgress {
        std::unique_ptr<CProgressList> clean;
        std::unique_ptr<CProgressList> preview;
        CProgressList* Shown() const;
    };
    std::map<const CTaskConfig*, TaskProgress> m_progressLists;
    int m_current = -1;  // the task box position shown; none before the first
    std::string m_lastRefreshError;
    bool m_refreshFailed = false;  // an error was reported during the current refresh
    bool m_keepDefaultFile = false;  // default.tsk could not be read nor moved aside
};
