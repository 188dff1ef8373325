#include "tasks/taskname.h"

#include "common/error.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/strparse.h"
#include "tasks/taskfiles.h"

#include <windows.h>

namespace {

// A long name is quoted by its start: the message stays one a box can show.
std::string QuotedStart(const std::string& name)
{
    const size_t shown = 40;
    if (name.size() <= shown) return name;
    size_t cut = shown;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // whole characters
    return name.substr(0, cut) + "...";
}

bool IsEnglishLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string TaskNameLengthError(const std::string& name, size_t folderLength)
{
    const size_t length = Utf16Length(name);
    if (length > kMaxTaskNameLength) {
        return FormatResString(IDS_TASK_NAME_TOO_LONG, QuotedStart(name).c_str(), static_cast<int>(kMaxTaskNameLength));
    }
    // The folder, a separator, the name and the longest suffix: within the
    // system's path length (MAX_PATH less its terminator).
    if (folderLength + 1 + length + TaskFiles::kLongestAddition > MAX_PATH - 1) {
        return FormatResString(IDS_TASK_NAME_TOO_LONG_FOR_FOLDER, QuotedStart(name).c_str(), GetDataFolder().c_str());
    }
    return std::string();
}

std::optional<CTaskName> CTaskName::Check(const std::string& name, Refusal* why, std::string* message)
{
    // "COM1" would open a device and block for good, "..\\x" would reach
    // outside the data folder, a double quote would end a quoted argument.
    const bool plain = IsTrustworthyName(name);
    const std::string text = plain ? TaskNameLengthError(name, Utf16Length(GetDataFolder()))
                                   : FormatResString(IDS_TASK_NAME_REFUSED, name.c_str());
    if (why != nullptr) *why = !plain ? Refusal::NotPlainName : text.empty() ? Refusal::None : Refusal::TooLong;
    if (message != nullptr) *message = text;
    return text.empty() ? std::optional<CTaskName>(CTaskName(name)) : std::nullopt;
}

CTaskName CTaskName::Checked(const std::string& name)
{
    std::string message;
    std::optional<CTaskName> checked = Check(name, nullptr, &message);
    if (!checked) throw CError(message);
    return *checked;
}

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
