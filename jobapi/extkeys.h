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

// Recycle Bin age setting: flag and number of days, as flag-and-number
// text; with the flag, only what was deleted that many days ago or earlier
// goes. Missing, everything goes (the item was shipped so).
// {676EBF1B-7AB3-45E4-A0DF-E5D3C0889CFA}
constexpr GUID kRecycleBinAgeKey = {0x676EBF1B, 0x7AB3, 0x45E4, {0xA0, 0xDF, 0xE5, 0xD3, 0xC0, 0x88, 0x9C, 0xFA}};

// The browser whose closing starts the task: its key (see
// common/knownbrowsers.h); missing or empty, no such run. Kept as extended
// data so that a program that does not know it keeps it through a save.
// {5B1E07C2-3F6A-4D8E-9A41-C7D20E6B8F13}
constexpr GUID kRunAtBrowserCloseKey = {0x5B1E07C2, 0x3F6A, 0x4D8E, {0x9A, 0x41, 0xC7, 0xD2, 0x0E, 0x6B, 0x8F, 0x13}};

// How the running task treats its jobs, offered by the program for every
// task run and never stored in a task file: "clean", or "preview" (select
// exactly as a clean would, change nothing, report what would go). A
// program that offers it also takes the jobs' result and preview events.
// {1803F9C6-0C6A-416F-8B7D-A917C20FB75D}
constexpr GUID kRunModeKey = {0x1803F9C6, 0x0C6A, 0x416F, {0x8B, 0x7D, 0xA9, 0x17, 0xC2, 0x0F, 0xB7, 0x5D}};
constexpr char kRunModeClean[] = "clean";
constexpr char kRunModePreview[] = "preview";
