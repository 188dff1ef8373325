#pragma once
#include "common/handles.h"

#include <string>

// Loads a plug-in module beside the program by its full path, its own
// dependencies from its folder or the system folder. A name with a folder
// part could reach a module planted anywhere else: it is refused with
// message 47; a failed load raises message 29.
UniqueModule LoadModuleBesideProgram(const std::string& moduleName);
