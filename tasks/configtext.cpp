#include "tasks/configtext.h"

#include <cstdio>

const char kConfigTimeFormat[] = "%4d/%2d/%2d %2d:%2d:%2d";

std::string TaskFileTextOf(const std::string& bytes)
{
    const std::string data = bytes.substr(0, bytes.find('\x1A'));
    std::string text;
    text.reserve(data.size());
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') continue;
        text.push_back(data[i]);
    }
    return text;
}

ConfigLine TakeConfigLine(const std::string& text, size_t* position, const std::string& key, std::string* value)
{
    if (*position >= text.size()) return ConfigLine::End;
    const size_t end = text.find('\n', *position);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(*position, next - *position);
    *position = next;
    const size_t equals = line.find('=');
    // The comparison runs over the length of the file's key.
    if (equals == std::string::npos || key.compare(0, equals, line, 0, equals) != 0) return ConfigLine::BadFormat;
    *value = line.substr(equals + 1);
    while (!value->empty() && (value->back() == '\r' || value->back() == '\n')) value->pop_back();
    return ConfigLine::Value;
}

bool ParseConfigTime(const std::string& value, LocalTime* local)
{
    return std::sscanf(value.c_str(), kConfigTimeFormat, &local->year, &local->month, &local->day, &local->hour,
                       &local->minute, &local->second) == 6;
}
