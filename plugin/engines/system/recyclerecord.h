#pragma once
// The record the system writes beside each thing in a Recycle Bin folder:
// "$I<name>" tells when "$R<name>" was deleted and from where. Pure, so that
// it can be fuzzed: bytes in, a record or a reason out.
//
// Both versions are little-endian: an 8-byte version (1 or 2), the 8-byte
// original size, the deletion time as a FILETIME (UTC). Version 1 follows
// with the original path in a fixed field of 260 UTF-16 characters (544 bytes
// in all); version 2 with a 4-byte count of UTF-16 characters, the closing
// NUL included, and exactly that many characters.
#include <cstdint>
#include <string>

struct RecycleRecord {
    int version = 0;
    std::uint64_t originalSize = 0;
    std::uint64_t deletionTime = 0;  // 100 ns since 1601, UTC
    std::u16string originalPath;     // without its NUL
};

constexpr std::size_t kRecycleRecordV1Size = 544;
// The largest record either version can be: a version 2 path of 32767
// characters and its NUL.
constexpr std::size_t kRecycleRecordMaxSize = 28 + 2 * 32768;

// False, with the reason in why, for anything but a whole record of version
// 1 or 2 with a deletion time and a path.
bool ParseRecycleRecord(const std::string& bytes, RecycleRecord* record, std::string* why);
