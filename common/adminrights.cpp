#include "common/adminrights.h"

#include <windows.h>

bool RunsAsAdministrator()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                    0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    // A token that cannot be asked is taken for a standard user's: an item
    // then says it needs the rights instead of failing on the way.
    if (!::CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
    ::FreeSid(administrators);
    return member != FALSE;
}
