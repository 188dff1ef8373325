#include "common/error.h"

#include "common/strformat.h"
#include "common/tracer.h"

#include <windows.h>

std::string FormatInternalError(int code, int details)
{
    // The documented text, "this numbers" included: support knows it by heart.
    return StrFormat("Internal error %d (details: %d). Write down this numbers and contact technical support.",
                     code, details);
}

void RaiseInternalError(int code, int details)
{
    throw CError(FormatInternalError(code, details));
}

unsigned long LastSystemError()
{
    return ::GetLastError();
}

void RaiseSystemError(InternalErrorCode code, const char* traceFormat, unsigned long error)
{
    if (traceFormat != nullptr) g_tracer.Trace(40, traceFormat, static_cast<int>(error));
    RaiseInternalError(code, static_cast<int>(error));
}
