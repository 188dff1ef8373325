#pragma once
// The text rules of task files, apart from reading and writing the file:
// what the C runtime's text mode makes of its bytes, how a line's value is
// taken, and how a time line reads. Pure, so that they can be fuzzed.
#include "common/timeutil.h"

#include <string>

// The bytes of a task file as text mode reads them: CR LF read as LF, and
// the data end at the first Ctrl+Z.
std::string TaskFileTextOf(const std::string& bytes);

enum class ConfigLine {
    Value,      // the line's key matched; value holds everything after the first "="
    End,        // no line is left
    BadFormat,  // no "=", or a key that is not the one asked for
};

// Takes the line at position (moving it past the line). The file's key
// must match key over the file key's own length. A line is read whole,
// however long; its CR and LF are dropped from the value.
ConfigLine TakeConfigLine(const std::string& text, size_t* position, const std::string& key, std::string* value);

// Line format of times: local wall-clock time, fields padded with spaces.
extern const char kConfigTimeFormat[];

// A time as task files write it ("%4d/%2d/%2d %2d:%2d:%2d", local wall
// clock); false when fewer than six fields read. The fields are not checked.
bool ParseConfigTime(const std::string& value, LocalTime* local);
