#pragma once
// Paths beside the running program file. Everything the program keeps lives
// there; inside the plug-in these still name the program's folder.
#include <string>

// Full path of the program file; empty when the system cannot give it.
std::string GetModulePath();

// The program's folder without a trailing backslash; empty on failure.
std::string GetModuleFolder();

// The program's folder with a trailing backslash, followed by name (which
// may be null); empty on failure.
std::string GetModuleFilePath(const char* name = nullptr);
