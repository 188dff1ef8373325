#include "plugin/engines/sitedata/simplecache.h"

#include "plugin/engines/binaryrecord.h"

namespace {

// The header: a magic number (8 bytes), the format's version, the key's
// length and its hash (4 bytes each), padded to 8-byte alignment; the key
// follows it. Numbers are little-endian.
const std::uint64_t kInitialMagicNumber = 0xfcfb6d1ba7725c30ULL;
const std::size_t kHeaderSize = 24;
const std::size_t kKeyLengthOffset = 12;

bool IsLowerHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

bool IsSimpleCacheEntryFileName(const std::string& name)
{
    if (name.size() != 18 || name[16] != '_') return false;
    if (name[17] != '0' && name[17] != '1' && name[17] != 's') return false;
    for (std::size_t i = 0; i < 16; ++i) {
        if (!IsLowerHexDigit(name[i])) return false;
    }
    return true;
}

std::string KeyOfSimpleCacheEntry(const std::string& head)
{
    if (head.size() < kHeaderSize || LittleEndian(head, 0, 8) != kInitialMagicNumber) return std::string();
    const std::uint64_t keyLength = LittleEndian(head, kKeyLengthOffset, 4);
    if (keyLength == 0 || keyLength > kSimpleCacheKeyLimit || keyLength > head.size() - kHeaderSize) return std::string();
    return head.substr(kHeaderSize, static_cast<std::size_t>(keyLength));
}
