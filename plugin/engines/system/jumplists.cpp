#include "plugin/engines/system/jumplists.h"

#include "common/comreference.h"
#include "common/error.h"
#include "common/pathtext.h"
#include "common/strformat.h"
#include "common/strparse.h"
#include "plugin/engines/binaryrecord.h"
#include "plugin/engines/cleanupreport.h"
#include "plugin/engines/files/filecleanup.h"
#include "plugin/engines/files/patternguard.h"
#include "plugin/engines/files/treeentry.h"
#include "plugin/engines/system/jumplist.h"

#include <windows.h>
#include <objbase.h>
#include <ole2.h>

#include <set>
#include <vector>

const char kQuickAccessJumpList[] = "f01b4d95cf55d32a.automaticDestinations-ms";

namespace {

const char kAutomaticFolder[] = "AutomaticDestinations";
const char kAutomaticSuffix[] = ".automaticDestinations-ms";
const char kCustomFolder[] = "CustomDestinations";
const char kCustomSuffix[] = ".customDestinations-ms";

const char kUnreadableKind[] = "jump lists kept because their pins cannot be counted";
const char kPinnedKind[] = "jump lists kept for their pinned items";
const char kUnspellableKind[] = "jump lists kept for names that cannot be used safely";

// The largest file read as a jump list: the system keeps its lists to a
// few hundred entries, far below this.
constexpr std::size_t kLargestJumpList = 64 << 20;

// A jump list seen in its folder's listing.
struct ListedJumpList {
    std::string name;  // as the "A" file functions spell it
    TreeListing listed;
};

// The files of folder whose names end with suffix (case aside), the folder
// left open in opened for them to be read. A name the "A" functions would
// not spell faithfully stays, said and counted.
std::vector<ListedJumpList> ListJumpLists(const std::string& folder, const char* suffix, CTreeEntry* opened,
                                          ICleanupReport& report)
{
    const std::string path = folder + "\\";
    PatternFolder checked;
    DWORD error = CheckPatternFolder(path, path + "*" + suffix, &checked);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    if (error != ERROR_SUCCESS) throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), path.c_str()));
    // Lists behind a link are not the user's to read, nor to delete.
    if (SkipFolderThroughLink(checked, report)) return {};
    std::vector<TreeListing> entries;
    error = opened->OpenFolderAt(checked.path, checked.finalPath);
    if (error == ERROR_SUCCESS) error = opened->List(&entries);
    if (error != ERROR_SUCCESS) throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), path.c_str()));

    std::vector<ListedJumpList> lists;
    for (const TreeListing& entry : entries) {
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        bool faithful = false;
        const std::string name = NarrowName(entry.name, &faithful);
        if (!EndsWithAsciiNoCase(name, suffix)) continue;
        if (!faithful) {
            report.CountNotRemoved(NotRemoved::Skipped);
            report.LogWarningOf(kUnspellableKind, "Kept a jump list whose name cannot be used safely in a path: " +
                                                     path + name);
            continue;
        }
        lists.push_back({name, entry});
    }
    return lists;
}

