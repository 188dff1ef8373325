#include "runtime/taskprocess.h"

#include "common/error.h"
#include "common/namedevent.h"
#include "common/ownfile.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "common/settings.h"
#include "common/strformat.h"
#include "common/stringids.h"
#include "common/tracer.h"
#include "tasks/taskconfig.h"
#include "tasks/taskfiles.h"

namespace {

// Held for the life of the task process and never closed: the system
// deletes the file when the process ends, however it ends.
HANDLE g_taskStatusFile = INVALID_HANDLE_VALUE;

// How long a preview waits for its lock: a clean gives it back at once.
const DWORD kPreviewLockWaitMs = 5000;

}  // namespace

std::string InitDoneEventName(const std::string& taskName, SessionKind kind)
{
    return (kind == SessionKind::Preview ? "Hollowmere_Tidewhistle_Preview_InitDone_Event_"
                                         : "Hollowmere_Tidewhistle_InitDone_Event_") +
           taskName;
}

std::string SessionEventName(const std::string& taskName, SessionKind kind)
{
    return (kind == SessionKind::Preview ? "Hollowmere_Tidewhistle_Preview_Event_"
                                         : "Hollowmere_Tidewhistle_Session_Event_") +
           taskName;
}

std::string PreviewLockName(const std::string& taskName)
{
    return "Hollowmere_Tidewhistle_Preview_Lock_" + taskName;
}

bool IsTaskRunning(const std::string& taskName, SessionKind kind)
{
    UniqueHandle event = OpenNamedEvent(SYNCHRONIZE, SessionEventName(taskName, kind));
    return event.IsValid();
}

namespace {

void StartTaskProcess(const std::string& taskName, const std::string& programPath, SessionKind kind);

}  // namespace

void StartTask(const std::string& taskName)
{
    StartTaskProcess(taskName, GetModulePath(), SessionKind::Clean);
}

void StartTask(const std::string& taskName, const std::string& programPath)
{
    StartTaskProcess(taskName, programPath, SessionKind::Clean);
}

void StartTaskPreview(const std::string& taskName)
{
    StartTaskProcess(taskName, GetModulePath(), SessionKind::Preview);
}

namespace {

void StartTaskProcess(const std::string& taskName, const std::string& programPath, SessionKind kind)
{
    TRACE(20, "StartTask");
    TRACE(20, "name = %s", taskName.c_str());

    // Only a plain file name is a task: a double quote would end the quoted
    // argument early and hand the task process another name, a device name
    // or a path part would make it open something other than a task file.
    // A name too long for its files or events could start no session.
    CTaskName::Refusal refusal = CTaskName::Refusal::None;
    if (!CTaskName::Check(taskName, &refusal)) {
        const int error = refusal == CTaskName::Refusal::TooLong ? ERROR_FILENAME_EXCED_RANGE : ERROR_INVALID_NAME;
        TRACE(40, "Cannot run task: %d", error);
        throw CError(FormatResString(IDS_CANNOT_RUN_TASK, error));
    }

    // A preview neither runs beside a clean of its task nor beside another
    // preview; a clean that finds a preview running waits for it in its own
    // process, so that a due clean is never lost to a preview.
    const bool preview = kind == SessionKind::Preview;
    if (IsTaskRunning(taskName, kind) || (preview && IsTaskRunning(taskName, SessionKind::Clean))) {
        TRACE(20, "task already running, skipping startup");
        return;
    }

    // A failure to create it shows up as a failed wait below; a name another
    // account holds is refused at once.
    NameOutcome outcome = NameOutcome::Failed;
    UniqueHandle initDone = CreateNamedEvent(InitDoneEventName(taskName, kind), true, false, &outcome);
    if (outcome == NameOutcome::HeldByAnother) {
        TRACE(40, "Cannot run task: %d", static_cast<int>(ERROR_ACCESS_DENIED));
        throw CError(LoadResString(IDS_TASK_NAME_HELD));
    }

    std::string commandLine = preview ? StrFormat("\"%s\" %s \"%s\"", programPath.c_str(), kPreviewSwitch, taskName.c_str())
                                      : StrFormat("\"%s\" \"%s\"", programPath.c_str(), taskName.c_str());
    TRACE(20, "starting process");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        const DWORD error = ::GetLastError();
        const std::string message = FormatResString(IDS_CANNOT_RUN_TASK, static_cast<int>(error));
        TRACE(40, "Cannot run task: %d", static_cast<int>(error));
        throw CError(message);
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);

    TRACE(20, "waiting for process initialization");
    const HANDLE waitFor[2] = {initDone.Get(), process.Get()};
    const DWORD timeoutMs = static_cast<DWORD>(GetTaskStartTimeout()) * 1000;
    const DWORD result = ::WaitForMultipleObjects(2, waitFor, FALSE, timeoutMs);
    if (result == WAIT_OBJECT_0) {
        TRACE(20, "StartTask - done");
        return;
    }
    // The task process ended first, the limit passed, or the wait failed. A
    // started process is not terminated: it runs on by itself.
    const int code = result == WAIT_TIMEOUT ? WAIT_TIMEOUT : static_cast<int>(::GetLastError());
    TRACE(40, "Task init failure: %d", code);
    throw CError(FormatResString(IDS_TASK_INIT_FAILURE, code));
}

}  // namespace

