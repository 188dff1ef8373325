#include "plugin/browseritems.h"

#include "common/error.h"
#include "common/extkeys.h"
#include "common/pathtext.h"
#include "common/paths.h"
#include "common/strformat.h"
#include "common/tracer.h"
#include "plugin/browserdb.h"
#include "plugin/filecleanup.h"
#include "plugin/keeplist.h"

#include <exception>

namespace {

struct CookieTable {
    const char* table;
    const char* hostColumn;
};

CookieTable CookieTableOf(BrowserFamily family)
{
    return family == BrowserFamily::Chromium ? CookieTable{"cookies", "host_key"} : CookieTable{"moz_cookies", "host"};
}

StringList ExistingFiles(const std::string& folder, std::initializer_list<const char*> names)
{
    StringList files;
    for (const char* name : names) {
        const std::string path = folder + "\\" + name;
        if (FileExists(path)) files.push_back(path);
    }
    return files;
}

// The databases a running browser holds open: those that tell it runs.
StringList HeldDatabasesOf(BrowserFamily family, const BrowserProfile& profile)
{
    if (family == BrowserFamily::Chromium) {
        return ExistingFiles(profile.dataFolder, {"Network\\Cookies", "Cookies", "History"});
    }
    return ExistingFiles(profile.dataFolder, {"cookies.sqlite", "places.sqlite"});
}

// Deletes through the file engine what the browser's own folders name. The
// engine reads "%" as the start of a variable; such a path is refused.
void DeleteNamedEntry(const std::string& folder, const std::string& relative, bool descend, CCleanupItem& job)
{
    RequirePlainEntry(folder, relative);
    const std::string path = folder + "\\" + relative;
    if (path.find('%') != std::string::npos) throw CError(path + " holds a % sign; it was not touched");
    DeleteFiles(descend ? path + "\\*" : path, descend, 0, job);
}

std::string JoinNames(const StringList& names)
{
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

}  // namespace

BrowserProfiles FindProfiles(BrowserFamily family, const BrowserSettings& settings)
{
    return family == BrowserFamily::Chromium ? FindChromiumProfiles(settings) : FindFirefoxProfiles(settings);
}

StringList CookieDatabasesOf(BrowserFamily family, const BrowserProfile& profile)
{
    // Chromium moved "Cookies" into "Network"; an older profile may have either.
    if (family == BrowserFamily::Chromium) return ExistingFiles(profile.dataFolder, {"Network\\Cookies", "Cookies"});
    return ExistingFiles(profile.dataFolder, {"cookies.sqlite"});
}

StringList ListCookieHosts(BrowserFamily family, const BrowserSettings& settings)
{
    const CookieTable columns = CookieTableOf(family);
    StringList hosts;
    for (const BrowserProfile& profile : FindProfiles(family, settings).profiles) {
        for (const std::string& database : CookieDatabasesOf(family, profile)) {
            const StringList found = ReadCookieHosts(database, columns.table, columns.hostColumn);
            hosts.insert(hosts.end(), found.begin(), found.end());
        }
    }
    return hosts;
}

void CBrowserItem::LoadSettings()
{
    if (!IsTrustworthyName(GetConfig())) {
        throw CError("Job configuration is invalid (settings file name refused: " + GetConfig() + ")");
    }
    // Beside the program, like every job settings file.
    m_settings = ReadBrowserSettings(GetModuleFilePath(GetConfig().c_str()));
}

bool CBrowserItem::IsRunning(const BrowserProfiles& found) const
{
    for (const BrowserProfile& profile : found.profiles) {
        for (const std::string& database : HeldDatabasesOf(m_family, profile)) {
            if (IsHeldByAnotherProgram(database)) {
                TRACE(20, "CBrowserItem::Run - %s is held by another program", database.c_str());
                return true;
            }
        }
    }
    return false;
}

void CBrowserItem::DoRun()
{
    const std::string& browser = m_settings.name;
    TRACE(20, "CBrowserItem::Run - %s", browser.c_str());
    const BrowserProfiles found = FindProfiles(m_family, m_settings);
    for (const std::string& name : found.refused) {
        LogWarning(StrFormat("%s: skipped a profile whose folder name is not a plain name: %s", browser.c_str(),
                             name.c_str()));
    }
    if (found.profiles.empty()) {
        LogInfo(StrFormat("%s: no profile found.", browser.c_str()));
        return;
    }
    Prepare();
    // Cleaning half of a running browser's data can break its profile.
    if (IsRunning(found)) {
        CountNotRemoved(NotRemoved::Skipped, static_cast<long long>(found.profiles.size()));
        LogWarning(StrFormat("%s is running: close it and run the task again. Nothing of %s was cleaned.",
                             browser.c_str(), browser.c_str()));
        return;
    }
    int failed = 0;
    for (const BrowserProfile& profile : found.profiles) {
        std::string outcome;
        try {
            outcome = CleanProfile(profile);
        } catch (const std::exception& failure) {
            ++failed;
            CountNotRemoved(NotRemoved::Failed);
            LogWarning(StrFormat("%s, profile %s: %s", browser.c_str(), profile.name.c_str(), failure.what()));
            continue;
        }
        LogInfo(StrFormat("%s, profile %s: %s", browser.c_str(), profile.name.c_str(), outcome.c_str()));
    }
    if (failed > 0) {
        throw CError(StrFormat("%s: %d of %d profiles could not be cleaned.", browser.c_str(), failed,
                               static_cast<int>(found.profiles.size())));
    }
    TRACE(20, "CBrowserItem::Run - done");
}

void CBrowserCookiesItem::Prepare()
{
    m_keptSites = std::make_unique<CKeptSites>(ReadCookieKeepList(GetTaskExtendedData(kCookieKeepListKey)));
}

std::string CBrowserCookiesItem::CleanProfile(const BrowserProfile& profile)
{
    const CookieTable columns = CookieTableOf(Family());
    const StringList databases = CookieDatabasesOf(Family(), profile);
    if (databases.empty()) return "no cookie database.";
    int deleted = 0;
    int kept = 0;
    for (const std::string& database : databases) {
        RequirePlainEntry(profile.dataFolder, database.substr(profile.dataFolder.size() + 1));
        StringList hosts;
        const DatabaseCleanup done = CleanDatabase(database, IsPreview(), [&](CSqliteDatabase& db) {
            int keptHere = 0;
            hosts = DeleteUnkeptCookies(db, columns.table, columns.hostColumn, *m_keptSites, &keptHere);
            kept += keptHere;
        });
        // Counted once the database's change is committed.
        for (const std::string& host : hosts) CountRemoved(Removed::Cookie, database + ": cookie of " + host);
        deleted += static_cast<int>(hosts.size());
        if (!done.warning.empty()) LogWarning(done.warning);
    }
    return StrFormat(IsPreview() ? "%d cookies would be deleted, %d kept." : "%d cookies deleted, %d kept.", deleted,
                     kept);
}

std::string CBrowserHistoryItem::CleanProfile(const BrowserProfile& profile)
{
    const std::string& folder = profile.dataFolder;
    StringList cleaned;
    const auto clean = [&](const char* name, void (*clear)(CSqliteDatabase&)) {
        const std::string path = folder + "\\" + name;
        if (!FileExists(path)) return;
        RequirePlainEntry(folder, name);
        const DatabaseCleanup done = CleanDatabase(path, IsPreview(), clear);
        for (const auto& table : done.removedRows) {
            if (table.second > 0) CountRemoved(Removed::Row, path + ": " + table.first, 0, table.second);
        }
        if (!done.warning.empty()) LogWarning(done.warning);
        cleaned.push_back(name);
    };
    if (Family() == BrowserFamily::Chromium) {
        clean("History", &ClearChromiumHistory);
        clean("Top Sites", &ClearChromiumTopSites);
        clean("Shortcuts", &ClearChromiumShortcuts);
        // Not a database: a table of hashes of the addresses visited.
        if (FileExists(folder + "\\Visited Links")) {
            DeleteNamedEntry(folder, "Visited Links", false, *this);
            cleaned.push_back("Visited Links");
        }
    } else {
        clean("places.sqlite", &ClearFirefoxHistory);
        if (Settings().formHistory) clean("formhistory.sqlite", &ClearFirefoxFormHistory);
    }
    if (cleaned.empty()) return "no history found.";
    return (IsPreview() ? "history would be cleared (" : "history cleared (") + JoinNames(cleaned) + ").";
}

std::string CBrowserCacheItem::CleanProfile(const BrowserProfile& profile)
{
    StringList cleaned;
    const StringList folders = Family() == BrowserFamily::Chromium ? StringList{"Cache", "Code Cache", "GPUCache"}
                                                                   : StringList{"cache2"};
    for (const std::string& name : folders) {
        if (!FolderExists(profile.cacheFolder + "\\" + name)) continue;
        DeleteNamedEntry(profile.cacheFolder, name, true, *this);
        cleaned.push_back(name);
    }
    if (cleaned.empty()) return "no cache found.";
    return (IsPreview() ? "cache would be cleared (" : "cache cleared (") + JoinNames(cleaned) + ").";
}
