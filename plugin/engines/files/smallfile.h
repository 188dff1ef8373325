#pragma once
// Reads a small file of a profile (a list, a JSON document) whole.
#include <string>

// False when the file is missing. Raises CError when it exists but cannot
// be read, or is larger than maxSize (then it is not the small file it
// should be, and nothing is read from it).
bool ReadSmallFile(const std::string& path, long long maxSize, std::string& text);
