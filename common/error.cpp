#include "common/error.h"

#include "common/strformat.h"

std::string FormatInternalError(int code, int details)
{
    return StrFormat("Internal error %d (details: %d). Write down this numbers and contact technical support.",
                     code, details);
}

void RaiseInternalError(int code, int details)
{
    throw CError(FormatInternalError(code, details));
}
