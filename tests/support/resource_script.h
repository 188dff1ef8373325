#pragma once
// The control tables of dialogs as the resource script states them, read
// from the scripts the build compiles, so that tests compare the built
// templates against the script instead of restating every control.
#include <string>
#include <vector>

struct ScriptControl {
    std::string statement;  // LTEXT, PUSHBUTTON, CONTROL, ...
    std::string text;       // the quoted text; empty when the control has none
    int textResource = 0;   // the resource shown in place of a text (ICON), else 0
    int id = 0;
    short x = 0, y = 0, cx = 0, cy = 0;  // as compiled: an icon control has no size of its own
};

// Reads the controls of the dialog `name` (its "name DIALOGEX" block) from
// the script at scriptPath and the scripts it includes from its folder.
// Identifiers are resolved through the #defines of the headers it includes
// from its folder, and windows.h's IDOK, IDCANCEL and IDC_STATIC. False, with
// the problem, when the dialog is missing or a statement cannot be read.
bool ReadScriptDialog(const std::string& scriptPath, const std::string& name, std::vector<ScriptControl>* controls,
                      std::string* problem);
