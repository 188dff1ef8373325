#pragma once
// The base of every job of the plug-in. Job code reports failures by raising
// a standard exception whose message is the user-visible text; Init and Run
// turn it into the result 0x80000000 and the job's error text.
#include "common/cleanupcounts.h"
#include "jobapi/jobapi.h"

#include <map>
#include <string>

// What the engines tell a job about one thing they removed, or in a preview
// would remove.
enum class Removed { File, Folder, RegistryValue, RegistryKey, CacheEntry, Cookie, Row, Operation };
enum class NotRemoved { LeftForRestart, Skipped, Failed };

// Whether a job knows the program's run modes. A job that does tells the
// program so in Init (a kEventRunModeAccepted event), honours a preview, and,
// when Counted, reports what it removed after its run. Jobs that do not (a
// plug-in built before run modes) behave as they always did; the program
// does not run them in a preview.
enum class RunModeSupport { None, Silent, Counted };

class CCleanupItem : public IJob {
public:
    explicit CCleanupItem(RunModeSupport support = RunModeSupport::None) : m_support(support) {}

    int GetErrorText(char* buffer, int size) override;
    int Init(ITaskInfo* taskInfo, const char* config, IEventSink* events) override;
    int Run() override;
    int Stop() override;
    void Release() override;

    virtual ~CCleanupItem() = default;

    // Write an event; a failing sink raises, which ends the job's run. The
    // deletion engines report through these on behalf of their job.
    void LogError(const std::string& text);
    void LogWarning(const std::string& text);
    void LogInfo(const std::string& text);
    // Records that may come in numbers (one for every file, every name of a
    // list): the first kReportedOfAKind of each kind are written, the rest
    // only counted, and one record at the end of the job says how many of
    // which kind were left out. kind names what they are about, in the
    // plural ("files that could not be deleted").
    static constexpr int kReportedOfAKind = 20;
    void LogWarningOf(const char* kind, const std::string& text);
    void LogInfoOf(const char* kind, const std::string& text);

    // True in a preview: nothing may be deleted, moved, scheduled or changed.
    // The engines test it at the point where they would change something.
    bool IsPreview() const { return m_preview; }
    // Counts one thing removed (in a preview: that would be removed); in a
    // preview it is also reported, with its size, for the preview report.
    // identity tells one thing from another where its name cannot (the
    // file a name reaches, a database row); the name itself by default. A
    // preview counts each thing once, however many jobs select it.
    void CountRemoved(Removed what, const std::string& name, long long bytes = 0, long long count = 1,
                      const std::string& identity = std::string());
    void CountNotRemoved(NotRemoved why, long long count = 1);
    const CleanupCounts& Counts() const { return m_counts; }

protected:
    virtual void LoadSettings() = 0;
    virtual void DoRun() = 0;

    const std::string& GetConfig() const { return m_config; }
    // The task's text for key; raises "Task configuration error. ..." when
    // the task information cannot be read.
    std::string GetTaskExtendedData(const GUID& key);

private:
    void LogEvent(const std::string& text, int type);
    // Runs work, turning any exception into the error text and a failure:
    // nothing may cross into the program's module.
    template <typename Work>
    int Guarded(Work work);

    void ReportResults();
    void LogOf(const char* kind, const std::string& text, int type);
    // How many records of each kind were left out, and their type.
    void ReportLeftOut();

    std::string m_errorText;
    std::string m_config;
    bool m_stopRequested = false;
    IEventSink* m_events = nullptr;   // not owned
    ITaskInfo* m_taskInfo = nullptr;  // not owned
    RunModeSupport m_support;
    bool m_programTakesResults = false;
    bool m_preview = false;
    CleanupCounts m_counts;
    struct KindTally {
        int type = 0;
        long long written = 0;
        long long leftOut = 0;
    };
    std::map<std::string, KindTally> m_kinds;
};
