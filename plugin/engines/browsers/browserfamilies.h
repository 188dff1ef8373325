#pragma once
// What tells one family of browsers from another: where its profiles are
// listed, which databases and folders a profile keeps, and how its cookies
// are keyed. Every item of the modern browsers reads its family's row; a
// browser built on a family (another Chromium browser) needs no row of its
// own, only a job settings file naming its folders (browserprofiles.h).
#include "plugin/engines/browsers/browserprofiles.h"
#include "plugin/engines/sitedata/sitestore.h"

#include <string>
#include <vector>

class CKeptSites;
class CSqliteDatabase;

enum class BrowserFamily { Chromium, Firefox };

// A history database of a profile and what clears it.
struct HistoryStore {
    const char* file;                  // in the profile's data folder
    void (*clear)(CSqliteDatabase&);   // browserdb.h
    bool formHistory;                  // only where the settings ask for form entries
};

// A folder that holds one folder per site, each named for its site.
struct SiteFolders {
    const char* folder;                              // in the profile's data folder
    std::string (*hostOf)(const std::string& name);  // siteorigins.h
};

// A file in which sites keep data, read and cleaned site by site
// (sitedatasqlite.h, serviceworkers.h).
struct SiteDataFile {
    const char* file;  // in the profile's data folder
    SiteStoreCleanup (*clean)(const std::string& path, bool preview, const CKeptSites& keptSites,
                              const SiteFolderRemover& removeFolder);
    StringList (*hosts)(const std::string& path);
};

struct BrowserFamilyRules {
    BrowserProfiles (*findProfiles)(const BrowserSettings&);
    // The cookie databases a profile may have, in the order they are
    // cleaned (a profile may have more than one: Chromium moved "Cookies"
    // into "Network"), and the table and column that key each cookie.
    std::vector<const char*> cookieDatabases;
    const char* cookieTable;
    const char* cookieHostColumn;
    // The databases and lock files a running browser holds open: those
    // that tell it runs.
    std::vector<const char*> heldDatabases;
    std::vector<HistoryStore> historyDatabases;
    // History kept in files that are not databases, deleted whole.
    std::vector<const char*> historyFiles;
    // Folders of the profile's cache folder, emptied and removed.
    std::vector<const char*> cacheFolders;
    // Site data: the Local Storage store (LevelDB; null where the family
    // keeps none) and the folders of per-site folders.
    const char* localStorage;
    std::vector<SiteFolders> siteFolders;
    std::vector<SiteDataFile> siteDataFiles;
    // The open tabs and windows kept to restore a session: files and
    // folders of the data folder, deleted whole.
    std::vector<const char*> sessionFiles;
    std::vector<const char*> sessionFolders;
    // Session Storage, service workers and File System, stores of the
    // Chromium family alone (sitedata/chromiumstorecleaner.h).
    bool chromiumStores = false;
};

const BrowserFamilyRules& RulesOf(BrowserFamily family);
