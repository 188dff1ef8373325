#pragma once
// The hosts of the cookies that the modern browsers keep, for the console's
// keep-list dialog. The plug-in module of every inventory item that cleans a
// browser's cookies is asked for them; the browsers and their folders are
// the items' own settings.
#include "common/codecs.h"

class CItemInventory;

struct BrowserCookieHosts {
    StringList hosts;
    StringList failures;  // one text per item whose browser could not be read
};

BrowserCookieHosts ListBrowserCookieHosts(const CItemInventory& inventory);
