#pragma once
// Reads the member names of one object in a JSON document, enough for the
// browsers' "Local State" files, which list their profiles as the members
// of "profile" -> "info_cache".
#include "common/codecs.h"

#include <string>

// Appends to names the member names of the object reached from the root by
// following path (member names, outermost first), in document order; nothing
// when the path leads to no object. False when the text is not well-formed
// JSON; names is then left as it was.
bool ReadJsonObjectNames(const std::string& json, const StringList& path, StringList& names);
