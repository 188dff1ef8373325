#include "support/recycle_records.h"

#include <windows.h>

namespace {

void PutLittle(std::string& bytes, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string Header(std::uint64_t version, std::uint64_t size, std::uint64_t deletionTime)
{
    std::string bytes;
    PutLittle(bytes, version, 8);
    PutLittle(bytes, size, 8);
    PutLittle(bytes, deletionTime, 8);
    return bytes;
}

void PutPath(std::string& bytes, const std::u16string& path)
{
    for (char16_t c : path) PutLittle(bytes, c, 2);
}

}  // namespace

std::uint64_t FileTimeDaysAgo(double days)
{
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t moment = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return moment - static_cast<std::uint64_t>(days * 24 * 3600 * 1e7);
}

std::string RecordV1(std::uint64_t size, std::uint64_t deletionTime, const std::u16string& path)
{
    std::string bytes = Header(1, size, deletionTime);
    PutPath(bytes, path);
    bytes.resize(544, '\0');
    return bytes;
}

std::string RecordV2(std::uint64_t size, std::uint64_t deletionTime, const std::u16string& path)
{
    std::string bytes = Header(2, size, deletionTime);
    PutLittle(bytes, path.size() + 1, 4);
    PutPath(bytes, path);
    PutLittle(bytes, 0, 2);
    return bytes;
}
