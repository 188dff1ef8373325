#pragma once
// Registry keys that many programs or the system itself share: a rule may
// delete a value in them by name, never empty them whole, and below the
// hubs that hold one key per program (CLSID, Uninstall) only a program's
// own key.
#include "rules/rulepath.h"

#include <string>

// Why emptying the key (its parts, root first, as the rules split it;
// text as the entry writes it, for the reason) would reach a shared key,
// or empty when it may be emptied.
std::string SharedRegistryKeyRefusal(const PathParts& key, const std::string& text);
