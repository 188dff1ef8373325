#pragma once
// The system's DNS resolver cache, which the DNS Client service empties
// all or not at all, flushed by the system's own "ipconfig /flushdns".
#include <string>

// True when the DNS Client service is installed (Wine has none).
bool DnsClientServiceExists();

// Runs the flush without a window, ending the command when it hangs. Empty
// when the cache was flushed, else why not, as the end of a sentence.
std::string FlushDnsResolverCache();
