#pragma once
// The program's side of the job interface: the host objects a job receives.
#include "jobapi/jobapi.h"

#include <string>

class CTaskConfig;
class CSessionLogWrite;

// The running task's extended data, handed out as copies in the program's heap.
class CJobTaskInfo : public ITaskInfo {
public:
    explicit CJobTaskInfo(const CTaskConfig& task) : m_task(task) {}
    int GetErrorText(char* buffer, int size) override;
    int GetExtendedData(const GUID* key, char** buffer, int* size) override;
    int FreeBuffer(char* buffer) override;

private:
    const CTaskConfig& m_task;
};

// Appends the job's events to the session data file.
class CJobEventSink : public IEventSink {
public:
    explicit CJobEventSink(CSessionLogWrite& log) : m_log(log) {}
    int GetErrorText(char* buffer, int size) override;
    int LogEvent(const char* text, int type) override;

private:
    CSessionLogWrite& m_log;
    std::string m_errorText;
};
