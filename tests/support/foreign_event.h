#pragma once
// An event that another account holds: owned by the system account, as a
// name squatted by someone else on a shared machine would be.
#include "common/handles.h"

#include <windows.h>
#include <sddl.h>

#include <string>

inline UniqueHandle ForeignEvent(const std::string& name)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA("O:SYD:(A;;GA;;;WD)", SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        return UniqueHandle();
    }
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor, FALSE};
    UniqueHandle event(::CreateEventA(&security, TRUE, TRUE, name.c_str()));
    ::LocalFree(descriptor);
    return event;
}
