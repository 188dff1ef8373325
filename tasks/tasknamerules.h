#pragma once
// The rules a new task's name must meet. The name becomes the task file's
// name ("<name>.tsk" in the data folder), so besides the naming rules of the
// console it must be a name Windows accepts for a file, and must not name a
// task that already exists. It is checked beside CTaskName, which every task
// name meets.
#include <string>
#include <vector>

// The empty text when the name is accepted, otherwise the message (from the
// string table) that tells the user why not. The name is taken exactly as typed (no trimming). Checks,
// in this order:
//   1. empty;
//   2. first character not an English letter (A to Z, a to z);
//   3. "default" in any mix of letter cases (the default task's name);
//   4. a character Windows forbids in file names: \ / : * ? " < > | or a
//      control character (codes 0 to 31);
//   5. a last character that is a space or a dot (Windows strips them, so the
//      file would get another name);
//   6. a reserved device name, CON, PRN, AUX, NUL, COM1 to COM9 or LPT1 to
//      LPT9, alone or followed by an extension, in any letter case;
//   7. the name of an existing task, compared without regard to letter case
//      as the file system compares file names.
std::string TaskNameError(const std::string& name, const std::vector<std::string>& existingNames);
