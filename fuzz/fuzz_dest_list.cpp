// The DestList header of a jump list, as any file in the system's jump
// list folder may hold it.
#include "plugin/engines/system/jumplist.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::uint32_t pinned = 0;
    std::string why;
    if (!ReadPinnedCount(bytes, &pinned, &why)) {
        if (why.empty()) std::abort();  // every refusal says why
        return 0;
    }
    // A count taken came from a whole header, and is the one at offset 8.
    if (size < kDestListHeaderSize) std::abort();
    const std::uint32_t atEight = data[8] | data[9] << 8 | data[10] << 16 | static_cast<std::uint32_t>(data[11]) << 24;
    if (pinned != atEight) std::abort();
    return 0;
}