void StopTask(const std::string& taskName, SessionKind kind)
{
    {
        UniqueHandle event = OpenNamedEvent(EVENT_MODIFY_STATE, SessionEventName(taskName, kind));
        if (!event || !::SetEvent(event.Get())) {
            const DWORD error = ::GetLastError();
            const std::string message = FormatResString(IDS_CANNOT_STOP_TASK, static_cast<int>(error));
            TRACE(40, "Cannot stop task: %d", static_cast<int>(error));
            throw CError(message);
        }
    }
    // The time-out is read again at every check, so a changed setting applies at once.
    for (int waited = 0; IsTaskRunning(taskName, kind); ++waited) {
        if (GetTaskStopTimeout() <= waited) break;
        ::Sleep(1000);
    }
    if (IsTaskRunning(taskName, kind)) throw CError(LoadResString(IDS_TASK_STOP_TIMEOUT));
}

CTaskSession::~CTaskSession()
{
    if (m_previewLock) ::ReleaseMutex(m_previewLock.Get());
}

void CTaskSession::StartSession(const std::string& taskName, SessionKind kind)
{
    TRACE(20, "CTaskSession::StartSession");
    m_taskName = taskName;

    const std::string statusPath =
        TaskFiles(taskName).Path(kind == SessionKind::Preview ? TaskFiles::PreviewStatus : TaskFiles::Status);
    // Shared for reading only: a second process of the same task fails here.
    UniqueHandle status = OpenOwnFile(statusPath, GENERIC_WRITE, FILE_SHARE_READ, OwnFileMode::Replace,
                                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE);
    if (!status) RaiseSystemError(kTaskStatusFileNotCreated, "Task status file creation failure - %d");
    g_taskStatusFile = status.Release();
    m_ownsStatusFile = true;

    // Taken before the session event exists: a clean that starts meanwhile
    // either sees the lock and waits, or is seen by the preview, which
    // then does not run.
    if (kind == SessionKind::Preview) {
        NameOutcome outcome = NameOutcome::Failed;
        m_previewLock = CreateNamedMutex(PreviewLockName(taskName), &outcome);
        if (outcome == NameOutcome::HeldByAnother) RefuseHeldName();
        if (!m_previewLock) RaiseSystemError(kSessionEventNotCreated, "Failed to create the preview lock - %d");
        // Taken here: a clean that holds it for a moment, between a preview
        // that ended and its own start, is waited for.
        const DWORD taken = ::WaitForSingleObject(m_previewLock.Get(), kPreviewLockWaitMs);
        if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) {
            m_previewLock.Reset();
            RaiseSystemError(kSessionEventNotCreated, "Failed to take the preview lock - %d",
                             taken == WAIT_TIMEOUT ? WAIT_TIMEOUT : ::GetLastError());
        }
    }

    TRACE(20, "creating stop event");
    NameOutcome outcome = NameOutcome::Failed;
    m_sessionEvent = CreateNamedEvent(SessionEventName(taskName, kind), true, false, &outcome);
    if (outcome == NameOutcome::HeldByAnother) RefuseHeldName();
    if (!m_sessionEvent) RaiseSystemError(kSessionEventNotCreated, "Failed to create session stop event - %d");

    TRACE(20, "opening startup event");
    UniqueHandle initDone = OpenNamedEvent(EVENT_MODIFY_STATE, InitDoneEventName(taskName, kind));
    if (initDone) {
        TRACE(20, "setting startup event");
        ::SetEvent(initDone.Get());
    } else {
        // A task process started by hand has no starter waiting.
        TRACE(40, "cannot set startup event!!");
    }
    TRACE(20, "CTaskSession::StartSession - done");
}

void CTaskSession::RefuseHeldName()
{
    TRACE(40, "Failed to create session stop event - %d", static_cast<int>(ERROR_ACCESS_DENIED));
    throw CError(LoadResString(IDS_TASK_NAME_HELD));
}

bool CTaskSession::IsStopRequested() const
{
    return m_sessionEvent && ::WaitForSingleObject(m_sessionEvent.Get(), 0) == WAIT_OBJECT_0;
}

bool CTaskSession::IsPreviewRunning() const
{
    return OpenNamedMutex(SYNCHRONIZE, PreviewLockName(m_taskName)).IsValid();
}

bool CTaskSession::WaitForPreview() const
{
    UniqueHandle lock = OpenNamedMutex(SYNCHRONIZE, PreviewLockName(m_taskName));
    if (!lock) return true;
    const HANDLE waitFor[2] = {m_sessionEvent.Get(), lock.Get()};
    const DWORD result = ::WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
    // Taken (or left by a preview that ended without letting go): the
    // preview is over. The lock is given back at once.
    if (result == WAIT_OBJECT_0 + 1 || result == WAIT_ABANDONED_0 + 1) {
        ::ReleaseMutex(lock.Get());
        return true;
    }
    return false;
}
