#include "fake_task_info.h"

#include "common/guid.h"

#include <cstring>

int FakeTaskInfo::GetExtendedData(const GUID* key, char** buffer, int* size)
{
    ++requests;
    if (failing || key == nullptr || buffer == nullptr || size == nullptr) return kJobFailure;
    const auto found = values.find(GuidToString(*key));
    const std::string text = found == values.end() ? std::string() : found->second;
    *buffer = new char[text.size() + 1];
    std::memcpy(*buffer, text.c_str(), text.size() + 1);
    *size = static_cast<int>(text.size() + 1);
    ++outstanding;
    return kJobSuccess;
}

int FakeTaskInfo::FreeBuffer(char* buffer)
{
    if (buffer == nullptr) return kJobFailure;
    delete[] buffer;
    --outstanding;
    return kJobSuccess;
}

void FakeTaskInfo::Set(const GUID& key, const std::string& value)
{
    values[GuidToString(key)] = value;
}
