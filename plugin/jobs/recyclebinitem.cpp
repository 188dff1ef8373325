#include "plugin/jobs/builtinitems.h"

#include "common/codecs.h"
#include "common/error.h"
#include "jobapi/extkeys.h"
#include "plugin/engines/system/recyclebin.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace {

constexpr std::uint64_t kFileTimeUnitsPerDay = 24ULL * 3600 * 10000000;

// The FILETIME before which a deletion is old enough; 0 (none) when the
// setting is missing or off. A number of days below 0 counts as 0: only
// what was deleted before now goes.
std::uint64_t CutoffOf(const std::string& setting)
{
    if (setting.empty()) return 0;
    bool spareRecent = true;
    int days = 0;
    DecodeFlagAndNumber(setting, &spareRecent, &days);
    if (!spareRecent) return 0;
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t moment = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // More days than since 1601 keep everything: never a product that wraps.
    const std::uint64_t wholeDays = static_cast<std::uint64_t>(days < 0 ? 0 : days);
    if (wholeDays >= moment / kFileTimeUnitsPerDay) return 1;  // never 0, which would mean every pair
    return moment - wholeDays * kFileTimeUnitsPerDay;
}

}  // namespace

void CRecycleBinItem::DoRun()
{
    const std::uint64_t cutoff = CutoffOf(GetTaskExtendedData(kRecycleBinAgeKey));
    // A drive whose bin cannot be listed does not keep the others' from
    // being emptied; its error is reported and the job goes on.
    for (const std::string& folder : UserRecycleFolders()) {
        try {
            CleanRecycleFolder(folder, cutoff, *this);
        } catch (const CError& failure) {
            CountNotRemoved(NotRemoved::Failed);
            LogError(failure.what());
        }
    }
}
