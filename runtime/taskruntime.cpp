#include "runtime/taskruntime.h"

#include "common/adminrights.h"
#include "common/cleanupcounts.h"
#include "common/error.h"
#include "common/guid.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "common/settings.h"
#include "common/stringids.h"
#include "common/tracer.h"
#include "jobapi/jobapi.h"
#include "runtime/jobhost.h"
#include "runtime/moduleload.h"
#include "runtime/previewreport.h"
#include "tasks/taskfiles.h"

#include <exception>

namespace {

// The job being worked on; released on every path, before its module can go.
class JobHolder {
public:
    ~JobHolder() { Release(); }
    IJob** Receive() { return &m_job; }
    IJob* Get() const { return m_job; }
    void Release()
    {
        if (m_job == nullptr) return;
        TRACE(20, "releasing job...");
        m_job->Release();
        m_job = nullptr;
    }

private:
    IJob* m_job = nullptr;
};

std::string JobErrorText(IJob* job)
{
    char text[1024] = {};
    if (job->GetErrorText(text, sizeof text) != kJobSuccess) return "(unknown error)";
    return text;
}

}  // namespace

CTaskRuntime::CTaskRuntime(const CTaskName& taskName, const CCatalogue& catalogue, bool preview)
    : m_catalogue(catalogue), m_preview(preview)
{
    m_task.LoadNamed(taskName);
}

void CTaskRuntime::Run()
{
    TRACE(20, "CTaskRuntime::Run");
    TRACE(20, "Task name - %s", m_task.Name.c_str());
    const SessionKind kind = m_preview ? SessionKind::Preview : SessionKind::Clean;
    try {
        TRACE(20, "staring session");
        m_session.StartSession(m_task.Name, kind);
    } catch (const std::exception& error) {
        TRACE(40, "Error in task execution - %s", error.what());
        // Another process of this session holds its files: they are its own.
        if (m_session.OwnsStatusFile()) RecordFailureToStart(error.what());
        TRACE(20, "CTaskRuntime::Run - done");
        return;
    }
    try {
        TRACE(20, "creating log");
        m_log.Create(m_task.Name, kind);
        // Under the policy that locks tasks, only what an administrator placed runs.
        if (GetTasksLocked() && !m_task.IsMachineTask()) {
            TRACE(20, "the task is not an administrator's and tasks are locked by policy");
            m_log.Write(LoadResString(IDS_TASK_NOT_ADMINS), kEventError);
            return;
        }
        if (m_preview ? !MayPreview() : !MayClean()) return;

        // A clean makes the last preview's report stale: it goes.
        CPreviewReport report;
        if (m_preview) report.Create(m_task.Name);
        else TaskFiles(m_task.Name).Delete(TaskFiles::PreviewReport);
        CJobEventSink events(m_log, m_preview, m_preview ? &report : nullptr);
        CJobTaskInfo taskInfo(m_task, m_preview);
        TRACE(20, "loading job list");
        m_log.Write(LoadResString(IDS_LOADING_JOB_LIST), kEventInformation);
        GuidList items;
        m_catalogue.Items().GetAllItems(items);
        bool ranItems = false;
        m_log.Write(LoadResString(IDS_STARTING_CLEANUP_JOBS), kEventInformation);

        bool stopped = false;
        for (const GUID& item : items) {
            // A stop request is honoured between items; a running job finishes.
            if (m_session.IsStopRequested()) {
                stopped = true;
                break;
            }
            TRACE(20, "job: {%s}", GuidToString(item).c_str());
            if (!m_task.IsItemEnabled(item)) continue;

            RunItem(item, taskInfo, events);
            ranItems = true;
        }
        if (!stopped && ReportItemsNoLongerOffered(events)) ranItems = true;

        // A run without items has nothing to add up.
        if (ranItems) {
            const int totals = m_preview ? IDS_PREVIEW_TOTALS : IDS_RUN_TOTALS;
            const size_t room = 199 - FormatResString(totals, "").size();
            m_log.Write(FormatResString(totals, DescribeCleanupCounts(events.Totals(), m_preview, room).c_str()),
                        kEventInformation);
        }
        m_log.WriteFinished();
        m_completed = true;
    } catch (const std::exception& error) {
        TRACE(40, "Error in task execution - %s", error.what());
    }
    TRACE(20, "CTaskRuntime::Run - done");
}

// A ticked item the catalogue no longer holds (a rules entry whose file
// changed since the task was saved: removed, now refused, or not for this
// system) would otherwise be left out without a word: each gets a Warning
// and is counted in the totals. True when there was any.
bool CTaskRuntime::ReportItemsNoLongerOffered(CJobEventSink& events)
{
    bool any = false;
    for (const GUID& item : m_task.EnabledItems()) {
        if (m_catalogue.Items().FindItem(item) != nullptr) continue;
        TRACE(20, "ticked item {%s} is not in the catalogue", GuidToString(item).c_str());
        m_log.Write(FormatResString(IDS_ITEM_NO_LONGER_OFFERED, GuidToString(item).c_str()), kEventWarning);
        events.CountItemNotOffered();
        any = true;
    }
    return any;
}

