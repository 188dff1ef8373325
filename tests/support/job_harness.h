#pragma once
// Runs the plug-in's engines and jobs inside a test: a job whose events are
// recorded instead of written to a session data file.
#include "jobapi/jobapi.h"
#include "plugin/jobs/cleanupitem.h"

#include <map>
#include <string>
#include <vector>

struct RecordedEvent {
    int type;
    std::string text;
    bool operator==(const RecordedEvent& other) const { return type == other.type && text == other.text; }
};

class RecordingSink : public IEventSink {
public:
    int GetErrorText(char* buffer, int size) override;
    int LogEvent(const char* text, int type) override;
    std::vector<RecordedEvent> events;
};

class MapTaskInfo : public ITaskInfo {
public:
    int GetErrorText(char*, int) override { return kJobFailure; }
    int GetExtendedData(const GUID* key, char** buffer, int* size) override;
    int FreeBuffer(char* buffer) override;
    std::map<std::string, std::string> values;  // GUID text -> value
};

// A job that only carries the sink, for calling the engines directly.
class EventOnlyJob : public CCleanupItem {
public:
    EventOnlyJob() { Init(&info, "", &sink); }
    RecordingSink sink;
    MapTaskInfo info;

protected:
    void LoadSettings() override {}
    void DoRun() override {}
};
