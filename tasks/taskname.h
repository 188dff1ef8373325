#pragma once
// A task's name. It names the task's files ("<name>.tsk" and its history
// files) and the events of its runs, so only a plain file name that fits the
// system's limits names a task. A CTaskName is made only by the check, where
// a name enters the program (the command line, a task start, the new-task
// dialog, a task file), and is carried as checked from there.
#include <optional>
#include <string>
#include <vector>

// The task every user has and nobody deletes; its file is "default.tsk".
constexpr char kDefaultTaskName[] = "default";

// A task name has at most this many characters (as Windows counts them, in
// UTF-16 units), so that every event a task's run names after it fits the
// system's limit for object names.
constexpr size_t kMaxTaskNameLength = 128;

// The message that refuses the name for its length, or the empty text: it
// is longer than kMaxTaskNameLength, or a file of the task would not fit
// the system's path length in a folder of folderLength characters.
std::string TaskNameLengthError(const std::string& name, size_t folderLength);

class CTaskName {
public:
    // Not a plain file name (a device name, a path part, a forbidden
    // character, a trailing dot or space: string 48), or too long.
    enum class Refusal { None, NotPlainName, TooLong };
    // The checked name, or nothing; why, and the message for the user, when asked.
    static std::optional<CTaskName> Check(const std::string& name, Refusal* why = nullptr,
                                          std::string* message = nullptr);
    // The checked name; raises CError with the message for a name refused.
    static CTaskName Checked(const std::string& name);
    static CTaskName Default() { return CTaskName(kDefaultTaskName); }

    const std::string& Text() const { return m_text; }

private:
    explicit CTaskName(std::string text) : m_text(std::move(text)) {}
    std::string m_text;
};

// The rules a new task's name must meet besides CTaskName's: the empty text
// when it is accepted, otherwise the message (string table) that says why not.
// Taken as typed, it must begin with an English letter, be neither "default"
// nor an existing task's name (in any letter case), and be a name Windows
// keeps for a file (no forbidden character, last space or dot, device name).
std::string TaskNameError(const std::string& name, const std::vector<std::string>& existingNames);
