#include "recording_sink.h"

#include <cstring>

void PrintTo(const RecordedEvent& event, std::ostream* out)
{
    *out << event.type << ":" << event.text;
}

int RecordingSink::GetErrorText(char* buffer, int size)
{
    if (buffer == nullptr || size <= 0) return kJobFailure;
    const char* message = failing ? "sink is broken" : "";
    std::strncpy(buffer, message, static_cast<size_t>(size) - 1);
    buffer[size - 1] = '\0';
    return kJobSuccess;
}

int RecordingSink::LogEvent(const char* text, int type)
{
    events.push_back({type, text});
    return failing ? kJobFailure : kJobSuccess;
}
