#include "plugin/builtinitems.h"

#include "common/codecs.h"
#include "common/extkeys.h"
#include "common/timeutil.h"
#include "plugin/filecleanup.h"

#include <cstdint>

void CTempFolderItem::DoRun()
{
    bool spareRecent = true;
    int hours = kDefaultTempFilesAgeHours;
    DecodeFlagAndNumber(GetTaskExtendedData(kTempFilesAgeKey), &spareRecent, &hours);
    time32 cutoff = 0;  // none: every file goes
    if (spareRecent) {
        // An age reaching back before 1970 spares every file (0 would mean no cut-off).
        const long long moment = static_cast<long long>(GetLocalNow()) - static_cast<long long>(hours) * 3600;
        cutoff = static_cast<time32>(moment < 1 ? 1 : (moment > INT32_MAX ? INT32_MAX : moment));
    }
    DeleteFiles("%TEMP%\\*", true, cutoff, *this);
}
