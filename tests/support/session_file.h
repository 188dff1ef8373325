#pragma once
// Reads a session data file byte for byte, independently of the program's reader.
#include <cstdint>
#include <string>
#include <vector>

struct RawSessionRecord {
    std::string magic;
    std::uint32_t version = 0;
    std::uint32_t sequence = 0;
    std::int32_t type = 0;
    std::string message;      // up to the first NUL
    bool messageZeroPadded = false;
    std::int32_t time = 0;
    bool reservedZero = false;
};

// The records of the file; false when it cannot be read or its size is not
// a multiple of 272 bytes.
bool ReadSessionFile(const std::string& path, std::vector<RawSessionRecord>* records);

std::vector<std::string> Messages(const std::vector<RawSessionRecord>& records);
