#pragma once
// The space freed by deleting the names of files that have several (hard
// links). Deleting one name of such a file frees nothing while another name
// keeps it; the name that leaves it with none frees all of it. A preview
// and a clean count the same way: each file's names are counted from how
// many it had when the run first met it, not from how many a clean has left
// by the time it meets the next one.
#include "plugin/engines/files/treeentry.h"

#include <map>
#include <set>
#include <string>
#include <utility>

class CHardLinkTally {
public:
    // Takes note that the name of the file (its full path) goes, or in a
    // preview would go, and returns how many of its bytes that frees: all
    // of them when it is the last of the names the file had when first met,
    // none otherwise. A file with one name frees its bytes at once.
    long long NameGone(const FileIdentity& file, const std::string& name, long long bytes);

private:
    struct Names {
        unsigned long had = 0;        // when the run first met the file
        std::set<std::string> gone;  // those gone (or that would go) since
    };
    std::map<std::pair<DWORD, unsigned long long>, Names> m_files;
};

// The tally of this process's clean, or of its preview: a task process runs
// one of them, through every item, so names of one file met by two items
// count once. Engines run on one thread.
CHardLinkTally& HardLinkTallyOf(bool preview);
