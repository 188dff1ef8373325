// A community rules file ("winapp2.ini"), read and judged.
#include "rules/ruleid.h"
#include "rules/rulesafety.h"
#include "rules/rulesfile.h"
#include "rules/wildcardoverlap.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

KnownFolders SomeFolders()
{
    KnownFolders folders;
    folders.userProfile = "C:\\Users\\Bob";
    folders.appData = "C:\\Users\\Bob\\AppData\\Roaming";
    folders.localAppData = "C:\\Users\\Bob\\AppData\\Local";
    folders.documents = "C:\\Users\\Bob\\Documents";
    folders.programFiles = "C:\\Program Files";
    folders.programFilesX86 = "C:\\Program Files (x86)";
    folders.windows = "C:\\Windows";
    folders.systemDrive = "C:";
    return folders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const RulesFile file = ParseRulesText(text, "fuzz.ini");
    // A refused file gives nothing else; each entry took a "[" line of its own.
    if (!file.refused.empty() && (!file.entries.empty() || !file.problems.empty())) std::abort();
    if (file.entries.size() > size / 3 + 1) std::abort();
    static const KnownFolders folders = SomeFolders();
    for (const RuleEntry& entry : file.entries) {
        if (entry.name.empty()) std::abort();
        RuleItemId(entry.name);
        const std::string refusal = RuleEntryRefusal(entry, folders);
        if (!entry.refused.empty() && refusal != entry.refused) std::abort();
        if (!entry.refused.empty()) continue;
        // An entry that may run names something to delete, and every part of it.
        if (entry.fileKeys.empty() && entry.regKeys.empty()) std::abort();
        for (const RuleFileKey& key : entry.fileKeys) {
            if (key.path.empty() || key.masks.empty() || (key.removeSelf && !key.recurse)) std::abort();
            // Every mask matches some name, so it overlaps itself.
            for (const std::string& mask : key.masks) {
                if (!WildcardsOverlap(mask, mask)) std::abort();
            }
        }
    }
    return 0;
}