// The first bytes of the DestList stream of the compound file that file
// holds, up to its header's size; false with the reason otherwise. The
// storage is read from memory: nothing but the checked file is ever opened.
bool ReadDestListStart(const std::string& file, std::string* bytes, std::string* why)
{
    ComReference<ILockBytes> memory;
    HRESULT result = ::CreateILockBytesOnHGlobal(nullptr, TRUE, memory.ReceiveTyped());
    const auto failed = [why, &result](const char* what) {
        return Refuse(why, StrFormat("%s, error 0x%08lX", what, static_cast<unsigned long>(result)));
    };
    ULONG written = 0;
    if (SUCCEEDED(result)) {
        result = memory->WriteAt(ULARGE_INTEGER{}, file.data(), static_cast<ULONG>(file.size()), &written);
    }
    if (FAILED(result) || written != file.size()) return failed("it cannot be held in memory");
    ComReference<IStorage> storage;
    result = ::StgOpenStorageOnILockBytes(memory.Get(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                          storage.ReceiveTyped());
    if (result == STG_E_FILEALREADYEXISTS || result == STG_E_INVALIDHEADER) {
        return Refuse(why, "it is not a compound file");
    }
    if (FAILED(result)) return failed("it cannot be opened as a compound file");
    ComReference<IStream> stream;
    result = storage->OpenStream(L"DestList", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.ReceiveTyped());
    if (FAILED(result)) return failed("its DestList cannot be opened");
    bytes->assign(kDestListHeaderSize, '\0');
    ULONG total = 0;
    while (total < kDestListHeaderSize) {
        ULONG read = 0;
        result = stream->Read(&(*bytes)[total], static_cast<ULONG>(kDestListHeaderSize - total), &read);
        if (FAILED(result)) return failed("its DestList cannot be read");
        if (read == 0) break;
        total += read;
    }
    bytes->resize(total);
    return true;
}

// True when the list may go with pins kept: a compound file whose DestList
// header says it holds no pins. Otherwise it stays, said and counted.
bool HoldsNoPins(const std::string& folder, const CTreeEntry& opened, const ListedJumpList& list,
                 ICleanupReport& report)
{
    const std::string shown = folder + "\\" + list.name;
    std::string file;
    std::string header;
    std::string why;
    std::uint32_t pinned = 0;
    const bool counted = ReadListedFile(opened, list.listed, kLargestJumpList, "any jump list", &file, &why) &&
                         ReadDestListStart(file, &header, &why) && ReadPinnedCount(header, &pinned, &why);
    if (!counted) {
        report.CountNotRemoved(NotRemoved::Skipped);
        // The reason first: a long path is what a record's length cuts.
        report.LogWarningOf(kUnreadableKind, "Kept a jump list whose pins cannot be counted (" + why + "): " + shown);
        return false;
    }
    if (pinned == 0) return true;
    report.CountNotRemoved(NotRemoved::Skipped);
    report.LogInfoOf(kPinnedKind, StrFormat("Kept a jump list that holds %lu pinned items: %s",
                                            static_cast<unsigned long>(pinned), shown.c_str()));
    return false;
}

}  // namespace

void CleanJumpLists(const std::string& recentFolder, JumpListPins pins, ICleanupReport& report)
{
    const std::string recent = NormaliseSeparators(recentFolder);
    const std::string automatic = recent + "\\" + kAutomaticFolder;
    const std::string custom = recent + "\\" + kCustomFolder;
    // A folder that cannot be listed is reported and keeps nothing else
    // from being cleaned.
    try {
        std::set<std::string> names;
        {
            CTreeEntry opened;
            for (const ListedJumpList& list : ListJumpLists(automatic, kAutomaticSuffix, &opened, report)) {
                if (pins == JumpListPins::Keep) {
                    // Quick Access's list is kept without a word: it is the user's, never a trace.
                    if (SamePath(list.name, kQuickAccessJumpList)) continue;
                    if (!HoldsNoPins(automatic, opened, list, report)) continue;
                }
                names.insert(list.name);
            }
        }
        // A list in use now may be pinned to before the restart, which
        // would delete it by path: with its pins kept, it stays.
        DeleteNamedEntries(automatic, names, report,
                           pins == JumpListPins::Keep ? FilesInUse::Keep : FilesInUse::LeaveForRestart);
    } catch (const CError& failure) {
        report.CountNotRemoved(NotRemoved::Failed);
        report.LogError(failure.what());
    }

    // The applications' own lists carry no pin count: they hold what each
    // application lists itself (its tasks and categories), which it writes
    // again when it runs. The user's pins are in the system's lists above.
    try {
        std::set<std::string> names;
        {
            CTreeEntry opened;
            for (const ListedJumpList& list : ListJumpLists(custom, kCustomSuffix, &opened, report)) names.insert(list.name);
        }
        DeleteNamedEntries(custom, names, report);
    } catch (const CError& failure) {
        report.CountNotRemoved(NotRemoved::Failed);
        report.LogError(failure.what());
    }
}
