#pragma once
// The browser's URL cache, walked through the WinINet cache functions, and
// the browser history, cleared through the system's URL history object.
//
// The plug-in's jobs delete cookies and cached entries with these routines,
// and list the cookies the console offers for a task's keep list.
#include "common/codecs.h"
#include "common/timeutil.h"
#include "plugin/engines/cleanupreport.h"

#include <windows.h>

#include <string>

// Modes of EnumUrlCache.
constexpr int kUrlCacheDeleteCookies = 1;     // delete cookie entries not on the keep list
constexpr int kUrlCacheDeleteTempEntries = 2; // delete non-cookie entries older than the cut-off
constexpr int kUrlCacheListCookies = 3;       // append cookie entry names to the list

// Size of the entry buffer at the start of a walk; it grows only when an
// entry does not fit, to the size that the system names.
constexpr DWORD kUrlCacheInitialEntryBufferSize = 4096;

// Walks the whole URL cache once and, by mode:
//  1: deletes every cookie entry whose name is not exactly (case-sensitive,
//     whole name) a string of list; no list or an empty list keeps none;
//  2: deletes every entry without the cookie bit whose last synchronisation
//     time (seconds since 1970; 0 when it cannot be converted) is earlier
//     than cutoff, or every such entry when cutoff is 0; list is ignored;
//  3: appends the name of every cookie entry to list; no list collects nothing.
// Any other mode walks the cache and touches nothing. True when the whole
// cache was walked, false when the walk stopped on an error. notDeleted, when
// given, receives how many entries the walk meant to delete but could not
// (an entry already gone does not count).
bool EnumUrlCache(int mode, time32 cutoff, StringList* list, int* notDeleted = nullptr);

// A deleting walk tells report (when given) of every entry it removes; in a
// preview it selects as always, deletes nothing, and tells each entry it
// would delete as removed.
// Each returns E_INVALIDARG when reserved is not 0; otherwise S_OK after a
// complete walk and E_FAIL when the walk stopped on an error.
HRESULT DeleteCookies(int reserved, const StringList* keepList, int* notDeleted = nullptr,
                      ICleanupReport* report = nullptr);
HRESULT DeleteTempCacheEntries(int reserved, time32 cutoff, int* notDeleted = nullptr,
                               ICleanupReport* report = nullptr);
HRESULT ListCookies(int reserved, StringList* out);

// Clears the whole browser history through the URL history object. Needs
// COM initialised on the calling thread. E_INVALIDARG when reserved is not
// 0; otherwise the failure of creating the object, or the result of its
// ClearHistory.
HRESULT ClearUrlHistory(int reserved);
