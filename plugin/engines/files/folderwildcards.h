#pragma once
// The folders a path with wildcards in its folder parts stands for, found by
// listing each folder on the way: a community rule may name
// "%LocalAppData%\Vendor*\Cache".
#include <string>
#include <vector>

// Every existing folder the path names (no variables; "*" and "?" in any
// part below the drive's first folder). Each part from the first wildcard
// on is matched against its folder's listing, by long names only, and each
// match is opened inside its folder without following a link: a link, or
// an entry that is not where its name says (under Wine a Unix link), is
// left out, as is a name that a path would not name faithfully. A path
// without wildcards is returned as it is, whether it exists or not. Raises
// CError when a wildcard comes before two full parts of the path.
std::vector<std::string> FoldersMatching(const std::string& path);
