// Task files: the text rules (text mode, lines, keys, times) and the values
// a task file holds (numbers, GUIDs, extended data), taken in the order the
// task reader takes them.
#include "common/codecs.h"
#include "common/error.h"
#include "common/guid.h"
#include "common/strparse.h"
#include "tasks/configtext.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The value of the next line, or false (the reader raises then).
bool Take(const std::string& text, size_t* position, const char* key, std::string* value)
{
    const size_t before = *position;
    const ConfigLine taken = TakeConfigLine(text, position, key, value);
    if (taken == ConfigLine::End) {
        if (*position != before) std::abort();
        return false;
    }
    if (*position <= before || *position > text.size()) std::abort();  // always moves on, never past the end
    if (taken == ConfigLine::BadFormat) return false;
    if (value->find('\n') != std::string::npos) std::abort();
    return true;
}

bool TakeTime(const std::string& text, size_t* position, const char* key)
{
    std::string value;
    LocalTime local;
    return Take(text, position, key, &value) && ParseConfigTime(value, &local);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string text = TaskFileTextOf(std::string(reinterpret_cast<const char*>(data), size));
    if (text.find('\x1A') != std::string::npos) std::abort();

    size_t position = 0;
    std::string value;
    if (!Take(text, &position, "TaskName", &value)) return 0;
    if (!Take(text, &position, "ScheduleEnabled", &value)) return 0;
    if (!TakeTime(text, &position, "BaseScheduleTime") || !TakeTime(text, &position, "RunOnceTime")) return 0;
    for (const char* key : {"RunAtStartup", "RunAtShutdown", "ScheduleType", "RunEveryNumber", "RunEveryUnit"}) {
        if (!Take(text, &position, key, &value)) return 0;
        ParseDecimalPrefix(value);
    }
    if (!Take(text, &position, "ExtendedDataCount", &value)) return 0;
    const int count = ParseDecimalPrefix(value);
    try {
        for (int i = 0; i < count; ++i) {
            if (!Take(text, &position, "ExtendedData_GUID", &value)) return 0;
            StringToGuid(value);
            if (!Take(text, &position, "ExtendedData_Value", &value)) return 0;
            StringList list;
            TryDecodeStringList(value, list);
            bool flag = false;
            int number = 0;
            DecodeFlagAndNumber(value, &flag, &number);
        }
        while (Take(text, &position, "EnabledTask", &value)) {
            if (value == "5D793A96-4BF6-495E-A8AF-299E203194B6") break;
            StringToGuid(value);
        }
    } catch (const CError&) {
        // a malformed GUID: the reader refuses the file with its message
    }
    return 0;
}
