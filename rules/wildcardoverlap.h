#pragma once
// Whether two file name wildcards could match one same name, for judging
// what a rule's masks and wildcard path parts could reach before any
// folder is listed.
#include <string>

// True when some name matches both patterns, without regard to case (A-Z
// only). "*" is any run of characters and "?" one character or none, so
// the answer errs towards true: the system's own rules are narrower (its
// "?" matches nothing only before a dot or at the end). "*.*" is every
// name, and a trailing ".*" also matches a name without an extension, as
// the system reads them.
bool WildcardsOverlap(const std::string& a, const std::string& b);

// True when the text holds "*" or "?".
bool HasWildcardCharacter(const std::string& text);
