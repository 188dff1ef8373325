#pragma once
// Named events live in the global namespace ("Global\<name>") so that every
// session sees them; on a system without that namespace the plain name is used.
#include "common/handles.h"

#include <string>

// CreateEvent by name; *existed tells whether the event was already there.
// An invalid handle on failure, with the system error as last error.
UniqueHandle CreateNamedEvent(const std::string& name, bool manualReset, bool initialState, bool* existed = nullptr);

// OpenEvent by name with the given access; invalid on failure.
UniqueHandle OpenNamedEvent(DWORD access, const std::string& name);

// CreateMutex by name, taken at once when initiallyOwned; *existed as above.
UniqueHandle CreateNamedMutex(const std::string& name, bool initiallyOwned, bool* existed = nullptr);

// OpenMutex by name with the given access; invalid on failure.
UniqueHandle OpenNamedMutex(DWORD access, const std::string& name);
