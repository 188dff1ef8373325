#pragma once
// Whole-file reads and writes for test checks.
#include <string>
#include <vector>

bool FileExists(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string* content);
bool WriteWholeFile(const std::string& path, const std::string& content);

// The file's lines, split at CR LF; a final line without CR LF is kept too.
std::vector<std::string> SplitCrLfLines(const std::string& content);
