#pragma once
// The site data item's Chromium stores beyond Local Storage and IndexedDB:
// Session Storage, the service workers' database and Cache Storage, and
// File System (sitedatachromium.cpp).
#include "common/codecs.h"
#include "plugin/engines/browserprofiles.h"

// Adds the hosts of the sites with data in those stores of profile, read
// without changing a file.
void AddChromiumStoreHosts(const BrowserProfile& profile, StringList& hosts);
