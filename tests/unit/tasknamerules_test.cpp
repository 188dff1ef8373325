// The rules for a new task's name: each refusal with its message, the order
// in which they apply, and names that must be accepted.
#include "tasks/taskname.h"

#include "support/raised.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kEmpty = "Please supply task name";
const std::string kFirstLetter =
    "Task name must begin with English alphabetic character. Please choose another name.";
const std::string kReserved = "'Default' task name is reserved. Please choose another name.";

const std::vector<std::string> kNoTasks;

std::string Error(const std::string& name, const std::vector<std::string>& existing = kNoTasks)
{
    return TaskNameError(name, existing);
}

// The message for a forbidden character, a bad ending, a device name and a
// name in use, taken from names that break that rule alone, so that the
// tests of the order can tell the refusals apart.
std::string CharacterError() { return Error("a|b"); }
std::string EndingError() { return Error("ab."); }
std::string DeviceError(const std::string& device) { return Error(device); }
std::string ExistsError(const std::string& existing) { return Error(existing, {existing}); }

// The name as the active code page spells it, or the empty text when the
// code page has no spelling for it.
std::string InCodePage(const std::wstring& text)
{
    BOOL lossy = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, &lossy);
    if (length <= 0 || lossy) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), &narrow[0], length,
                          nullptr, &lossy);
    return lossy ? std::string() : narrow;
}

}  // namespace

// Empty name, first character, the default task's name ------------------------------

TEST(TaskNameRules, EmptyNameAsksForOne)
{
    EXPECT_EQ(Error(""), kEmpty);
    EXPECT_EQ(Error("", {"Evening"}), kEmpty);
}

TEST(TaskNameRules, FirstCharacterMustBeAnEnglishLetter)
{
    for (const std::string name : {"1st run", " Evening", "_night", ".hidden", "-x", "\xC3\xA9t\xC3\xA9", "\tEvening"}) {
        EXPECT_EQ(Error(name), kFirstLetter) << "'" << name << "'";
    }
    // The letters at the ends of both ranges are letters.
    for (const std::string name : {"A", "Z", "a", "z", "Apple", "zebra"}) EXPECT_EQ(Error(name), "") << name;
    // The characters just outside both ranges are not.
    for (const std::string name : {"@x", "[x", "`x", "{x"}) EXPECT_EQ(Error(name), kFirstLetter) << name;
}

TEST(TaskNameRules, DefaultInAnyLetterCaseIsReserved)
{
    for (const std::string name : {"default", "Default", "DEFAULT", "dEfAuLt"}) {
        EXPECT_EQ(Error(name), kReserved) << name;
    }
}

TEST(TaskNameRules, DefaultFollowedOrPrecededByMoreIsAccepted)
{
    for (const std::string name : {"default2", "Defaults", "default run", "DefaultTask", "mydefault", "Deb.tsk",
                                    "Evening run", "Evening", "x-y_z (1)", "COM10", "LPT0", "COM", "CONSOLE",
                                    "Connect.txt", "Nully", "Auxiliary.run", "a.b.c"}) {
        EXPECT_EQ(Error(name), "") << name;
    }
}

// Names Windows refuses as file names ----------------------------------------

TEST(TaskNameRules, CharactersForbiddenInFileNamesAreRefused)
{
    const std::string message = CharacterError();
    EXPECT_FALSE(message.empty());
    EXPECT_NE(message.find("Please choose another name."), std::string::npos) << message;
    for (char c : std::string("\\/:*?\"<>|")) {
        EXPECT_EQ(Error(std::string("Eve") + c + "ning"), message) << c;
        EXPECT_EQ(Error(std::string("Evening") + c), message) << c;
    }
}

TEST(TaskNameRules, ControlCharactersAreRefused)
{
    const std::string message = CharacterError();
    for (int code = 1; code < 32; ++code) {
        EXPECT_EQ(Error("Eve" + std::string(1, static_cast<char>(code)) + "ning"), message) << code;
    }
    EXPECT_EQ(Error(std::string("Eve\0ning", 8)), message);
    // Other punctuation is allowed after the first letter.
    EXPECT_EQ(Error("Eve,ning;+=[]{}()!#$%&'~@^`"), "");
}

TEST(TaskNameRules, EndingWithASpaceOrADotIsRefused)
{
    const std::string message = EndingError();
    EXPECT_FALSE(message.empty());
    EXPECT_NE(message, CharacterError());
    for (const std::string name : {"Evening ", "Evening.", "Evening...", "Evening. ", "Evening  ", "a."}) {
        EXPECT_EQ(Error(name), message) << "'" << name << "'";
    }
    // Inside the name they are fine.
    EXPECT_EQ(Error("Evening run.today"), "");
}

TEST(TaskNameRules, DeviceNamesAreRefusedAloneAndWithAnExtensionInAnyCase)
{
    for (const std::string device : {"CON", "PRN", "AUX", "NUL", "COM1", "COM5", "COM9", "LPT1", "LPT7", "LPT9"}) {
        const std::string message = DeviceError(device);
        EXPECT_FALSE(message.empty()) << device;
        EXPECT_NE(message.find(device), std::string::npos) << message;
        std::string lower = device;
        for (char& c : lower) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        std::string mixed = lower;
        mixed[0] = device[0];
        for (const std::string& name : {lower, mixed, device + ".tsk", lower + ".txt", mixed + ".a.b", device + " .txt"}) {
            EXPECT_EQ(Error(name), message) << name;
        }
    }
    EXPECT_NE(DeviceError("CON"), DeviceError("NUL"));
    EXPECT_NE(DeviceError("CON"), EndingError());
    EXPECT_NE(DeviceError("CON"), CharacterError());
}

