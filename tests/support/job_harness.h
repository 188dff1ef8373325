#pragma once
// Runs the plug-in's engines inside a test: a job whose events are recorded
// instead of written to a session data file.
#include "plugin/jobs/cleanupitem.h"
#include "support/fake_task_info.h"
#include "support/recording_sink.h"

// A job that only carries the sink, for calling the engines directly.
class EventOnlyJob : public CCleanupItem {
public:
    EventOnlyJob() { Init(&info, "", &sink); }
    RecordingSink sink;
    FakeTaskInfo info;

protected:
    void LoadSettings() override {}
    void DoRun() override {}
};
