#pragma once
// What the refusals make from a table of known folders (folders split into
// parts, patterns built), made again only when another table is asked: a
// rules file judges thousands of paths with one table. Kept per thread.
#include "rules/rulevariables.h"

template <typename Made, Made (*Make)(const KnownFolders&)>
const Made& MadeForTable(const KnownFolders& folders)
{
    thread_local KnownFolders madeFrom;
    thread_local Made made = Make(madeFrom);
    if (folders != madeFrom) {
        made = Make(folders);
        madeFrom = folders;
    }
    return made;
}
