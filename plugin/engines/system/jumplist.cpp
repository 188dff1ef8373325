#include "plugin/engines/system/jumplist.h"

#include "plugin/engines/binaryrecord.h"

bool ReadPinnedCount(const std::string& bytes, std::uint32_t* pinned, std::string* why)
{
    if (bytes.size() < kDestListHeaderSize) return Refuse(why, "its DestList is shorter than its header");
    const std::uint64_t entries = LittleEndian(bytes, 4, 4);
    const std::uint64_t pinnedEntries = LittleEndian(bytes, 8, 4);
    // More pins than entries: the header is not what it seems, and nothing
    // in it can be trusted to say there are no pins.
    if (pinnedEntries > entries) return Refuse(why, "its DestList counts more pinned entries than entries");
    *pinned = static_cast<std::uint32_t>(pinnedEntries);
    return true;
}
