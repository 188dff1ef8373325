#pragma once
// Objects another account holds under a name, as a name squatted by
// someone else on a shared machine would be: owned by the system account
// and open to all, owned by it and closed to all, or of another kind.
#include "common/handles.h"

#include <windows.h>
#include <sddl.h>

#include <string>

enum class ForeignHold { OpenEvent, ClosedEvent, OtherKind };

inline UniqueHandle ForeignObject(const std::string& name, ForeignHold hold)
{
    const char* descriptorText = hold == ForeignHold::ClosedEvent ? "O:SYD:P" : "O:SYD:(A;;GA;;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptorText, SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        return UniqueHandle();
    }
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor, FALSE};
    UniqueHandle object(hold == ForeignHold::OtherKind ? ::CreateMutexA(&security, FALSE, name.c_str())
                                                       : ::CreateEventA(&security, TRUE, TRUE, name.c_str()));
    ::LocalFree(descriptor);
    return object;
}

inline UniqueHandle ForeignEvent(const std::string& name)
{
    return ForeignObject(name, ForeignHold::OpenEvent);
}
