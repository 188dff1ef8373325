#pragma once
// Whole-file reads and writes for test checks.
#include <string>
#include <vector>

bool FileExists(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string* content);
bool WriteWholeFile(const std::string& path, const std::string& content);
// How many times part occurs in text.
int Occurrences(const std::string& text, const std::string& part);
// Makes the folder and every missing folder above it; true when it exists.
bool MakeFolders(const std::string& path);

// Sets the file's (or folder's) last-write time to hoursAgo hours before now
// (negative: in the future).
bool SetLastWriteHoursAgo(const std::string& path, long long hoursAgo);

// The file's lines, split at CR LF; a final line without CR LF is kept too.
std::vector<std::string> SplitCrLfLines(const std::string& content);
