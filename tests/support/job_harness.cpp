#include "job_harness.h"

#include "common/guid.h"

#include <cstring>

int RecordingSink::GetErrorText(char* buffer, int size)
{
    if (buffer == nullptr || size <= 0) return kJobFailure;
    buffer[0] = '\0';
    return kJobSuccess;
}

int RecordingSink::LogEvent(const char* text, int type)
{
    events.push_back({type, text});
    return kJobSuccess;
}

int MapTaskInfo::GetExtendedData(const GUID* key, char** buffer, int* size)
{
    const auto found = values.find(GuidToString(*key));
    const std::string text = found == values.end() ? std::string() : found->second;
    *buffer = new char[text.size() + 1];
    std::memcpy(*buffer, text.c_str(), text.size() + 1);
    *size = static_cast<int>(text.size() + 1);
    return kJobSuccess;
}

int MapTaskInfo::FreeBuffer(char* buffer)
{
    delete[] buffer;
    return kJobSuccess;
}
