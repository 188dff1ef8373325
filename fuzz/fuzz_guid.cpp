// GUID texts, as task files, the inventory and the command line hold them.
#include "common/error.h"
#include "common/guid.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    GUID guid;
    try {
        guid = StringToGuid(text);
    } catch (const CError&) {
        return 0;  // refused with a message: what the callers expect
    }
    // A text taken for a GUID is that GUID, in either case, braced or not.
    const std::string written = GuidToString(guid);
    const std::string bare = text.front() == '{' ? text.substr(1, 36) : text;
    if (bare.size() != written.size()) std::abort();
    for (size_t i = 0; i < bare.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(bare[i])) != written[i]) std::abort();
    }
    if (!SameGuid(StringToGuid(written), guid)) std::abort();
    return 0;
}
