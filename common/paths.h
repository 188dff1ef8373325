#pragma once
// Paths of the program's two folders. The program folder holds what comes
// with the program (modules, catalogue, job settings files). The data folder
// holds what the program writes (task files, session, last-run and status
// files, preview reports, the trace file): an installed program names it in
// the "DataFolder" setting, since standard users cannot write the program
// folder; a copied program folder has no such setting and keeps its data
// beside itself. Inside the plug-in these still name the program's folders.
#include <string>

// Full path of the program file; empty when the system cannot give it.
std::string GetModulePath();

// The program's folder without a trailing backslash; empty on failure.
std::string GetModuleFolder();

// The program's folder with a trailing backslash, followed by name (which
// may be null); empty on failure.
std::string GetModuleFilePath(const char* name = nullptr);

// The data folder without a trailing backslash: the program's folder when
// there is no "DataFolder" setting, the folder it names (for this user)
// otherwise; empty when the setting names no usable folder.
std::string GetDataFolder();
// The "DataFolder" setting as it reads, when it names no usable folder (the
// user must be told); empty when the data folder is usable.
std::string DataFolderProblem();
// The administrators' folder of tasks every user runs; empty when there is none.
std::string GetMachineTaskFolder();

// The data folder with a trailing backslash, followed by name.
std::string GetDataFilePath(const std::string& name);

// The longest data folder, in UTF-16 units: room is left for a task's
// files with a name of some length.
constexpr size_t kLongestDataFolder = 200;

// The folder a "DataFolder" setting names: a full local or network path,
// trailing separators dropped (a drive root keeps its own), whose every
// part is a plain folder name (no "." or "..", no empty part, no wildcard,
// device name, trailing dot or blank, or "%NAME%" left unexpanded); the
// empty text when the setting is empty or unusable.
std::string DataFolderOfSetting(const std::string& setting);

// Makes the data folder when the setting names one that is missing (a
// user's first start), open to that user, the system and the
// administrators only. False when the folder exists and another account
// owns it (the user must be told; nothing is kept there). Failures to make
// it are traced; the files the program then cannot write report their own
// errors.
bool EnsureDataFolder();
