#pragma once
// The header of the "DestList" stream of a jump list (an
// ".automaticDestinations-ms" compound file), which says how many of the
// list's entries the user pinned. Pure, so that it can be fuzzed: bytes in,
// a count or a reason out.
//
// The header is 32 bytes, little-endian: the format version (4 bytes), the
// number of entries (4), the number of pinned entries (4), a float (4), the
// last entry number (8) and the count of additions and deletions (8).
#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::size_t kDestListHeaderSize = 32;

// The number of pinned entries of the stream that starts with bytes (the
// header is enough); false, with the reason in why, when the bytes hold no
// whole header or one that contradicts itself.
bool ReadPinnedCount(const std::string& bytes, std::uint32_t* pinned, std::string* why);
