// A plug-in module for tests: jobs that fail, report, wait or count, behind
// the same export and interfaces as Sweepkit.dll.
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "jobapi/jobapi.h"
#include "plugin/jobs/cleanupitem.h"

#include <windows.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

// Jobs created since this module was loaded: tells whether the program
// kept the module loaded between items.
int g_jobsCreated = 0;

class FailInitJob : public CCleanupItem {
protected:
    void LoadSettings() override { throw std::runtime_error("test settings are invalid"); }
    void DoRun() override {}
};

class FailRunJob : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override { throw std::runtime_error("test run failed"); }
};

class ReportJob : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override
    {
        LogWarning("warning from job");
        LogError("error from job");
        LogInfo("config=" + GetConfig());
        LogInfo("age=" + GetTaskExtendedData(kTempFilesAgeKey));
        LogInfo(std::string(250, 'L'));
    }
};

// Waits for as many milliseconds as its configuration text says.
class WaitJob : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override { ::Sleep(static_cast<DWORD>(std::atoi(GetConfig().c_str()))); }
};

// Waits, at most a minute, until the named event its configuration text
// names is set; it knows the run modes, so a preview runs it too.
class HeldJob : public CCleanupItem {
public:
    HeldJob() : CCleanupItem(RunModeSupport::Counted) {}

protected:
    void LoadSettings() override {}
    void DoRun() override
    {
        HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, GetConfig().c_str());
        ::WaitForSingleObject(release, 60000);
        ::CloseHandle(release);
    }
};

// Writes as many warnings of one kind as its configuration text says.
class FloodJob : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override
    {
        for (int i = std::atoi(GetConfig().c_str()); i > 0; --i) LogWarningOf("test warnings", "warning " + std::to_string(i));
    }
};

class CountJob : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override { LogInfo("jobs created since load: " + std::to_string(g_jobsCreated)); }
};

class ThrowOtherJob : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override { throw 42; }
};

template <typename Job>
IJob* Create()
{
    ++g_jobsCreated;
    return new Job();
}

struct Row {
    const char* classId;
    IJob* (*create)();
};

const Row kRows[] = {
    {"7E570000-0000-4000-8000-000000000001", &Create<FailInitJob>},
    {"7E570000-0000-4000-8000-000000000002", &Create<FailRunJob>},
    {"7E570000-0000-4000-8000-000000000003", &Create<ReportJob>},
    {"7E570000-0000-4000-8000-000000000004", &Create<WaitJob>},
    {"7E570000-0000-4000-8000-000000000005", &Create<CountJob>},
    {"7E570000-0000-4000-8000-000000000006", &Create<ThrowOtherJob>},
    {"7E570000-0000-4000-8000-000000000007", &Create<HeldJob>},
    {"7E570000-0000-4000-8000-000000000008", &Create<FloodJob>},
};

}  // namespace

extern "C" __declspec(dllexport) int TWCreateJob(const GUID* classId, IJob** job)
{
    for (const Row& row : kRows) {
        if (SameGuid(StringToGuid(row.classId), *classId)) {
            *job = row.create();
            return kJobSuccess;
        }
    }
    return kJobFailure;
}
