#include "plugin/engines/system/recyclerecord.h"

#include "plugin/engines/binaryrecord.h"

namespace {

// The UTF-16 text of count characters at offset, up to its first NUL;
// false when there is no NUL among them.
bool PathUpToNul(const std::string& bytes, std::size_t at, std::size_t count, std::u16string* path)
{
    path->clear();
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t c = static_cast<char16_t>(static_cast<unsigned char>(bytes[at + 2 * i]) |
                                                 static_cast<unsigned char>(bytes[at + 2 * i + 1]) << 8);
        if (c == u'\0') return true;
        path->push_back(c);
    }
    return false;
}

}  // namespace

bool ParseRecycleRecord(const std::string& bytes, RecycleRecord* record, std::string* why)
{
    constexpr std::size_t kHeaderSize = 24;
    if (bytes.size() < kHeaderSize) return Refuse(why, "shorter than its header");
    const std::uint64_t version = LittleEndian(bytes, 0, 8);
    RecycleRecord parsed;
    parsed.originalSize = LittleEndian(bytes, 8, 8);
    parsed.deletionTime = LittleEndian(bytes, 16, 8);
    if (version == 1) {
        if (bytes.size() != kRecycleRecordV1Size) return Refuse(why, "not the size of a version 1 record");
        if (!PathUpToNul(bytes, kHeaderSize, 260, &parsed.originalPath)) return Refuse(why, "path without an end");
    } else if (version == 2) {
        if (bytes.size() < kHeaderSize + 4) return Refuse(why, "shorter than its header");
        const std::uint64_t count = LittleEndian(bytes, kHeaderSize, 4);
        // Compared in 64 bits: a hostile count cannot wrap the product.
        if (count == 0 || static_cast<std::uint64_t>(bytes.size()) != kHeaderSize + 4 + 2ULL * count) {
            return Refuse(why, "path length does not match the record's size");
        }
        if (!PathUpToNul(bytes, kHeaderSize + 4, count, &parsed.originalPath) ||
            parsed.originalPath.size() + 1 != count) {
            return Refuse(why, "path does not end where its length says");
        }
    } else {
        return Refuse(why, "unknown version");
    }
    if (parsed.deletionTime == 0) return Refuse(why, "no deletion time");
    if (parsed.originalPath.empty()) return Refuse(why, "no original path");
    parsed.version = static_cast<int>(version);
    *record = parsed;
    return true;
}
