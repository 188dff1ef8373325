#pragma once
// The site data that browsers keep in SQLite databases, cleaned as the
// cookie databases are (browserdb.h): one exclusive transaction on an
// intact file (a database its browser holds is refused and stays whole),
// rows chosen in the statement that deletes them by a function of this
// connection, the log folded back and emptied, deleted bytes overwritten.
// Rows whose site cannot be told stay.
#include "common/codecs.h"
#include "plugin/engines/sitedata/sitestore.h"

#include <string>

class CKeptSites;

// Firefox "webappsstore.sqlite", its older local storage: the rows of
// webappsstore2 keyed by originKey (siteorigins.h).
SiteStoreCleanup CleanFirefoxWebAppsStore(const std::string& path, bool preview, const CKeptSites& keptSites,
                                          const SiteFolderRemover&);
StringList ReadFirefoxWebAppsStoreHosts(const std::string& path);

// Favicons: the rows of each page of a site that is neither kept nor
// bookmarked go, then the icons no page uses any more and their images.
// The bookmarks are read first; when they cannot be (a damaged file, or
// one whose browser did not close it cleanly) the favicons stay untouched.
// Chromium "Favicons" (icon_mapping, favicons, favicon_bitmaps), its
// bookmarks the addresses in "Bookmarks" beside it.
SiteStoreCleanup CleanChromiumFavicons(const std::string& path, bool preview, const CKeptSites& keptSites,
                                       const SiteFolderRemover&);
StringList ReadChromiumFaviconHosts(const std::string& path);
// Firefox "favicons.sqlite" (moz_pages_w_icons, moz_icons_to_pages,
// moz_icons; a site's root icon, which no page row names, goes with its
// site), its bookmarks those of "places.sqlite" beside it.
SiteStoreCleanup CleanFirefoxFavicons(const std::string& path, bool preview, const CKeptSites& keptSites,
                                      const SiteFolderRemover&);
StringList ReadFirefoxFaviconHosts(const std::string& path);

// Chromium "WebStorage\QuotaManager", its storage buckets: the rows of
// buckets keyed by storage_key (siteorigins.h), and the folder of each
// bucket that goes (named by its id, beside the database) for the item.
SiteStoreCleanup CleanChromiumStorageBuckets(const std::string& path, bool preview, const CKeptSites& keptSites,
                                          const SiteFolderRemover& removeFolder);
StringList ReadChromiumStorageBucketHosts(const std::string& path);

// Chromium "Shared Dictionary\db": the rows of dictionaries whose frame
// origin is a gone site's (the site that stored it, whatever page it was
// framed in), the recorded total size brought in line. The dictionaries'
// bodies in the cache folder beside it are not read or touched.
SiteStoreCleanup CleanChromiumSharedDictionaries(const std::string& path, bool preview, const CKeptSites& keptSites,
                                                 const SiteFolderRemover&);
StringList ReadChromiumSharedDictionaryHosts(const std::string& path);
