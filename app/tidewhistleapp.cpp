#include "app/tidewhistleapp.h"

#include "app/cataloguelist.h"
#include "app/sharedfolder.h"
#include "app/taskfolderremoval.h"
#include "app/singleinstance.h"
#include "app/traywnd.h"
#include "common/error.h"
#include "common/openurl.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "common/settings.h"
#include "common/tracer.h"
#include "common/version.h"
#include "runtime/taskprocess.h"
#include "runtime/taskruntime.h"
#include "tasks/taskconfig.h"
#include "ui/appmessagebox.h"
#include "ui/autorun.h"
#include "ui/resource.h"

#include <objbase.h>
#include <commctrl.h>
#include <cstring>

namespace {

// How long the end of a session waits for the shutdown tasks to finish.
const DWORD kSessionEndTaskWaitMs = 60000;

const int kVersion[4] = {TW_VERSION_NUMBERS};

const char kListSwitch[] = "/list";

void ShowError(const std::string& text)
{
    AppMessageBox(nullptr, text, MB_OK | MB_ICONERROR);
}

}  // namespace

// The listing is run by scripts: its errors go to standard error, where a
// box would wait for a person who is not there.
void CTidewhistleApp::ReportStartupError(const std::string& text) const
{
    if (IsListRole()) WriteListingError(text);
    else ShowError(text);
}

