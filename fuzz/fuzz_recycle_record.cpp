// The Recycle Bin's "$I" records, as any file in a Recycle Bin folder may
// hold them.
#include "plugin/engines/system/recyclerecord.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    RecycleRecord record;
    std::string why;
    if (!ParseRecycleRecord(bytes, &record, &why)) {
        if (why.empty()) std::abort();  // every refusal says why
        return 0;
    }
    // A record taken is whole: its path and its NUL fill the record exactly
    // (version 2) or fit the fixed field (version 1).
    if (record.deletionTime == 0 || record.originalPath.empty()) std::abort();
    if (record.version == 1 && (size != kRecycleRecordV1Size || record.originalPath.size() >= 260)) std::abort();
    if (record.version == 2 && size != 28 + 2 * (record.originalPath.size() + 1)) std::abort();
    if (record.version != 1 && record.version != 2) std::abort();
    return 0;
}
