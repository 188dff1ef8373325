#include "plugin/builtinitems.h"

#include "common/error.h"
#include "common/extkeys.h"
#include "common/strformat.h"
#include "common/tracer.h"
#include "common/urlcache.h"
#include "plugin/keeplist.h"

void CIECookiesItem::DoRun()
{
    TRACE(20, "CIECookiesItem::Run");
    // A task without a keep list keeps no cookie; a damaged one stops the item.
    const StringList keepList = ReadCookieKeepList(GetTaskExtendedData(kCookieKeepListKey));
    int notDeleted = 0;
    CJobCacheTally tally(*this);
    const HRESULT result = DeleteCookies(0, &keepList, &notDeleted, &tally);
    CountNotRemoved(NotRemoved::Failed, notDeleted);
    if (FAILED(result)) throw CError(StrFormat("Cookie cleanup failed. Error: %d", static_cast<int>(result)));
    if (notDeleted > 0) LogWarning(StrFormat("Cookies that could not be deleted: %d.", notDeleted));
    TRACE(20, "CIECookiesItem::Run - done");
}
