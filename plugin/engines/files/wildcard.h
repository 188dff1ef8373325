#pragma once
// File name wildcards, matched against a name's long form only. A folder
// listing by pattern also matches 8.3 short names ("*.log" finds
// "x.log-old", whose short name is "XLOG-O~1.LOG"), which a person who
// writes "*.log" does not mean; the engine therefore takes every name of a
// folder's listing and keeps those this matches.
#include <string>

// True when name matches pattern as the system's own wildcard rules read
// it, without regard to case: "*" is any run of characters, "?" one
// character (or none before a dot or at the end: "a??.txt" matches
// "a.txt"), "*." followed by an extension stops at the name's last dot
// ("*.log" does not match "x.log-old"), and a trailing ".*" also matches a
// name without an extension ("x.*" matches "x"); "*.*" is every name.
bool MatchesWildcard(const std::wstring& pattern, const std::wstring& name);

// True when the text holds "*" or "?".
bool HasWildcard(const std::wstring& pattern);
