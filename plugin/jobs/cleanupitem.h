#pragma once
// The base of every job of the plug-in. Job code reports failures by raising
// a standard exception whose message is the user-visible text; Init and Run
// turn it into the result 0x80000000 and the job's error text.
#include "common/cleanupcounts.h"
#include "common/codecs.h"
#include "jobapi/jobapi.h"
#include "plugin/engines/cleanupreport.h"

#include <map>
#include <string>

// Whether a job knows the program's run modes. A job that does tells the
// program so in Init (a kEventRunModeAccepted event), honours a preview, and,
// when Counted, reports what it removed after its run. Jobs that do not (a
// plug-in built before run modes) behave as they always did; the program
// does not run them in a preview.
enum class RunModeSupport { None, Silent, Counted };

// A job settings file: a plain file name beside the program (the running
// program file, not this module), never a path that could lead elsewhere.
// Raises CError("settings file name refused: <name>") for anything else.
std::string SettingsFilePath(const std::string& name);

class CCleanupItem : public IJob, public ICleanupReport {
public:
    explicit CCleanupItem(RunModeSupport support = RunModeSupport::None) : m_support(support) {}

    int GetErrorText(char* buffer, int size) override;
    int Init(ITaskInfo* taskInfo, const char* config, IEventSink* events) override;
    int Run() override;
    int Stop() override;
    void Release() override;

    virtual ~CCleanupItem() = default;

    // Each record is an event of the task; a failing sink raises, which
    // ends the job's run. Records of a kind: the first kReportedOfAKind of
    // each kind are written, the rest only counted, and one record at the
    // end of the job says how many of which kind were left out.
    static constexpr int kReportedOfAKind = 20;
    void LogError(const std::string& text) override;
    void LogWarning(const std::string& text) override;
    void LogInfo(const std::string& text) override;
    void LogWarningOf(const char* kind, const std::string& text) override;
    void LogInfoOf(const char* kind, const std::string& text) override;

    bool IsPreview() const override { return m_preview; }
    // In a preview each thing is also reported, with its size, for the
    // preview report, and counted once however many jobs select it.
    void CountRemoved(Removed what, const std::string& name, long long bytes = 0, long long count = 1,
                      const std::string& identity = std::string()) override;
    void CountNotRemoved(NotRemoved why, long long count = 1) override;
    const CleanupCounts& Counts() const { return m_counts; }

    // What the job cleans is not on this system (Wine lacks it, or this
    // edition of Windows): the run says so instead of that the job finished.
    // what names it, as in "Windows Error Reporting".
    void ReportNotPresent(const std::string& what) { m_absentPart = what; }

protected:
    virtual void LoadSettings() = 0;
    virtual void DoRun() = 0;

    const std::string& GetConfig() const { return m_config; }
    // The item's job settings file, which its configuration text names;
    // raises "Job configuration is invalid (settings file name refused: ...)"
    // when the text is not a plain file name.
    std::string SettingsFile() const;
    // The task's text for key; raises "Task configuration error. ..." when
    // the task information cannot be read.
    std::string GetTaskExtendedData(const GUID& key);
    // The task's cookie keep list; raises "The list of cookies to keep
    // cannot be read ..." when its text is damaged.
    StringList TaskCookieKeepList();

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
    std::string m_absentPart;  // set by ReportNotPresent
    struct KindTally {
        int type = 0;
        long long written = 0;
        long long leftOut = 0;
    };
    std::map<std::string, KindTally> m_kinds;
};
