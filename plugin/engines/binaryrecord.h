#pragma once
// What the parsers of binary records (recycle records, jump lists, cache
// entries) share: numbers stored least significant byte first, and the
// refusal that says why a record is not read.
#include <cstddef>
#include <cstdint>
#include <string>

// The width bytes at offset at; the caller has checked they are there.
inline std::uint64_t LittleEndian(const std::string& bytes, std::size_t at, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

// False, with reason in why unless why is null.
inline bool Refuse(std::string* why, const std::string& reason)
{
    if (why != nullptr) *why = reason;
    return false;
}
