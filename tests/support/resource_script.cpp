#include "resource_script.h"

#include "text_file.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace {

using Defines = std::map<std::string, std::string>;

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The line without its // comment; a "//" inside a quoted text stays.
std::string WithoutComment(const std::string& line)
{
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (!quoted && line.compare(i, 2, "//") == 0) return line.substr(0, i);
    }
    return line;
}

std::string FirstWord(const std::string& line)
{
    size_t end = 0;
    while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end])) && line[end] != ',') ++end;
    return line.substr(0, end);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The lines of the script and of the scripts it includes from its folder, in
// the order the resource compiler reads them; the #defines of the headers
// it includes from its folder go into defines. Other includes (the system's
// and the project's outside the folder) are not needed for the dialogs.
void ReadLines(const std::string& path, std::vector<std::string>* lines, Defines* defines,
               std::set<std::string>* seen)
{
    std::string content;
    if (!seen->insert(path).second || !ReadWholeFile(path, &content)) return;
    std::istringstream in(content);
    for (std::string raw; std::getline(in, raw);) {
        const std::string line = Trimmed(WithoutComment(raw));
        if (line.rfind("#include \"", 0) == 0) {
            ReadLines(FolderOf(path) + line.substr(10, line.find('"', 10) - 10), lines, defines, seen);
        } else if (line.rfind("#define ", 0) == 0) {
            const std::string rest = Trimmed(line.substr(8));
            const std::string symbol = FirstWord(rest);
            (*defines)[symbol] = Trimmed(rest.substr(symbol.size()));
        } else if (!line.empty() && line[0] != '#') {
            lines->push_back(line);
        }
    }
}

bool Resolve(const std::string& token, const Defines& defines, int* value, int depth = 0)
{
    static const Defines kWindowsIds = {{"IDOK", "1"}, {"IDCANCEL", "2"}, {"IDC_STATIC", "-1"}};
    if (token.empty() || depth > 8) return false;
    if (token.front() == '(' && token.back() == ')') {
        return Resolve(Trimmed(token.substr(1, token.size() - 2)), defines, value, depth + 1);
    }
    char* end = nullptr;
    const long number = std::strtol(token.c_str(), &end, 0);
    if (*end == '\0') {
        *value = static_cast<int>(number);
        return true;
    }
    for (const Defines* names : {&defines, &kWindowsIds}) {
        const auto found = names->find(token);
        if (found != names->end()) return Resolve(found->second, defines, value, depth + 1);
    }
    return false;
}

// The statement's fields, split at the commas outside quoted texts.
std::vector<std::string> Fields(const std::string& statement)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (const char c : statement) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    for (std::string& field : fields) field = Trimmed(field);
    return fields;
}

// A quoted text of the script: "" stands for one quote mark.
bool Unquoted(const std::string& field, std::string* text)
{
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') return false;
    text->clear();
    for (size_t i = 1; i + 1 < field.size(); ++i) {
        text->push_back(field[i]);
        if (field[i] == '"') ++i;
    }
    return true;
}

const std::set<std::string> kControlStatements = {
    "LTEXT",    "RTEXT",       "CTEXT",        "PUSHBUTTON",  "DEFPUSHBUTTON",   "PUSHBOX", "EDITTEXT",
    "COMBOBOX", "LISTBOX",     "SCROLLBAR",    "GROUPBOX",    "CONTROL",         "ICON",    "CHECKBOX",
    "STATE3",   "AUTOCHECKBOX", "RADIOBUTTON", "AUTO3STATE", "AUTORADIOBUTTON"};

// One control statement: "LTEXT text, id, x, y, cx, cy, ...", "EDITTEXT id,
// x, y, cx, cy, ..." for the controls without a text, "CONTROL text, id,
// class, style, x, y, cx, cy, ..."; an ICON's text is a resource identifier.
bool ParseControl(const std::string& statement, const Defines& defines, ScriptControl* control,
                  std::string* problem)
{
    control->statement = FirstWord(statement);
    std::vector<std::string> fields = Fields(Trimmed(statement.substr(control->statement.size())));
    static const std::set<std::string> withoutText = {"EDITTEXT", "COMBOBOX", "LISTBOX", "SCROLLBAR"};
    if (withoutText.count(control->statement) != 0) fields.insert(fields.begin(), "\"\"");
    if (control->statement == "CONTROL" && fields.size() >= 4) fields.erase(fields.begin() + 2, fields.begin() + 4);
    int place[4] = {};
    bool ok = fields.size() >= 6 && Resolve(fields[1], defines, &control->id);
    for (int i = 0; ok && i < 4; ++i) ok = Resolve(fields[2 + i], defines, &place[i]);
    if (ok && !Unquoted(fields[0], &control->text)) ok = Resolve(fields[0], defines, &control->textResource);
    if (!ok) {
        *problem = "cannot read the statement: " + statement;
        return false;
    }
    control->x = static_cast<short>(place[0]);
    control->y = static_cast<short>(place[1]);
    // An icon control takes the icon's own size: the resource compiler
    // writes no width or height for it, whatever the script says.
    const bool sizedByIcon = control->statement == "ICON";
    control->cx = sizedByIcon ? 0 : static_cast<short>(place[2]);
    control->cy = sizedByIcon ? 0 : static_cast<short>(place[3]);
    return true;
}

}  // namespace

bool ReadScriptDialog(const std::string& scriptPath, const std::string& name, std::vector<ScriptControl>* controls,
                      std::string* problem)
{
    std::vector<std::string> lines;
    Defines defines;
    std::set<std::string> seen;
    ReadLines(scriptPath, &lines, &defines, &seen);
    controls->clear();

    size_t at = 0;
    while (at < lines.size() && !(FirstWord(lines[at]) == name && lines[at].find(" DIALOG") != std::string::npos)) ++at;
    while (at < lines.size() && lines[at] != "BEGIN") ++at;
    if (at == lines.size()) {
        *problem = "no dialog " + name + " in " + scriptPath;
        return false;
    }
    // A statement goes on over the lines that start with no statement's name.
    std::vector<std::string> statements;
    for (++at; at < lines.size() && lines[at] != "END"; ++at) {
        if (kControlStatements.count(FirstWord(lines[at])) != 0 || statements.empty()) {
            statements.push_back(lines[at]);
        } else {
            statements.back() += " " + lines[at];
        }
    }
    if (at == lines.size()) {
        *problem = "dialog " + name + " has no END";
        return false;
    }
    for (const std::string& statement : statements) {
        ScriptControl control;
        if (!ParseControl(statement, defines, &control, problem)) return false;
        controls->push_back(control);
    }
    return true;
}
