// A browser's "Local State" file, from which the profiles of a Chromium
// browser are read (the object names under "profile" / "info_cache"), and
// a "Bookmarks" file, from which the bookmarked addresses are read.
#include "plugin/engines/browsers/jsonkeys.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string json(reinterpret_cast<const char*>(data), size);
    StringList names;
    if (ReadJsonObjectNames(json, {"profile", "info_cache"}, names)) {
        for (const std::string& name : names) {
            if (name.size() > json.size()) std::abort();  // a name is never longer than the text it came from
        }
    } else if (!names.empty()) {
        std::abort();  // a text that is not JSON adds no name
    }
    StringList top;
    ReadJsonObjectNames(json, {}, top);
    // Chromium's "Bookmarks": the addresses below "roots".
    StringList urls;
    if (ReadJsonStringValues(json, {"roots"}, "url", urls)) {
        for (const std::string& url : urls) {
            if (url.size() > json.size()) std::abort();
        }
    } else if (!urls.empty()) {
        std::abort();
    }
    return 0;
}
