#pragma once
// The task extended-data keys that the task dialogs write and the cleanup
// jobs read, known to both deliverables.
#include <windows.h>

// Cookie keep list: the names of cookies to keep, as string-list text.
// {F68EF1FD-5366-49C0-9C82-D59C73CC550D}
constexpr GUID kCookieKeepListKey = {0xF68EF1FD, 0x5366, 0x49C0, {0x9C, 0x82, 0xD5, 0x9C, 0x73, 0xCC, 0x55, 0x0D}};

// Temporary-files age setting: flag and number of hours, as flag-and-number text.
// {C5BE3DE9-A946-4802-9D36-372BD8C7647A}
constexpr GUID kTempFilesAgeKey = {0xC5BE3DE9, 0xA946, 0x4802, {0x9D, 0x36, 0x37, 0x2B, 0xD8, 0xC7, 0x64, 0x7A}};
