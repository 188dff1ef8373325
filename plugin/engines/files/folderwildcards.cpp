#include "plugin/engines/files/folderwildcards.h"

#include "common/error.h"
#include "common/finalpath.h"
#include "common/handles.h"
#include "common/pathtext.h"
#include "plugin/engines/files/treeentry.h"
#include "plugin/engines/files/wildcard.h"

#include <windows.h>

namespace {

bool HasWildcardText(const std::string& part) { return part.find_first_of("*?") != std::string::npos; }

// The matches of parts[index] and below in the open folder at path (really
// at finalPath), appended to found.
void AddMatches(const CTreeEntry& open, const std::string& path, const std::string& finalPath,
                const std::vector<std::string>& parts, size_t index, std::vector<std::string>* found)
{
    if (index == parts.size()) {
        found->push_back(path);
        return;
    }
    std::vector<TreeListing> listing;
    if (open.List(&listing) != ERROR_SUCCESS) return;  // a folder that cannot be listed names nothing
    const std::wstring wanted = WideName(parts[index]);
    const bool wildcard = HasWildcardText(parts[index]);
    for (const TreeListing& listed : listing) {
        if (!(listed.attributes & FILE_ATTRIBUTE_DIRECTORY) || (listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        if (wildcard ? !MatchesWildcard(wanted, listed.name) : ::lstrcmpiW(wanted.c_str(), listed.name.c_str()) != 0)
            continue;
        bool faithful = false;
        const std::string name = NarrowName(listed.name, &faithful);
        if (!faithful || !IsTrustworthyName(name)) continue;
        CTreeEntry folder;
        if (folder.OpenIn(open, listed, EntryKind::Folder) != ERROR_SUCCESS || !folder.IsWhereExpected() ||
            folder.IsReparsePoint())
            continue;
        AddMatches(folder, path + "\\" + name, finalPath + "\\" + name, parts, index + 1, found);
    }
}

}  // namespace

std::vector<std::string> FoldersMatching(const std::string& path)
{
    const std::string normalised = NormaliseSeparators(path);
    const std::vector<std::string> parts = SplitAtBackslashes(normalised);
    size_t first = 0;
    while (first < parts.size() && !HasWildcardText(parts[first])) ++first;
    if (first == parts.size()) return {path};
    if (first < 2) throw CError("Folder wildcards refused: " + path + " (a wildcard right below the drive).");

    std::string base = parts[0];
    for (size_t i = 1; i < first; ++i) base += "\\" + parts[i];
    // The folder before the first wildcard is reached as any pattern's
    // folder is; from there on every part is found in its folder's listing.
    UniqueHandle handle(::CreateFileA(base.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return {};
    const std::string finalBase = FinalPathOf(handle.Get());
    CTreeEntry open;
    if (finalBase.empty() || open.OpenFolderAt(base, finalBase) != ERROR_SUCCESS || !open.IsWhereExpected()) return {};
    std::vector<std::string> found;
    AddMatches(open, base, finalBase, parts, first, &found);
    return found;
}
