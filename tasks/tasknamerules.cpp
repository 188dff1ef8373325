#include "tasks/tasknamerules.h"

#include "common/pathtext.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/strparse.h"
#include "tasks/taskname.h"

namespace {

bool IsEnglishLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string TaskNameError(const std::string& name, const std::vector<std::string>& existingNames)
{
    if (name.empty()) return LoadResString(IDS_NEW_TASK_NAME_EMPTY);
    if (!IsEnglishLetter(name.front())) return LoadResString(IDS_NEW_TASK_NAME_FIRST_LETTER);
    if (ToUpperAscii(name) == ToUpperAscii(kDefaultTaskName)) return LoadResString(IDS_NEW_TASK_NAME_RESERVED);
    if (HasForbiddenNameCharacter(name)) return LoadResString(IDS_NEW_TASK_NAME_CHARACTER);
    if (name.back() == ' ' || name.back() == '.') return LoadResString(IDS_NEW_TASK_NAME_ENDING);
    const std::string device = ReservedDeviceName(name);
    if (!device.empty()) return FormatResString(IDS_NEW_TASK_NAME_DEVICE, device.c_str());
    for (const std::string& existing : existingNames) {
        if (SamePath(name, existing)) return FormatResString(IDS_NEW_TASK_NAME_EXISTS, existing.c_str());
    }
    return std::string();
}
