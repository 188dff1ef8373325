#include "ui/tasknamerules.h"

#include "common/pathtext.h"
#include "common/strparse.h"

namespace {

bool IsEnglishLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string TaskNameError(const std::string& name, const std::vector<std::string>& existingNames)
{
    if (name.empty()) return "Please supply task name";
    if (!IsEnglishLetter(name.front())) {
        return "Task name must begin with English alphabetic character. Please choose another name.";
    }
    if (ToUpperAscii(name) == "DEFAULT") return "'Default' task name is reserved. Please choose another name.";

    if (HasForbiddenNameCharacter(name)) {
        return "Task name must not contain any of the characters \\ / : * ? \" < > | or control characters. "
               "Please choose another name.";
    }
    if (name.back() == ' ' || name.back() == '.') {
        return "Task name must not end with a space or a dot. Please choose another name.";
    }
    const std::string device = ReservedDeviceName(name);
    if (!device.empty()) {
        return "'" + device + "' is the name of a Windows device and cannot be used as a task name, with or "
               "without an extension. Please choose another name.";
    }
    for (const std::string& existing : existingNames) {
        if (SamePath(name, existing)) {
            return "A task named '" + existing + "' already exists. Please choose another name.";
        }
    }
    return std::string();
}
