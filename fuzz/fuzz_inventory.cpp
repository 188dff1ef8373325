// The item inventory "task_inventory.ini".
#include "common/error.h"
#include "tasks/inventorytext.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<CInventoryItem> items;
    std::vector<std::string> notes;
    try {
        ParseInventoryText(text, &items, &notes);
    } catch (const CError&) {
        // a malformed GUID ends the reading with the parser's message
    }
    // Only complete items are ever kept.
    for (const CInventoryItem& item : items) {
        if (!item.IsComplete()) std::abort();
    }
    if (items.size() > size / 7 + 1) std::abort();  // each kept item took its own "[ITEM]" line at least
    return 0;
}
