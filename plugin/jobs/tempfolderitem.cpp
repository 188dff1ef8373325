#include "plugin/jobs/builtinitems.h"

#include "common/codecs.h"
#include "jobapi/extkeys.h"
#include "common/timeutil.h"
#include "plugin/engines/files/filecleanup.h"

#include <cstdint>

void CTempFolderItem::DoRun()
{
    bool spareRecent = true;
    int hours = kDefaultTempFilesAgeHours;
    DecodeFlagAndNumber(GetTaskExtendedData(kTempFilesAgeKey), &spareRecent, &hours);
    time32 cutoff = 0;  // none: every file goes
    if (spareRecent) {
        // The cut-off may lie before 1970 (the engine compares in 64 bits);
        // it is held to the 32-bit range, and never 0, which means none.
        long long moment = static_cast<long long>(GetLocalNow()) - static_cast<long long>(hours) * 3600;
        if (moment < INT32_MIN + 1LL) moment = INT32_MIN + 1LL;
        if (moment > INT32_MAX) moment = INT32_MAX;
        if (moment == 0) moment = -1;
        cutoff = static_cast<time32>(moment);
    }
    DeleteFiles("%TEMP%\\*", true, cutoff, *this);
}
