#include "plugin/jobs/builtinitems.h"

#include "common/error.h"
#include "common/strformat.h"
#include "common/tracer.h"
#include "plugin/engines/browsers/urlcache.h"

void CIEHistoryItem::DoRun()
{
    TRACE(20, "CIEHistoryItem::Run");
    // The history object clears all or nothing: a preview only says so.
    if (IsPreview()) {
        CountRemoved(Removed::Operation, "the browser history (all of it)");
        TRACE(20, "CIEHistoryItem::Run - done");
        return;
    }
    // COM is initialised on this thread by the program's start-up.
    const HRESULT result = ClearUrlHistory(0);
    if (FAILED(result)) CountNotRemoved(NotRemoved::Failed);
    if (FAILED(result)) throw CError(StrFormat("History cleanup failed. Error: %d", static_cast<int>(result)));
    CountRemoved(Removed::Operation, "the browser history (all of it)");
    TRACE(20, "CIEHistoryItem::Run - done");
}
