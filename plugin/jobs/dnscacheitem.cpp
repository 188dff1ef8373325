#include "plugin/jobs/builtinitems.h"

#include "common/tracer.h"
#include "plugin/engines/system/dnscache.h"

#include <string>

const char kCache[] = "the DNS resolver cache";
const char kService[] = "the DNS Client service";

void CDnsCacheItem::DoRun()
{
    TRACE(20, "CDnsCacheItem::Run");
    if (!DnsClientServiceExists()) {
        TRACE(20, "CDnsCacheItem::Run - no DNS client service");
        ReportNotPresent(kService);
        return;
    }
    // The service flushes all or nothing: a preview only says so.
    if (IsPreview()) {
        CountRemoved(Removed::Store, kCache);
        return;
    }
    const std::string failure = FlushDnsResolverCache();
    if (!failure.empty()) {
        LogWarning("The DNS resolver cache was not flushed: " + failure);
        CountNotRemoved(NotRemoved::Failed);
        return;
    }
    CountRemoved(Removed::Store, kCache);
    TRACE(20, "CDnsCacheItem::Run - done");
}
