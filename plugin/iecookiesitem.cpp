#include "plugin/builtinitems.h"

#include "common/codecs.h"
#include "common/error.h"
#include "common/extkeys.h"
#include "common/strformat.h"
#include "common/tracer.h"
#include "common/urlcache.h"

void CIECookiesItem::DoRun()
{
    TRACE(20, "CIECookiesItem::Run");
    // A task without a keep list keeps no cookie.
    StringList keepList;
    DecodeStringList(GetTaskExtendedData(kCookieKeepListKey), keepList);
    int notDeleted = 0;
    const HRESULT result = DeleteCookies(0, &keepList, &notDeleted);
    if (FAILED(result)) throw CError(StrFormat("Cookie cleanup failed. Error: %d", static_cast<int>(result)));
    if (notDeleted > 0) LogWarning(StrFormat("Cookies that could not be deleted: %d.", notDeleted));
    TRACE(20, "CIECookiesItem::Run - done");
}
