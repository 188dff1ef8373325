// The catalogue file "task_inventory.ini".
#include "common/error.h"
#include "tasks/cataloguetext.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<CCatalogueItem> items;
    std::vector<std::string> notes;
    try {
        ParseCatalogueText(text, &items, &notes);
    } catch (const CError&) {
        // a malformed GUID ends the reading with the parser's message
    }
    // Only complete items are ever kept.
    for (const CCatalogueItem& item : items) {
        if (!item.IsComplete()) std::abort();
    }
    if (items.size() > size / 7 + 1) std::abort();  // each kept item took its own "[ITEM]" line at least
    return 0;
}
