#pragma once
// Recycle Bin "$I" records laid out as the system writes them, for the
// parser's table and for Recycle Bin folders built in the test prefix.
#include <cstdint>
#include <string>

// A FILETIME (100 ns since 1601, UTC) the given number of days before now.
std::uint64_t FileTimeDaysAgo(double days);

// Version 1: the path in a fixed field of 260 characters, 544 bytes.
std::string RecordV1(std::uint64_t size, std::uint64_t deletionTime, const std::u16string& path);
// Version 2: the path's length in characters (its NUL counted), then the path.
std::string RecordV2(std::uint64_t size, std::uint64_t deletionTime, const std::u16string& path);
