#include "ui/tidewhistledlg.h"

#include "common/adminrights.h"
#include "common/handles.h"
#include "common/error.h"
#include "common/openurl.h"
#include "common/ownfile.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/resstring.h"
#include "common/settings.h"
#include "common/strformat.h"
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

#include <algorithm>

namespace {

const UINT_PTR kRefreshTimer = 1;
const UINT kStartOrStopDone = WM_APP + 1;
const int kDefaultPosition = 0;
const int kCreateNewPosition = 1;
const char kDefaultTaskName[] = "default";

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

CTidewhistleDlg::~CTidewhistleDlg() = default;

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

std::vector<std::string> CTidewhistleDlg::TaskNames() const
{
    std::vector<std::string> names;
    for (const auto& task : m_tasks) names.push_back(task->Name);
    return names;
}

void CTidewhistleDlg::InitTaskList()
{
    TRACE(20, "CTidewhistleDlg::InitTaskList");
    m_tasks.push_back(std::make_unique<CTaskConfig>());
    CTaskConfig& defaultTask = DefaultTask();
    try {
        defaultTask.LoadNamed(kDefaultTaskName);
    } catch (const std::exception& error) {
        TRACE(30, "Can't load default task configuration (error - %s), resetting defaults", error.what());
        defaultTask.InitDefaults(kDefaultTaskName, m_catalogue.Items());
        // A user's first default task follows the administrators' model of
        // one, when they laid one down (an upgrade keeps the shared default there).
        const bool missing = ::GetFileAttributesA(defaultTask.GetFilePath().c_str()) == INVALID_FILE_ATTRIBUTES;
        try {
            if (missing && LoadDefaultTaskModel(&defaultTask)) TRACE(20, "default task made from the administrators' model");
        } catch (const std::exception& modelError) {
            TRACE(30, "The administrators' model of the default task cannot be read - %s", modelError.what());
            defaultTask.InitDefaults(kDefaultTaskName, m_catalogue.Items());
        }
        // An unreadable default task holds the user's settings (a keep list):
        // it is kept under another name, never overwritten with defaults.
        if (KeepUnreadableDefaultTask(error.what())) {
            try {
                defaultTask.Save();
            } catch (const std::exception& saveError) {
                // Shown from memory; it stays modified and is saved when it can be.
                ShowError(saveError.what());
            }
        }
    }
    AddTaskToBox(LoadResString(IDS_DEFAULT_TASK), &defaultTask);
    AddTaskToBox(LoadResString(IDS_CREATE_NEW_TASK), nullptr);
    SelectTask(kDefaultPosition, true);

    TRACE(20, "processing user tasks");
    std::string failures;
    for (const ListedTaskFile& file : ListTaskFiles()) {
        if (SamePath(file.taskName, kDefaultTaskName)) continue;
        if (file.shadowed) {
            failures += FormatResString(IDS_TASK_LOAD_FAILURE_LINE, file.fileName.c_str(),
                                        LoadResString(IDS_TASK_SHADOWED).c_str());
            continue;
        }
        TRACE(20, "Processing user task: %s", file.fileName.c_str());
        auto task = std::make_unique<CTaskConfig>();
        try {
            task->LoadNamed(file.taskName);
        } catch (const std::exception& error) {
            TRACE(30, "Failed to load task configuration from file %s, error %s", file.fileName.c_str(), error.what());
            failures += FormatResString(IDS_TASK_LOAD_FAILURE_LINE, file.fileName.c_str(), error.what());
            continue;
        }
        // The administrators' tasks are shown as theirs.
        AddTaskToBox(task->IsMachineTask() ? FormatResString(IDS_MACHINE_TASK_LABEL, task->Name.c_str()) : task->Name,
                     task.get());
        m_tasks.push_back(std::move(task));
    }
    TRACE(20, "processing user tasks - done");
    if (!failures.empty()) {
        AppMessageBox(m_hwnd, FormatResString(IDS_TASKS_FAILED_TO_LOAD, failures.c_str()), MB_OK | MB_ICONEXCLAMATION);
    }
    TRACE(20, "CTidewhistleDlg::InitTaskList - done");
}

bool CTidewhistleDlg::KeepUnreadableDefaultTask(const std::string& failure)
{
    const std::string path = DefaultTask().GetFilePath();
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;  // missing: nothing to keep

    SYSTEMTIME now;
    ::GetLocalTime(&now);
    // An extension that "*.tsk" cannot match, not even through a short name.
    const std::string kept = GetDataFilePath(StrFormat("default.unreadable-%04d%02d%02d-%02d%02d%02d", now.wYear,
                                                       now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond));
    if (!MoveOwnFile(path, kept, MOVEFILE_WRITE_THROUGH)) {
        const int error = static_cast<int>(::GetLastError());
        TRACE(40, "Cannot keep the unreadable default task - %d", error);
        m_keepDefaultFile = true;  // shown from memory, never saved over the file
        ShowError(FormatResString(IDS_DEFAULT_TASK_NOT_KEPT, failure.c_str(), error));
        return false;
    }
    AppMessageBox(m_hwnd, FormatResString(IDS_DEFAULT_TASK_KEPT, failure.c_str(), kept.c_str()),
                  MB_OK | MB_ICONEXCLAMATION);
    return true;
}

void CTidewhistleDlg::SelectTask(int position, bool setSelection)
{
    LeaveCurrentTask(true);
    ShowTask(position, setSelection);
}

void CTidewhistleDlg::LeaveCurrentTask(bool save)
{
    CTaskConfig* task = CurrentTask();
    if (task == nullptr) return;
    if (save) SaveIfModified();
    // Only the task shown is followed: the list of the task left goes with
    // its open session file and its rows, and is read anew (at once, even a
    // long session) if the task is shown again. A console kept open for
    // weeks over many tasks then holds no more than one task's list.
    m_progressLists.erase(task);
}

void CTidewhistleDlg::ShowTask(int position, bool setSelection)
{
    m_current = position;
    CTaskConfig* task = CurrentTask();
    m_tree.LoadItemStates(*task);

    TaskProgress& progress = m_progressLists[task];
    const HWND place = Item(IDC_PROGRESS_TEMPLATE);
    if (!progress.clean) progress.clean = std::make_unique<CProgressList>(m_hwnd, IDC_PROGRESS_LIST, place, task->Name);
    if (!progress.preview) {
        progress.preview =
            std::make_unique<CProgressList>(m_hwnd, IDC_PROGRESS_LIST, place, task->Name, SessionKind::Preview);
    }
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
    CTaskConfig* task = CurrentTask();
    if (task == nullptr || !task->IsModified() || !MaySave(task)) return;
    try {
        task->Save();
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
    case IDC_HELP_BUTTON: OpenUrl(m_hwnd, GetOnlineHelpUrl().c_str()); break;
    case IDC_HELP_MENU: ShowHelpMenu(); break;
    case IDM_ONLINE_HELP: OpenUrl(m_hwnd, GetOnlineHelpUrl().c_str()); break;
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
    CNewTaskDlg dialog(m_hwnd, TaskNames());
    if (dialog.DoModal() == IDOK) {
        auto task = std::make_unique<CTaskConfig>();
        try {
            task->InitDefaults(dialog.Name(), m_catalogue.Items());
            // A file of that name that is not listed (it failed to load, or
            // holds another task) is the user's and is never replaced.
            if (::GetFileAttributesA(task->GetFilePath().c_str()) != INVALID_FILE_ATTRIBUTES) {
                throw CError(FormatResString(IDS_TASK_FILE_EXISTS, task->GetFilePath().c_str()));
            }
            task->Save();
            show = AddTaskToBox(task->Name, task.get());
            m_tasks.push_back(std::move(task));
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
    LeaveCurrentTask(false);  // a task being deleted is not saved
    m_progressLists.erase(task);
    ShowTask(kDefaultPosition, true);
    try {
        task->Delete();
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
    ::SendMessageA(m_taskBox, CB_DELETESTRING, position, 0);
    const auto owned = std::find_if(m_tasks.begin(), m_tasks.end(), [task](const auto& t) { return t.get() == task; });
    if (owned != m_tasks.end()) m_tasks.erase(owned);
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
        CTaskConfig* task = CurrentTask();
        if (task != nullptr && task->IsModified() && MaySave(task)) task->Save();
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
    m_current = -1;  // the task box's entries point at the tasks going now
    m_progressLists.clear();
    m_tasks.clear();
}
