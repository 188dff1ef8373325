#pragma once
// A rules file the user adds from the console: read and judged as the
// catalogue would read it, then copied into the Rules folder of the user's
// data folder under its own name, as one of the program's own files.
#include "rules/rulescatalogue.h"

#include <string>

struct RulesFileCopy {
    std::string problem;    // why it is not copied; empty when it may be
    std::string name;       // the file's name, which the copy keeps
    std::string folder;     // <data folder>\Rules
    std::string target;     // <data folder>\Rules\<name>
    bool replaces = false;  // a file of that name is there already
    std::string bytes;      // the file as it was read and judged: what is copied
    RulesSource source;     // its entries, shown as "Rules\<name>"
};

// Why a file name cannot be a rules file's in Rules\ (the rules entry job
// takes only a plain name ending in ".ini"); empty when it can.
std::string RulesFileNameProblem(const std::string& name);

// Reads the file at path (at most 16 MB) and judges it; a name that is not a
// plain .ini name, or a file the reader refuses whole, gives a problem.
RulesFileCopy PrepareRulesFileCopy(const std::string& path, const std::string& dataFolder, RulesPlace place,
                                   const KnownFolders& folders);

// Writes the bytes read to a temporary file of the program's own in the
// Rules folder (made when missing, private to the user) and moves it over
// the target in one step, so that a failed copy leaves any earlier file
// whole. Empty, or why the copy was not made.
std::string WriteRulesFileCopy(const RulesFileCopy& copy);
