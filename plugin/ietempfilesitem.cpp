#include "plugin/ietempfilesitem.h"

#include "common/error.h"
#include "common/strformat.h"
#include "common/tracer.h"
#include "common/urlcache.h"

void CIETempFilesItem::DoRun()
{
    TRACE(20, "CIETempFilesItem::Run");
    // No cut-off: every entry that is not a cookie goes, whatever its age.
    const HRESULT result = DeleteTempCacheEntries(0, 0);
    if (FAILED(result)) throw CError(StrFormat("Temp files cleanup failed. Error: %d", static_cast<int>(result)));
    TRACE(20, "CIETempFilesItem::Run - done");
}
