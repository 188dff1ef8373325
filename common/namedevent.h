#pragma once
// The program's named events and mutexes are the user's own: each lives in
// the session's namespace under a name that carries the user's SID
// ("Local\S-1-5-21-...:<name>"), is created with a security descriptor
// that grants only that user and the system, and one another account
// created first under that name is refused, never trusted. Two users of a
// machine, or a user's two sessions, thus never meet in these objects.
#include "common/handles.h"

#include <string>

// What creating a named object found.
enum class NameOutcome { Created, Existed, HeldByAnother, Failed };

// The full name of the user's object called name.
std::string UserObjectName(const std::string& name);

// CreateEvent under the user's name; invalid when it failed or the name is
// held by another account: an object another account owns, one the user
// may not open, or one of another kind the user does not own (outcome
// says which; the last error is then ERROR_ACCESS_DENIED).
UniqueHandle CreateNamedEvent(const std::string& name, bool manualReset, bool initialState,
                              NameOutcome* outcome = nullptr);

// OpenEvent of the user's own event with the given access; invalid when it
// does not exist or another account holds the name.
UniqueHandle OpenNamedEvent(DWORD access, const std::string& name);

// The same for mutexes (never taken at creation).
UniqueHandle CreateNamedMutex(const std::string& name, NameOutcome* outcome = nullptr);
UniqueHandle OpenNamedMutex(DWORD access, const std::string& name);
