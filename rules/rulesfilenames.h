#pragma once
// The names under which the community rules files are found, in the
// program's folder and in the user's data folder: the one main file, and
// the folder of further files, each "Rules\<name>.ini".
constexpr char kMainRulesFileName[] = "winapp2.ini";
constexpr char kRulesFolderName[] = "Rules";
