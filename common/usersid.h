#pragma once
// The account the process runs as, and what is made private to it: the
// security of the named objects the program creates (that account and the
// system only) and of the user's data folder (that account, the system and
// the administrators).
#include "common/handles.h"

#include <windows.h>
#include <accctrl.h>

#include <string>

// The process's user as SID text ("S-1-5-21-..."); empty when the system
// cannot tell.
std::string CurrentUserSid();

// True when the object's owner is the process's user: an object another
// account created under the program's name is never trusted.
bool IsOwnedByCurrentUser(HANDLE object, SE_OBJECT_TYPE type);

// True when the object's owner is the process's user, the system or the
// administrators: a folder of the user's own, or one an administrator made
// for the user, but never one another user made first.
bool IsOwnedByUserOrAdministrators(HANDLE object, SE_OBJECT_TYPE type);

// Security attributes that grant only the process's user and the system
// (a named object), or, for a folder, the user, the system and the
// administrators, inherited by everything in it.
class CPrivateSecurity {
public:
    enum class For { Object, Folder };
    explicit CPrivateSecurity(For what);
    ~CPrivateSecurity();
    CPrivateSecurity(const CPrivateSecurity&) = delete;
    CPrivateSecurity& operator=(const CPrivateSecurity&) = delete;

    // Null when the descriptor could not be made: the caller then refuses
    // to create rather than create something anyone may open.
    SECURITY_ATTRIBUTES* Attributes() { return m_descriptor != nullptr ? &m_attributes : nullptr; }

private:
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
    SECURITY_ATTRIBUTES m_attributes = {};
};
