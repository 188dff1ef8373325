#pragma once
// Reads the member names of one object in a JSON document, enough for the
// browsers' "Local State" files, which list their profiles as the members
// of "profile" -> "info_cache", and the string values of one member name
// below an object, enough for Chromium's "Bookmarks" ("url" below "roots").
#include "common/codecs.h"

#include <string>

// Appends to names the member names of the object reached from the root by
// following path (member names, outermost first), in document order; nothing
// when the path leads to no object. False when the text is not well-formed
// JSON; names is then left as it was.
bool ReadJsonObjectNames(const std::string& json, const StringList& path, StringList& names);

// Appends to values the string value of every member named member found at
// any depth (in objects and arrays) inside the value path leads to, in
// document order; values that are not strings are passed over. False when
// the text is not well-formed JSON; values is then left as it was.
bool ReadJsonStringValues(const std::string& json, const StringList& path, const std::string& member, StringList& values);
