#pragma once
// The task's extended data as the program hands it to a job: a copy of each
// value in a buffer that the job gives back, keys without a value read as
// empty text. A failing task refuses every read, as one whose data cannot
// be read does. The counts show whether a job asked and gave every buffer back.
#include "jobapi/jobapi.h"

#include <map>
#include <string>

class FakeTaskInfo : public ITaskInfo {
public:
    int GetErrorText(char*, int) override { return kJobFailure; }
    int GetExtendedData(const GUID* key, char** buffer, int* size) override;
    int FreeBuffer(char* buffer) override;

    void Set(const GUID& key, const std::string& value);

    std::map<std::string, std::string> values;  // GUID text -> value
    bool failing = false;
    int requests = 0;     // reads the job asked for
    int outstanding = 0;  // buffers handed out and not yet given back
};
