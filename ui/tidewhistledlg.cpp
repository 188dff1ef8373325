#include "ui/tidewhistledlg.h"

#include "common/adminrights.h"
#include "common/handles.h"
#include "common/openurl.h"
#include "common/resstring.h"
#include "common/settings.h"
#include "common/tracer.h"
#include "runtime/taskprocess.h"
#include "scheduler/schedulerfiles.h"
#include "tasks/taskfiles.h"
#include "ui/appmessagebox.h"
#include "ui/autorun.h"
#include "ui/newtaskdlg.h"
#include "ui/resource.h"
#include "ui/rulesfilesdlg.h"
#include "ui/scheduledlg.h"
#include "ui/settingsdlg.h"
#include "ui/tasksettingsdlg.h"

#include <shellapi.h>
#include <windowsx.h>

namespace {

const UINT_PTR kRefreshTimer = 1;
const UINT kStartOrStopDone = WM_APP + 1;
const int kDefaultPosition = 0;
const int kCreateNewPosition = 1;

UINT ReportNotOpenedMessage()
{
    static const UINT message = ::RegisterWindowMessageA("Hollowmere_Tidewhistle_ReportNotOpened");
    return message;
}

}  // namespace

CTidewhistleDlg::CTidewhistleDlg(HWND parent, CCatalogue& catalogue)
    : CModalDialog(IDD_TIDEWHISTLE_DIALOG, parent), m_catalogue(catalogue)
{
}

INT_PTR CTidewhistleDlg::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    if (message == UrlNotOpenedMessage() || message == ReportNotOpenedMessage()) {
        ShellNotOpened failed;
        if (!TakeShellNotOpened(wParam, &failed)) return TRUE;  // not this process's reply
        if (message == UrlNotOpenedMessage()) ReportUrlNotOpened(m_hwnd, failed.target);
        else ShowError(FormatResString(IDS_CANNOT_OPEN_REPORT, failed.target.c_str(), failed.code));
        return TRUE;
    }
    switch (message) {
    case kStartOrStopDone:
        OnStartOrStopDone();
        return TRUE;
    case WM_SETCURSOR:
        if (!OnSetCursor()) return FALSE;
        ::SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_PAINT:
        return OnPaintMinimised();
    case WM_QUERYDRAGICON:
        ::SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(m_icon));
        return TRUE;
    default:
        return FALSE;
    }
}

void CTidewhistleDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId == kRefreshTimer) Refresh();
}

