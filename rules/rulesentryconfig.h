#pragma once
// The configuration text of a community rules entry's item, the contract
// between the catalogue that writes it and the rules entry job that reads
// it: "<place>\t<file>\t<section name>", with the places and file names
// the catalogue reads.
#include "rules/rulescatalogue.h"

#include <string>

struct RulesEntryConfig {
    RulesPlace place = RulesPlace::Program;  // "program": the program's folder; "user": the data folder
    std::string file;                        // "winapp2.ini" or "Rules\<name>.ini", as written
    std::string section;                     // exactly as between the brackets
};

// The text handed to the job; empty when the entry cannot be named in it:
// no section name, or a tab in it (the tab separates the fields).
std::string RulesEntryConfigText(const RulesEntryConfig& config);

// Why the text is not such a configuration, or empty when it is (config
// then filled in). Only the two file forms are taken: no other folder, no
// "..", no drive, a plain name ending in ".ini".
std::string RulesEntryConfigProblem(const std::string& text, RulesEntryConfig* config);