void CTidewhistleApp::Run()
{
    if (InitInstance()) {
        MSG message;
        while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    ExitInstance();
}

bool CTidewhistleApp::InitInstance()
{
    if (!RunStartup()) {
        if (IsPreviewRole() || IsTaskRole() || IsOpenRole() || IsListRole()) m_exitCode = 1;
        return false;
    }
    if (IsTakeOverRole()) {
        m_exitCode = TakeOverSharedFolder(m_argv[2]);
        return false;
    }
    if (IsRemoveTaskFolderRole()) {
        m_exitCode = RemoveTaskFolder(m_argv[2]);
        return false;
    }

    // Comparisons are exact: "/TRAY" is a task name.
    const int arguments = m_argc - 1;
    if (IsOpenRole()) {
        m_exitCode = OpenWithShell(m_argv[2]);
        return false;
    }
    if (IsListRole()) {
        m_exitCode = WriteCatalogueListing();
        return false;
    }
    if (arguments == 0) return RunGUI(false);
    if (arguments == 1 && std::strcmp(m_argv[1], "/tray") == 0) return RunGUI(true);
    if (arguments == 1 && std::strcmp(m_argv[1], "/shutdown") == 0) {
        ShutdownInstances();
        return false;
    }
    RunCmdLine();
    return false;
}

// Common start-up of every role. False ends the process at once.
bool CTidewhistleApp::RunStartup()
{
    // Modules are found beside the program or in the system folders, never
    // in whatever folder the program was started from. SetDllDirectory("")
    // alone does not take the current folder out of the search everywhere.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryA("");
    // Run by the installer as the system: no settings, data folder or trace
    // of the system account's own.
    if (IsTakeOverRole() || IsRemoveTaskFolderRole()) return true;

    const std::string company = LoadResString(IDS_COMPANY_NAME);
    const std::string product = LoadResString(IDS_PRODUCT_NAME);
    OpenSettingsKey(company.c_str(), product.c_str());
    // A data folder setting that names no folder is the user's to know of:
    // nothing is kept anywhere else instead. Ending the resident copy needs
    // no data folder.
    const std::string unusable = DataFolderProblem();
    const bool shutdownRole = m_argc == 2 && std::strcmp(m_argv[1], "/shutdown") == 0;
    std::string message;
    if (!unusable.empty() && !shutdownRole) message = FormatResString(IDS_DATA_FOLDER_UNUSABLE, unusable.c_str());
    // Ending the resident copy writes nothing: the installer runs it too.
    else if (!shutdownRole && !EnsureDataFolder())
        message = FormatResString(IDS_DATA_FOLDER_FOREIGN, GetDataFolder().c_str());
    if (!message.empty()) {
        ::OutputDebugStringA(message.c_str());
        ReportStartupError(message);
        return false;
    }

    const int logLevel = GetDebugLogLevel();
    if (logLevel == 0) {
        g_tracer.Open(CTracer::kOff, 0, nullptr);
    } else {
        g_tracer.SetModuleName("Tiedwhistle.exe");
        const std::string tracePath = GetDataFilePath("tw_debug.log");
        g_tracer.Open(CTracer::kFile, logLevel, tracePath.c_str());
    }

    // A preview changes nothing, the automatic-start entry included; nor
    // does the process that only hands a target to the shell.
    if (!IsPreviewRole() && !IsOpenRole() && !IsListRole()) AddToAutoRun(nullptr);

    const HRESULT comResult = ::CoInitialize(nullptr);
    if (FAILED(comResult)) {
        TRACE(40, "CoInitialize failed - %d", static_cast<int>(comResult));
        ReportStartupError(FormatInternalError(kComNotInitialised, static_cast<int>(comResult)));
        return false;
    }

    TRACE(20, "%s: version %d.%d.%d.%d", product.c_str(), kVersion[0], kVersion[1], kVersion[2], kVersion[3]);
    // Ending the resident copy and showing the usage need no catalogue: an
    // upgrade that replaced the data files first must still be able to stop
    // the running copy.
    if (!NeedsCatalogue()) return true;
    return LoadCatalogue();
}

bool CTidewhistleApp::NeedsCatalogue() const
{
    const bool shutdownRole = m_argc == 2 && std::strcmp(m_argv[1], "/shutdown") == 0;
    const bool usage = m_argc > 2 && !IsPreviewRole() && !IsTakeOverRole() && !IsRemoveTaskFolderRole() && !IsListRole();
    return !shutdownRole && !usage;
}

// "/open <target>": hands one web address or preview report to the shell,
// in a process of its own (see openurl.h).
bool CTidewhistleApp::IsOpenRole() const
{
    return m_argc == 3 && std::strcmp(m_argv[1], kOpenSwitch) == 0;
}

bool CTidewhistleApp::IsTakeOverRole() const
{
    return m_argc == 3 && std::strcmp(m_argv[1], kTakeOverSwitch) == 0;
}

// Run by the uninstall from a copy of the program (its own files are gone by then).
bool CTidewhistleApp::IsRemoveTaskFolderRole() const
{
    return m_argc == 3 && std::strcmp(m_argv[1], kRemoveTaskFolderSwitch) == 0;
}

// "/preview <task>": a task name never starts with "/", so the switch cannot
// be a task.
bool CTidewhistleApp::IsPreviewRole() const
{
    return m_argc == 3 && std::strcmp(m_argv[1], kPreviewSwitch) == 0;
}

// "/list [file]": the catalogue as JSON, to the file or standard output.
bool CTidewhistleApp::IsListRole() const
{
    return (m_argc == 2 || m_argc == 3) && std::strcmp(m_argv[1], kListSwitch) == 0;
}

bool CTidewhistleApp::IsTaskRole() const
{
    return m_argc == 2 && std::strcmp(m_argv[1], "/tray") != 0 && std::strcmp(m_argv[1], "/shutdown") != 0 &&
           !IsListRole();
}

bool CTidewhistleApp::IsResidentRole() const
{
    return m_argc == 1 || (m_argc == 2 && std::strcmp(m_argv[1], "/tray") == 0);
}

// Without its catalogue the program can do nothing useful: the resident role
// tells the user, every other role traces the error; the process then ends
// normally.
bool CTidewhistleApp::LoadCatalogue()
{
    try {
        m_catalogue.Load();
    } catch (const std::exception& error) {
        TRACE(40, "Inventory initialization failed - %s", error.what());
        if (IsResidentRole() || IsListRole()) ReportStartupError(error.what());
        return false;
    }
    return true;
}

int CTidewhistleApp::WriteCatalogueListing() const
{
    const std::string path = m_argc == 3 ? m_argv[2] : std::string();
    const std::string json = CatalogueJson(m_catalogue);
    return WriteListing(json, path) ? 0 : 1;
}

bool CTidewhistleApp::RunGUI(bool trayOnly)
{
    TRACE(20, "CTidewhistleApp::RunGUI");
    if (!m_instanceGuard.CheckSingleInstance()) return false;

    TRACE(20, "Initializing application data");
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES |
                                                          ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    try {
        // The administrators' model of the default task, for a user who has none.
        try {
            if (MakeDefaultTaskFromModel()) TRACE(20, "default task made from the administrators' model");
        } catch (const std::exception& error) {
            TRACE(40, "The default task cannot be made from the administrators' model - %s", error.what());
        }
        m_scheduler = std::make_unique<CTaskScheduler>();
        m_scheduler->Start();
        g_trayWnd.SetSessionEndHandler([this] { EndSession(); });

        if (!g_trayWnd.Create(CurrentModule(), m_catalogue)) RaiseSystemError(kTrayWindowNotCreated, nullptr);
        HICON icon = ::LoadIconA(CurrentModule(), MAKEINTRESOURCEA(IDI_TIDEWHISTLE));
        if (icon == nullptr) RaiseSystemError(kTrayIconNotLoaded, nullptr);
        if (!g_trayWnd.AddIcon(icon)) RaiseSystemError(kTrayIconNotAdded, nullptr);

        // The program stays resident in the tray after the console closes.
        if (!trayOnly) g_trayWnd.OpenConsole();
    } catch (const std::exception& error) {
        ShowError(FormatResString(IDS_START_FAILED, error.what()));
        return false;
    }
    TRACE(20, "CTidewhistleApp::RunGUI - done");
    return true;
}

bool CTidewhistleApp::RunCmdLine()
{
    TRACE(20, "CTidewhistleApp::RunCmdLine");
    // The task and preview roles' exit status tells whether the task ran
    // to its end: 0 when it did, 1 when it could not.
    if (m_argc - 1 == 1) {
        const bool ran = RunTask(m_argv[1], false);
        m_exitCode = ran ? 0 : 1;
        return ran;
    }
    if (IsPreviewRole()) {
        m_exitCode = RunTask(m_argv[2], true) ? 0 : 1;
        return false;
    }

    TRACE(40, "RunCmdLine: Wrong number of agruments");  // the documented text, slip included
    ShowError(LoadResString(IDS_USAGE));
    return false;
}

bool CTidewhistleApp::RunTask(const std::string& taskName, bool preview)
{
    // Only a person types a name that is not a plain file name (the
    // scheduler and the console refuse to start one): tell them.
    std::string refused;
    const std::optional<CTaskName> checked = CTaskName::Check(taskName, nullptr, &refused);
    if (!checked) {
        TRACE(40, "Task execution failed - %s", refused.c_str());
        ShowError(refused);
        return false;
    }
    try {
        CTaskRuntime runtime(*checked, m_catalogue, preview);
        runtime.Run();
        if (!runtime.Completed()) return false;
    } catch (const std::exception& error) {
        TRACE(40, "Task execution failed - %s", error.what());
        return false;
    }
    TRACE(20, "CTidewhistleApp::RunTask - done");
    return true;
}

void CTidewhistleApp::ExitInstance()
{
    g_trayWnd.RemoveIcon();
    StopScheduler();
    m_instanceGuard.StopWatcher();
}

std::vector<std::string> CTidewhistleApp::StopScheduler()
{
    std::vector<std::string> shutdownTasks;
    if (!m_scheduler) return shutdownTasks;
    try {
        m_scheduler->Stop();  // the thread starts the shutdown tasks before it ends
        shutdownTasks = m_scheduler->ShutdownTasks();
    } catch (const std::exception& error) {
        TRACE(40, "%s", error.what());
    }
    m_scheduler.reset();
    return shutdownTasks;
}

// Windows is ending the session: the shutdown tasks are started and run to
// their end (within a bound) before the answer, with a reason that Windows
// shows the user meanwhile; the process may be ended right after.
void CTidewhistleApp::EndSession()
{
    TRACE(20, "CTidewhistleApp::EndSession");
    const HWND window = g_trayWnd.GetHwnd();
    ::ShutdownBlockReasonCreate(window, L"Tidewhistle is running its shutdown cleanup tasks.");
    const std::vector<std::string> tasks = StopScheduler();
    const DWORD start = ::GetTickCount();
    for (const std::string& task : tasks) {
        while (IsTaskRunning(task) && ::GetTickCount() - start < kSessionEndTaskWaitMs) ::Sleep(200);
        if (IsTaskRunning(task)) TRACE(40, "EndSession: shutdown task still running - %s", task.c_str());
    }
    ::ShutdownBlockReasonDestroy(window);
    g_trayWnd.RemoveIcon();
    TRACE(20, "CTidewhistleApp::EndSession - done");
}
