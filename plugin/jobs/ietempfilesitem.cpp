#include "plugin/jobs/builtinitems.h"

#include "common/error.h"
#include "common/strformat.h"
#include "common/tracer.h"
#include "plugin/engines/browsers/urlcache.h"

void CIETempFilesItem::DoRun()
{
    TRACE(20, "CIETempFilesItem::Run");
    // No cut-off: every entry that is not a cookie goes, whatever its age.
    int notDeleted = 0;
    const HRESULT result = DeleteTempCacheEntries(0, 0, &notDeleted, this);
    CountNotRemoved(NotRemoved::Failed, notDeleted);
    if (FAILED(result)) throw CError(StrFormat("Temp files cleanup failed. Error: %d", static_cast<int>(result)));
    if (notDeleted > 0) LogWarning(StrFormat("Cached files that could not be deleted: %d.", notDeleted));
    TRACE(20, "CIETempFilesItem::Run - done");
}
