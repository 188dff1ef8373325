#pragma once
// Firefox "serviceworker.txt" (serviceworkerlist.h) cleaned site by site.
// A file that is not a list this program knows is never rewritten.
#include "common/codecs.h"
#include "plugin/engines/sitedata/sitestore.h"

#include <string>

class CKeptSites;

// Rewrites the file without the registrations of sites that are not kept
// (a preview only counts them): the new text goes to a file beside it,
// flushed, that then replaces it, so a failure leaves it whole. A missing
// file holds nothing; one another program holds is refused.
SiteStoreCleanup CleanFirefoxServiceWorkers(const std::string& path, bool preview, const CKeptSites& keptSites,
                                            const SiteFolderRemover&);
StringList ReadFirefoxServiceWorkerHosts(const std::string& path);