TEST(TaskNameRules, NameOfAnExistingTaskIsRefusedWithoutRegardToCase)
{
    const std::vector<std::string> existing = {"Morning", "Evening run", "Weekly"};
    const std::string message = Error("evening RUN", existing);
    EXPECT_FALSE(message.empty());
    EXPECT_NE(message.find("Evening run"), std::string::npos) << message;
    EXPECT_EQ(Error("Evening run", existing), message);
    EXPECT_EQ(Error("EVENING RUN", existing), message);
    EXPECT_NE(Error("weekly", existing), message);  // names the task it meets
    EXPECT_NE(Error("weekly", existing), "");
    // Near misses are other names.
    for (const std::string name : {"Evening", "Evening run2", "Evening-run", "Mornings", "Week"}) {
        EXPECT_EQ(Error(name, existing), "") << name;
    }
}

TEST(TaskNameRules, ExistingNamesCompareLettersBeyondAsciiWithoutRegardToCase)
{
    // Two spellings of one file name that differ only in the case of a
    // letter outside A to Z, as the program's code page writes them.
    const std::string lower = InCodePage(L"K\u00e4se");
    const std::string upper = InCodePage(L"K\u00c4SE");
    if (lower.empty() || upper.empty()) GTEST_SKIP() << "the active code page has no spelling for the names";
    ASSERT_NE(lower, upper);
    const std::string message = Error(upper, {lower});
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(message, ExistsError(lower));
    EXPECT_EQ(Error(InCodePage(L"K\u00e4sekuchen"), {lower}), "");
}

// The order of the checks -----------------------------------------------------

TEST(TaskNameRules, ChecksApplyInTheirOrder)
{
    const std::vector<std::string> existing = {"CON", "Eve|ning", "Evening.", "default", "1st"};
    // A first character that is not a letter wins over everything after it.
    EXPECT_EQ(Error("1st", existing), kFirstLetter);
    EXPECT_EQ(Error("1|.", existing), kFirstLetter);
    EXPECT_EQ(Error(" default", existing), kFirstLetter);
    // The reserved name wins over a task of that name.
    EXPECT_EQ(Error("DEFAULT", existing), kReserved);
    // A forbidden character wins over the ending, the device and a task in use.
    EXPECT_EQ(Error("Eve|ning", existing), CharacterError());
    EXPECT_EQ(Error("CON:", existing), CharacterError());
    EXPECT_EQ(Error("default:", existing), CharacterError());
    EXPECT_EQ(Error("a|b.", existing), CharacterError());
    // The ending wins over the device and a task in use.
    EXPECT_EQ(Error("CON.", existing), EndingError());
    EXPECT_EQ(Error("Evening.", existing), EndingError());
    EXPECT_EQ(Error("default.", existing), EndingError());
    // The device wins over a task in use.
    EXPECT_EQ(Error("con", existing), DeviceError("CON"));
    // Only then the task in use.
    EXPECT_EQ(Error("Evening", {"evening"}), ExistsError("evening"));
}

TEST(TaskNameRules, NameIsTakenAsTypedWithoutTrimming)
{
    EXPECT_EQ(Error(" Evening"), kFirstLetter);
    EXPECT_EQ(Error("Evening "), EndingError());
    EXPECT_EQ(Error("Evening ", {"Evening"}), EndingError());
    EXPECT_EQ(Error("   "), kFirstLetter);
    EXPECT_EQ(Error("Eve ning", {"Evening"}), "");
}

// The check every task name meets, wherever it enters ----------------------------------

TEST(TaskNameCheck, OnlyAPlainFileNameWithinTheLimitsNamesATaskAndTheRefusalSaysWhy)
{
    const std::string longest(kMaxTaskNameLength, 'a');
    const std::string refused = "Task name refused: ";
    const struct {
        std::string name;
        CTaskName::Refusal refusal;
        std::string messageStart;
    } cases[] = {
        {"Evening run", CTaskName::Refusal::None, ""},
        {"default", CTaskName::Refusal::None, ""},
        {"1st", CTaskName::Refusal::None, ""},  // the new-task rules are stricter
        {longest, CTaskName::Refusal::None, ""},
        {"", CTaskName::Refusal::NotPlainName, refused},
        {"..", CTaskName::Refusal::NotPlainName, refused + ".. (a task name is a file name"},
        {"lpt9.txt", CTaskName::Refusal::NotPlainName, refused + "lpt9.txt (a task name is a file name"},
        {"say \"hi\"", CTaskName::Refusal::NotPlainName, refused + "say \"hi\" ("},
        {"x.", CTaskName::Refusal::NotPlainName, refused + "x. ("},
        {"a\\b", CTaskName::Refusal::NotPlainName, refused + "a\\b ("},
        {longest + "a", CTaskName::Refusal::TooLong, refused + std::string(40, 'a') + "... (a task name has at most 128"},
    };
    for (const auto& c : cases) {
        CTaskName::Refusal refusal = CTaskName::Refusal::None;
        std::string message = "(not set)";
        const std::optional<CTaskName> checked = CTaskName::Check(c.name, &refusal, &message);
        EXPECT_EQ(refusal, c.refusal) << c.name;
        EXPECT_EQ(checked.has_value(), c.refusal == CTaskName::Refusal::None) << c.name;
        if (checked) {
            EXPECT_EQ(checked->Text(), c.name);
        }
        if (c.messageStart.empty()) {
            EXPECT_EQ(message, "") << c.name;
            EXPECT_EQ(CTaskName::Checked(c.name).Text(), c.name);
        } else {
            EXPECT_EQ(message.rfind(c.messageStart, 0), 0u) << message;
            EXPECT_EQ(RaisedText([&] { CTaskName::Checked(c.name); }), message);
        }
    }
    EXPECT_EQ(CTaskName::Default().Text(), "default");
}
