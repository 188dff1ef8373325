#pragma once
// The cookies the console offers for a task's keep list. The plug-in module
// of every catalogue item that cleans cookies is asked for them; the
// browsers and their folders are the items' own settings.
#include "common/codecs.h"

#include <string>

class CCatalogueItems;

struct BrowserCookieHosts {
    StringList hosts;        // the modern browsers' cookie hosts
    StringList cookieNames;  // the system URL cache's cookies, by entry name, each once
    // Why the system URL cache's cookies could not be listed; empty when they were.
    std::string cookieNamesFailure;
    StringList failures;  // one text per item whose browser could not be read
};

BrowserCookieHosts ListBrowserCookieHosts(const CCatalogueItems& catalogue);