// A run that could not start its session says so in its session data file,
// where the console shows it; the process then ends with a failure.
void CTaskRuntime::RecordFailureToStart(const std::string& reason)
{
    try {
        m_log.Create(m_task.Name, m_preview ? SessionKind::Preview : SessionKind::Clean);
        m_log.Write(FormatResString(IDS_TASK_NOT_RUN, reason.c_str()), kEventError);
    } catch (const std::exception& error) {
        TRACE(40, "Error in task execution - %s", error.what());
    }
}

// A clean waits for a preview of its task to end: the preview holds the
// browsers' databases open, which the clean would take for a running
// browser. False when a stop request came first (the run then ends as a
// stopped run does).
bool CTaskRuntime::MayClean()
{
    if (!m_session.IsPreviewRunning()) return true;
    m_log.Write(LoadResString(IDS_CLEAN_WAITS_FOR_PREVIEW), kEventInformation);
    if (m_session.WaitForPreview()) return true;
    m_log.WriteFinished();
    m_completed = true;
    return false;
}

// A preview does not run beside a clean of its task: it would show what the
// clean is removing, and hold what the clean needs.
bool CTaskRuntime::MayPreview()
{
    if (!IsTaskRunning(m_task.Name, SessionKind::Clean)) return true;
    m_log.Write(LoadResString(IDS_PREVIEW_CLEAN_RUNS), kEventWarning);
    m_log.WriteFinished();  // the preview's session ends here, not run
    return false;
}

// One enabled item: load its module, create, initialise and run its job. A
// failure ends this item only; it is reported as an Error event.
void CTaskRuntime::RunItem(const GUID& item, ITaskInfo& taskInfo, CJobEventSink& events)
{
    JobHolder job;
    events.StartJob();
    try {
        TRACE(20, "enabled");
        const CCatalogueItem& info = *m_catalogue.Items().FindItem(item);
        TRACE(20, "dumping job info");
        m_catalogue.Items().TraceItem(info, 20);

        TRACE(20, "logging job startup event...");
        m_log.Write(FormatResString(IDS_STARTING_JOB, info.name.c_str()), kEventInformation);

        // Without the rights the job would fail on the way or, worse, clean
        // part of what it names: it does not start, and says why once.
        if (info.needsAdministrator && !RunsAsAdministrator()) {
            TRACE(20, "job needs administrator rights");
            m_log.Write(FormatResString(IDS_JOB_NEEDS_ADMINISTRATOR, info.name.c_str()), kEventWarning);
            events.CountJobNotCleaned();
            return;
        }

        TRACE(20, "loading job module...");
        const HMODULE module = LoadTaskModule(info.moduleName);

        TRACE(20, "getting entry point...");
        const auto createJob = reinterpret_cast<TWCreateJobFunction>(
            reinterpret_cast<void*>(::GetProcAddress(module, kCreateJobExportName)));
        if (createJob == nullptr) {
            const DWORD error = ::GetLastError();
            TRACE(40, "entry point not found - %d", static_cast<int>(error));
            throw CError(FormatResString(IDS_INVALID_TASK_INFORMATION, static_cast<int>(error)));
        }

        TRACE(20, "creating instance...");
        int result = createJob(&info.clsid, job.Receive());
        if (result != kJobSuccess) {
            TRACE(40, "job creation failure - %d", result);
            throw CError(FormatResString(IDS_CANNOT_CREATE_JOB, result));
        }

        TRACE(20, "initing job...");
        result = job.Get()->Init(&taskInfo, info.config.c_str(), &events);
        if (result != kJobSuccess) {
            TRACE(40, "job init failure - %d", result);
            throw CError(FormatResString(IDS_JOB_INIT_FAILURE, result, JobErrorText(job.Get()).c_str()));
        }

        // A job that did not say it honours a preview might delete: it does
        // not run in one.
        if (m_preview && !events.ModeAccepted()) {
            TRACE(20, "job cannot preview");
            m_log.Write(FormatResString(IDS_JOB_CANNOT_PREVIEW, info.name.c_str()), kEventWarning);
            events.CountJobNotPreviewed();
            return;
        }

        TRACE(20, "running job...");
        result = job.Get()->Run();
        if (result != kJobSuccess) {
            TRACE(40, "job run failure - %d", result);
            throw CError(FormatResString(IDS_JOB_RUN_FAILURE, result, JobErrorText(job.Get()).c_str()));
        }

        TRACE(20, "logging job stop event...");
        if (!events.AbsentPart().empty()) {
            m_log.Write(FormatResString(IDS_JOB_NOT_PRESENT, info.name.c_str(), events.AbsentPart().c_str()),
                        kEventInformation);
        } else {
            m_log.Write(FormatResString(IDS_JOB_FINISHED, info.name.c_str()), kEventInformation);
        }
    } catch (const std::exception& failure) {
        // A job that could not start, or failed, is in the totals as a failure.
        events.CountJobFailed();
        m_log.Write(FormatResString(IDS_JOB_EXECUTION_FAILURE, failure.what()), kEventError);
    }
}

HMODULE CTaskRuntime::LoadTaskModule(const std::string& moduleName)
{
    // Consecutive items of one module share one load.
    if (m_module && m_moduleName == moduleName) return m_module.Get();

    m_module.Reset();
    m_moduleName.clear();
    m_module = LoadModuleBesideProgram(moduleName);
    m_moduleName = moduleName;
    return m_module.Get();
}
