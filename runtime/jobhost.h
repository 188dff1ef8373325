#pragma once
// The program's side of the job interface: the host objects a job receives.
#include "common/cleanupcounts.h"
#include "jobapi/jobapi.h"

#include <string>

class CTaskConfig;
class CSessionLogWrite;
class CPreviewReport;

// The running task's extended data, handed out as copies in the program's
// heap, and the run mode (kRunModeKey), which no task file holds.
class CJobTaskInfo : public ITaskInfo {
public:
    explicit CJobTaskInfo(const CTaskConfig& task, bool preview = false) : m_task(task), m_preview(preview) {}
    int GetErrorText(char* buffer, int size) override;
    int GetExtendedData(const GUID* key, char** buffer, int* size) override;
    int FreeBuffer(char* buffer) override;

private:
    const CTaskConfig& m_task;
    bool m_preview;
};

// Appends the job's events to the session data file. A job's counts become
// one Information record in words and are added to the run's totals; a
// preview's entries go to the preview report (report may be null).
class CJobEventSink : public IEventSink {
public:
    explicit CJobEventSink(CSessionLogWrite& log, bool preview = false, CPreviewReport* report = nullptr)
        : m_log(log), m_preview(preview), m_report(report)
    {
    }
    int GetErrorText(char* buffer, int size) override;
    int LogEvent(const char* text, int type) override;

    // Before each job: it has not yet said that it honours the run mode nor
    // reported results.
    void StartJob()
    {
        m_modeAccepted = false;
        m_resultsTaken = false;
        m_jobFailures = 0;
        m_absentPart.clear();
    }
    bool ModeAccepted() const { return m_modeAccepted; }
    // What the current job said is not on this system; empty when it cleaned.
    const std::string& AbsentPart() const { return m_absentPart; }
    // A job that needs rights the run lacks: not cleaned, and counted so.
    void CountJobNotCleaned() { ++m_totals.notCleaned; }
    // A ticked item the catalogue no longer offers.
    void CountItemNotOffered() { ++m_totals.notOffered; }
    // A job a preview did not run: what it would remove is unknown.
    void CountJobNotPreviewed() { ++m_totals.skipped; }
    // A job that ended in failure: one failure in the totals, unless the
    // counts it reported already hold its failures.
    void CountJobFailed()
    {
        if (m_jobFailures == 0) ++m_totals.failed;
    }
    const CleanupCounts& Totals() const { return m_totals; }

private:
    CSessionLogWrite& m_log;
    bool m_preview;
    CPreviewReport* m_report;
    bool m_modeAccepted = false;
    bool m_resultsTaken = false;
    long long m_jobFailures = 0;  // the failures the current job reported
    std::string m_absentPart;
    CleanupCounts m_totals;
    std::string m_errorText;
};