bool CTidewhistleDlg::OnInit()
{
    m_icon = ::LoadIconA(CurrentModule(), MAKEINTRESOURCEA(IDI_TIDEWHISTLE));
    ::SendMessageA(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    ::SendMessageA(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
    m_taskBox = Item(IDC_TASK_BOX);

    const HWND tree = Item(IDC_JOB_TREE);
    m_tree.SetTickQuestion([this](const std::vector<TickWarning>& warnings) { return AskBeforeTicking(warnings); });
    m_tree.Build(tree, m_catalogue.Items(), RunsAsAdministrator());
    ::SetFocus(tree);

    InitTaskList();
    UpdateRunState();
    ::ShowWindow(m_hwnd, SW_SHOW);
    ::SetTimer(m_hwnd, kRefreshTimer, 1000, nullptr);
    AddToAutoRun(m_hwnd);
    return false;  // the focus was given to the job tree
}

CTaskConfig* CTidewhistleDlg::TaskAt(int position) const
{
    if (position < 0) return nullptr;
    const LRESULT data = ::SendMessageA(m_taskBox, CB_GETITEMDATA, position, 0);
    return data == CB_ERR ? nullptr : reinterpret_cast<CTaskConfig*>(data);
}

int CTidewhistleDlg::AddTaskToBox(const std::string& text, CTaskConfig* task)
{
    const int position = static_cast<int>(::SendMessageA(m_taskBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    ::SendMessageA(m_taskBox, CB_SETITEMDATA, position, reinterpret_cast<LPARAM>(task));
    return position;
}

void CTidewhistleDlg::InitTaskList()
{
    TRACE(20, "CTidewhistleDlg::InitTaskList");
    for (const TaskListNotice& notice : m_taskList.LoadDefaultTask(m_catalogue.Items())) {
        if (notice.error) ShowError(notice.text);
        else AppMessageBox(m_hwnd, notice.text, MB_OK | MB_ICONEXCLAMATION);
    }
    AddTaskToBox(LoadResString(IDS_DEFAULT_TASK), &m_taskList.DefaultTask());
    AddTaskToBox(LoadResString(IDS_CREATE_NEW_TASK), nullptr);
    SelectTask(kDefaultPosition, true);

    const std::string failures = m_taskList.LoadOtherTasks();
    for (size_t position = 1; position < m_taskList.Count(); ++position) {
        CTaskConfig& task = m_taskList.At(position);
        // The administrators' tasks are shown as theirs.
        AddTaskToBox(task.IsMachineTask() ? FormatResString(IDS_MACHINE_TASK_LABEL, task.Name.c_str()) : task.Name, &task);
    }
    if (!failures.empty()) {
        AppMessageBox(m_hwnd, FormatResString(IDS_TASKS_FAILED_TO_LOAD, failures.c_str()), MB_OK | MB_ICONEXCLAMATION);
    }
    TRACE(20, "CTidewhistleDlg::InitTaskList - done");
}

void CTidewhistleDlg::SelectTask(int position, bool setSelection)
{
    CTaskConfig* left = CurrentTask();
    m_taskList.SwitchTo(TaskAt(position), [this](const std::string& failure) { ReportRefreshError(failure); });
    // Only the task shown is followed: the list of the task left goes with
    // its open session file and its rows, and is read anew (at once, even a
    // long session) if the task is shown again. A console kept open for
    // weeks over many tasks then holds no more than one task's list.
    m_progressLists.erase(left);
    m_current = position;
    CTaskConfig* task = CurrentTask();
    m_tree.LoadItemStates(*task);

    TaskProgress& progress = m_progressLists[task];
    const HWND place = Item(IDC_PROGRESS_TEMPLATE);
    if (!progress.clean) progress.clean = std::make_unique<CProgressList>(m_hwnd, IDC_PROGRESS_LIST, place, task->Name);
    if (!progress.preview)
        progress.preview = std::make_unique<CProgressList>(m_hwnd, IDC_PROGRESS_LIST, place, task->Name, SessionKind::Preview);
    progress.Shown()->Show(true);
    Refresh();
    if (setSelection) ::SendMessageA(m_taskBox, CB_SETCURSEL, position, 0);
}

void CTidewhistleDlg::Refresh()
{
    m_refreshFailed = false;
    SaveIfModified();
    PollProgress();
    UpdateRunState();
    // A refresh without error ends the failure: the next one is news again.
    if (!m_refreshFailed) m_lastRefreshError.clear();
}

void CTidewhistleDlg::SaveIfModified()
{
    try {
        m_taskList.SaveCurrentIfModified();
    } catch (const std::exception& error) {
        ReportRefreshError(error.what());  // the task keeps its modified flag
    }
}

CProgressList* CTidewhistleDlg::TaskProgress::Shown() const
{
    return preview->LastWritten() > clean->LastWritten() ? preview.get() : clean.get();
}

void CTidewhistleDlg::PollProgress()
{
    auto found = m_progressLists.find(CurrentTask());
    if (found == m_progressLists.end()) return;
    const TaskProgress& progress = found->second;
    for (CProgressList* list : {progress.clean.get(), progress.preview.get()}) {
        try {
            list->Poll();
        } catch (const std::exception& error) {
            ReportRefreshError(error.what());
        }
    }
    // The session written last is in view: a preview's while it runs, the
    // clean's again once a clean has run since.
    CProgressList* shown = progress.Shown();
    for (CProgressList* list : {progress.clean.get(), progress.preview.get()}) {
        const bool visible = ::IsWindowVisible(list->GetHwnd()) != FALSE;
        if (visible != (list == shown)) list->Show(list == shown);
    }
}

void CTidewhistleDlg::UpdateRunState()
{
    const CTaskConfig* task = CurrentTask();
    const bool cleaning = task != nullptr && IsTaskRunning(task->Name);
    const bool previewing = task != nullptr && IsTaskRunning(task->Name, SessionKind::Preview);
    const bool running = cleaning || previewing;
    ::SetDlgItemTextA(m_hwnd, IDC_RUN_STATUS, LoadResString(running ? IDS_STATUS_STARTED : IDS_STATUS_STOPPED).c_str());
    // Neither is offered again while a start or stop is under way. A clean
    // started during a preview waits for the preview to end.
    const bool idle = !m_startOrStop.IsBusy();
    // Policy may change while the console is open; it is read every second.
    // Under it only the administrators' tasks run.
    const bool tasksLocked = GetTasksLocked();
    const bool machine = task != nullptr && task->IsMachineTask();
    const bool mayRun = !tasksLocked || machine;
    EnableItem(IDC_STOP, idle && running);
    EnableItem(IDC_START, idle && !cleaning && mayRun);
    EnableItem(IDC_PREVIEW, idle && !running && mayRun);
    EnableItem(IDC_NEW_TASK, !tasksLocked);
    // The administrators' tasks are shown, not changed.
    EnableItem(IDC_DELETE_TASK, !tasksLocked && !machine);
    EnableItem(IDC_TASK_OPTIONS, !machine);
    EnableItem(IDC_SCHEDULE, !machine);
    EnableItem(IDC_JOB_TREE, !machine);
    // The totals of the last clean and of the last preview, each in its place.
    auto found = m_progressLists.find(task);
    const bool followed = found != m_progressLists.end();
    const std::string cleanTotals = followed ? found->second.clean->Totals() : std::string();
    const std::string previewTotals = followed ? found->second.preview->Totals() : std::string();
    if (ItemText(IDC_LAST_TOTALS) != cleanTotals) SetItemText(IDC_LAST_TOTALS, cleanTotals);
    if (ItemText(IDC_LAST_PREVIEW_TOTALS) != previewTotals) SetItemText(IDC_LAST_PREVIEW_TOTALS, previewTotals);
}

void CTidewhistleDlg::OpenPreviewReport()
{
    if (CurrentTask() == nullptr) return;
    const std::string path = TaskFiles(CurrentTask()->Name).Path(TaskFiles::PreviewReport);
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        AppMessageBox(m_hwnd, LoadResString(IDS_NO_PREVIEW_REPORT), MB_OK | MB_ICONINFORMATION);
        return;
    }
    // The user's viewer for text files shows it; the shell is asked in a
    // process of its own, so that no viewer can keep the console from answering.
    OpenInBackground(m_hwnd, path, ReportNotOpenedMessage());
}

void CTidewhistleDlg::ReportRefreshError(const std::string& text)
{
    m_refreshFailed = true;
    if (text == m_lastRefreshError) return;
    m_lastRefreshError = text;
    ShowError(text);
}

void CTidewhistleDlg::ShowError(const std::string& text)
{
    AppMessageBox(m_hwnd, text, MB_OK | MB_ICONERROR);
}

bool CTidewhistleDlg::OnCommand(WORD code, WORD itemId, LPARAM)
{
    switch (itemId) {
    case IDC_TASK_BOX:
        if (code == CBN_SELCHANGE) {
            const int position = static_cast<int>(::SendMessageA(m_taskBox, CB_GETCURSEL, 0, 0));
            if (position == kCreateNewPosition) NewTask();
            else if (position >= 0) SelectTask(position, false);
        }
        break;
    case IDC_NEW_TASK: NewTask(); break;
    case IDC_START: StartOrStop(RunAction::Start); break;
    case IDC_STOP: StartOrStop(RunAction::Stop); break;
    case IDC_PREVIEW: StartOrStop(RunAction::Preview); break;
    case IDC_PREVIEW_REPORT: OpenPreviewReport(); break;
    case IDC_DELETE_TASK: DeleteTask(); break;
    case IDC_SETTINGS: EditSettings(); break;
    case IDC_RULES_FILES: ShowRulesFiles(); break;
    case IDC_TASK_OPTIONS: EditTaskOptions(); break;
    case IDC_SCHEDULE: EditSchedule(); break;
    case IDC_HELP_BUTTON:
    case IDM_ONLINE_HELP: OpenUrl(m_hwnd, GetOnlineHelpUrl().c_str()); break;
    case IDC_HELP_MENU: ShowHelpMenu(); break;
    case IDM_SUBMIT_TICKET: OpenUrl(m_hwnd, GetSupportUrl().c_str()); break;
    case IDOK:
    case IDCANCEL: End(itemId); break;
    default: break;
    }
    return true;
}

bool CTidewhistleDlg::OnNotify(const NMHDR& header, LRESULT* result)
{
    *result = 0;
    // The progress lists keep their rows' text: each fills in what it draws.
    // The dialog is an ANSI window, so they ask in the ANSI form.
    if (header.idFrom == IDC_PROGRESS_LIST && header.code == LVN_GETDISPINFOA) {
        auto& info = reinterpret_cast<NMLVDISPINFOA&>(const_cast<NMHDR&>(header));
        for (auto& [task, progress] : m_progressLists) {
            if (progress.clean && progress.clean->OnGetDispInfo(info)) break;
            if (progress.preview && progress.preview->OnGetDispInfo(info)) break;
        }
        return true;
    }
    if (header.idFrom != IDC_JOB_TREE || CurrentTask() == nullptr) return true;
    if (CurrentTask()->IsMachineTask()) return true;  // not the user's to change
    if (header.code == NM_CLICK) m_tree.OnClick(*CurrentTask());
    if (header.code == TVN_KEYDOWN) m_tree.OnKeyDown(reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey, *CurrentTask());
    return true;
}

void CTidewhistleDlg::NewTask()
{
    // A new task is shown at once; otherwise the task shown before comes
    // back. SelectTask leaves (saves and hides) the task shown now, so the
    // position changes only through it.
    int show = m_current;
    if (GetTasksLocked()) {
        AppMessageBox(m_hwnd, LoadResString(IDS_TASKS_LOCKED), MB_OK | MB_ICONINFORMATION);
        SelectTask(show, true);
        return;
    }
    CNewTaskDlg dialog(m_hwnd, m_taskList.Names());
    if (dialog.DoModal() == IDOK) {
        try {
            CTaskConfig& task = m_taskList.Add(dialog.Name(), m_catalogue.Items());
            show = AddTaskToBox(task.Name, &task);
        } catch (const std::exception& error) {
            AppMessageBox(m_hwnd, FormatResString(IDS_CANNOT_CREATE_TASK, error.what()), MB_OK | MB_ICONERROR);
        }
    }
    SelectTask(show, true);
}

void CTidewhistleDlg::StartOrStop(RunAction action)
{
    if (m_startOrStop.IsBusy() || CurrentTask() == nullptr) return;
    // The call keeps its own copy of the name: the task may be deleted meanwhile.
    const std::string name = CurrentTask()->Name;
    const bool started = m_startOrStop.Start(m_hwnd, kStartOrStopDone, [name, action] {
        if (action == RunAction::Start) StartTask(name);
        else if (action == RunAction::Preview) StartTaskPreview(name);
        else if (IsTaskRunning(name)) StopTask(name);
        else StopTask(name, SessionKind::Preview);
    });
    if (!started) {
        ShowError(FormatResString(action == RunAction::Stop ? IDS_CANNOT_STOP_TASK : IDS_CANNOT_RUN_TASK,
                                  static_cast<int>(ERROR_NOT_ENOUGH_MEMORY)));
        return;
    }
    UpdateRunState();
    OnSetCursor();
}

void CTidewhistleDlg::OnStartOrStopDone()
{
    const std::string error = m_startOrStop.Finish();
    UpdateRunState();
    ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
    if (!error.empty()) ShowError(error);
}

// The wait cursor shows over the console while a start or stop is under way.
bool CTidewhistleDlg::OnSetCursor()
{
    if (!m_startOrStop.IsBusy()) return false;
    ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    return true;
}

void CTidewhistleDlg::DeleteTask()
{
    if (GetTasksLocked()) {
        AppMessageBox(m_hwnd, LoadResString(IDS_TASKS_LOCKED), MB_OK | MB_ICONINFORMATION);
        return;
    }
    const int position = static_cast<int>(::SendMessageA(m_taskBox, CB_GETCURSEL, 0, 0));
    if (position == kDefaultPosition) {
        ::MessageBoxA(m_hwnd, LoadResString(IDS_DEFAULT_TASK_UNDELETABLE).c_str(), "Tidewhistle", MB_OK | MB_ICONERROR);
        return;
    }
    CTaskConfig* task = TaskAt(position);
    if (task == nullptr) return;
    if (task->IsMachineTask()) {
        AppMessageBox(m_hwnd, FormatResString(IDS_MACHINE_TASK_READ_ONLY, task->Name.c_str()), MB_OK | MB_ICONINFORMATION);
        return;
    }
    // The task goes from the box before it goes from memory: the box's
    // entries point at the tasks.
    m_progressLists.erase(task);
    ::SendMessageA(m_taskBox, CB_DELETESTRING, position, 0);
    std::string failure;
    try {
        m_taskList.Delete(*task);  // a task being deleted is not saved
    } catch (const std::exception& error) {
        failure = error.what();
    }
    SelectTask(kDefaultPosition, true);
    if (!failure.empty()) ShowError(failure);
}

void CTidewhistleDlg::ShowHelpMenu()
{
    POINT cursor;
    ::GetCursorPos(&cursor);
    UniqueMenu owner(::CreatePopupMenu());
    if (!owner) return;
    const HMENU menu = owner.Get();
    ::AppendMenuA(menu, MF_STRING, IDM_ONLINE_HELP, LoadResString(IDS_MENU_ONLINE_HELP).c_str());
    ::AppendMenuA(menu, MF_STRING, IDM_SUBMIT_TICKET, LoadResString(IDS_MENU_SUBMIT_TICKET).c_str());
    ::SetMenuDefaultItem(menu, IDM_ONLINE_HELP, FALSE);
    ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, m_hwnd, nullptr);
}

void CTidewhistleDlg::EditSettings()
{
    CSettingsDlg dialog(m_hwnd, GetAutoRun(), AutoRunLockedReason());
    if (dialog.DoModal() != IDOK) return;
    if (!dialog.IsLocked()) SetAutoRun(dialog.LoadAtStartup());
    AddToAutoRun(m_hwnd);
}

void CTidewhistleDlg::EditTaskOptions()
{
    if (CurrentTask() == nullptr || CurrentTask()->IsMachineTask()) return;
    // The dialog changes the task through its extended data, which marks it
    // modified; the next refresh saves it.
    CTaskSettingsDlg dialog(m_hwnd, m_catalogue, *CurrentTask());
    dialog.DoModal();
}

void CTidewhistleDlg::EditSchedule()
{
    if (CurrentTask() == nullptr || CurrentTask()->IsMachineTask()) return;
    CTaskConfig& task = *CurrentTask();
    ScheduleFields schedule = task.Schedule;
    // The dialog offers a recurring run or one run; any other type reads as one run.
    schedule.type = schedule.type != 0 ? 1 : 0;
    CScheduleDlg dialog(m_hwnd, task.Name, schedule);
    if (dialog.DoModal() != IDOK) return;
    task.Schedule = dialog.Data();
    task.SetModified(true);
    SaveIfModified();
    try {
        CTaskSchedulerFiles::SignalScheduleChange();
    } catch (const std::exception& error) {
        // Without a resident scheduler the change is read when one starts.
        TRACE(30, "Schedule change not signalled - %s", error.what());
    }
}

bool CTidewhistleDlg::AskBeforeTicking(const std::vector<TickWarning>& warnings)
{
    return AppMessageBox(m_hwnd, TickWarningsQuestion(warnings), MB_OKCANCEL | MB_ICONWARNING) == IDOK;
}

void CTidewhistleDlg::ShowRulesFiles()
{
    CRulesFilesDlg dialog(m_hwnd, m_catalogue.RulesSources(), [this] { ReloadCatalogue(); });
    dialog.DoModal();
}

// Only this thread reads the catalogue in the resident process (the
// scheduler starts task processes, which read their own), so it may be
// replaced here; the tree's items point into it and are cleared first.
void CTidewhistleDlg::ReloadCatalogue()
{
    const HWND tree = Item(IDC_JOB_TREE);
    try {
        const HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
        const ScopeExit restoreCursor([previous] { ::SetCursor(previous); });
        m_catalogue.Reload([tree] { TreeView_DeleteAllItems(tree); });
    } catch (const std::exception& error) {
        // The running catalogue stays as it was; the file is in place for the next start.
        ShowError(error.what());
        return;
    }
    m_tree.Build(tree, m_catalogue.Items(), RunsAsAdministrator());
    if (CurrentTask() != nullptr) m_tree.LoadItemStates(*CurrentTask());
}

bool CTidewhistleDlg::OnPaintMinimised()
{
    if (!::IsIconic(m_hwnd)) return false;
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hwnd, &paint);
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_icon);
    ::EndPaint(m_hwnd, &paint);
    return true;
}

void CTidewhistleDlg::OnDestroy()
{
    ::KillTimer(m_hwnd, kRefreshTimer);
    try {
        m_taskList.SaveCurrentIfModified();
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
    m_current = -1;  // the task box's entries point at the tasks going now
    m_progressLists.clear();
    m_taskList.Clear();
}
