#pragma once
// Jump lists laid out as the system writes them, for the DestList reader's
// table and for Recent folders built in the test prefix.
#include <cstdint>
#include <string>

// A DestList header (format version 4) with these counts.
std::string DestListHeader(std::uint32_t entries, std::uint32_t pinned);

// Writes a compound file at path whose "DestList" stream holds destList,
// beside a numbered entry stream as the system's lists have; false on failure.
bool WriteJumpListFile(const std::string& path, const std::string& destList);
