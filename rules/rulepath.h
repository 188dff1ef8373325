#pragma once
// Paths of rules as lists of parts, and what one pattern of parts could reach.
#include <string>
#include <vector>

using PathParts = std::vector<std::string>;

// The parts between "\" or "/" separators, empty ones left out: "C:\a\\b\" is C:, a, b.
PathParts SplitPathParts(const std::string& path);

// The parts joined with "\".
std::string JoinPathParts(const PathParts& parts);

// A path beginning with two separators: a share, or a device path.
bool IsNetworkPath(const std::string& path);

// "X:" followed by nothing or a separator ("C:x" is relative to the drive's
// current folder).
bool IsFullLocalPath(const std::string& path);

// A part that reaches a folder under another spelling than the rules
// compare: a short name ("DOCUME~1"), trailing dots or blanks (which
// Windows drops), a ":" (a stream), or a final dot before wildcards only
// ("Cache.?" also names "Cache"). Other wildcard parts are compared as they are.
bool IsAliasPart(const std::string& part);

// True when the first count parts of both could name the same folders (each
// pair of parts overlaps as wildcards); both must have that many.
bool LeadingPartsOverlap(const PathParts& a, const PathParts& b, size_t count);

// True when a clean of the folder pattern (its own files only, or with
// recurse the folders below too) could touch the target folder's contents:
// the folder could be the target or inside it, or with recurse could hold it.
bool CouldReachFolder(const PathParts& folder, bool recurse, const PathParts& target);
