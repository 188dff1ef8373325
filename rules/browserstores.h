#pragma once
// What of a browser's profile a community rule must never reach: the
// stores the program's own items keep or clean only by the user's leave
// (cookies, site data, saved passwords, keys, settings, bookmarks, sync
// data, extensions).
#include "rules/rulepath.h"
#include "rules/rulevariables.h"

#include <string>
#include <vector>

// Why a clean of the folder pattern with these masks would reach such a
// store ("it would reach a browser's saved passwords (Login Data)"), or
// empty. Inside a browser's profile (any "User Data" folder two or three
// levels below %LocalAppData% or %AppData%, "Opera Software", a
// "Profiles" folder of %AppData%) every mask is compared with the stores'
// names, and a recursive clean of a profile or above reaches them all;
// anywhere else a path part or a mask without wildcards that is such a
// store's name ("Cookies", "logins.json") is refused.
std::string BrowserStoreRefusal(const PathParts& folder, bool recurse, const std::vector<std::string>& masks,
                                const KnownFolders& folders);
