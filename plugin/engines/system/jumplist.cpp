#include "plugin/engines/system/jumplist.h"

namespace {

std::uint32_t Little32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

bool Refuse(std::string* why, const char* reason)
{
    if (why != nullptr) *why = reason;
    return false;
}

}  // namespace

bool ReadPinnedCount(const std::string& bytes, std::uint32_t* pinned, std::string* why)
{
    if (bytes.size() < kDestListHeaderSize) return Refuse(why, "its DestList is shorter than its header");
    const std::uint32_t entries = Little32(bytes, 4);
    const std::uint32_t pinnedEntries = Little32(bytes, 8);
    // More pins than entries: the header is not what it seems, and nothing
    // in it can be trusted to say there are no pins.
    if (pinnedEntries > entries) return Refuse(why, "its DestList counts more pinned entries than entries");
    *pinned = pinnedEntries;
    return true;
}
