#pragma once
// The base of every job of the plug-in. Job code reports failures by raising
// a standard exception whose message is the user-visible text; Init and Run
// turn it into the result 0x80000000 and the job's error text.
#include "jobapi/jobapi.h"

#include <string>

class CCleanupItem : public IJob {
public:
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

    std::string m_errorText;
    std::string m_config;
    bool m_stopRequested = false;
    IEventSink* m_events = nullptr;   // not owned
    ITaskInfo* m_taskInfo = nullptr;  // not owned
};
