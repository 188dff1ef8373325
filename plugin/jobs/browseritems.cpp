#include "plugin/jobs/browseritems.h"

#include "common/error.h"
#include "jobapi/extkeys.h"
#include "common/pathtext.h"
#include "common/paths.h"
#include "common/strformat.h"
#include "common/tracer.h"
#include "plugin/engines/browserdb.h"
#include "plugin/engines/filecleanup.h"
#include "plugin/engines/keeplist.h"

#include <exception>

namespace {

StringList ExistingFiles(const std::string& folder, const std::vector<const char*>& names)
{
    StringList files;
    for (const char* name : names) {
        const std::string path = folder + "\\" + name;
        if (IsExistingFile(path)) files.push_back(path);
    }
    return files;
}

// Deletes through the file engine what the browser's own folders name. The
// engine reads "%" as the start of a variable; such a path is refused.
void DeleteNamedEntry(const BrowserProfile& profile, bool cache, const std::string& relative, bool descend,
                      CCleanupItem& job)
{
    RequireProfileEntry(profile, cache, relative);
    const std::string path = (cache ? profile.cacheFolder : profile.dataFolder) + "\\" + relative;
    if (path.find('%') != std::string::npos) throw CError(path + " holds a % sign; it was not touched");
    DeleteFiles(descend ? path + "\\*" : path, descend, 0, job);
}

// Deletes those of names (files, or folders with all they hold) that the
// profile's data or cache folder has, adding each to cleaned.
void DeleteExistingEntries(const BrowserProfile& profile, bool cache, const std::vector<const char*>& names,
                           bool folders, CCleanupItem& job, StringList& cleaned)
{
    const std::string& parent = cache ? profile.cacheFolder : profile.dataFolder;
    for (const char* name : names) {
        const std::string path = parent + "\\" + name;
        if (folders ? !IsExistingFolder(path) : !IsExistingFile(path)) continue;
        DeleteNamedEntry(profile, cache, name, folders, job);
        cleaned.push_back(name);
    }
}

std::string JoinNames(const StringList& names)
{
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

}  // namespace

StringList ListCookieHosts(BrowserFamily family, const BrowserSettings& settings)
{
    const BrowserFamilyRules& rules = RulesOf(family);
    StringList hosts;
    for (const BrowserProfile& profile : rules.findProfiles(settings).profiles) {
        for (const std::string& database : ExistingFiles(profile.dataFolder, rules.cookieDatabases)) {
            const StringList found = ReadCookieHosts(database, rules.cookieTable, rules.cookieHostColumn);
            hosts.insert(hosts.end(), found.begin(), found.end());
        }
    }
    return hosts;
}

void CBrowserItem::LoadSettings()
{
    m_settings = ReadBrowserSettings(SettingsFile());
}

bool CBrowserItem::IsRunning(const BrowserProfiles& found) const
{
    for (const BrowserProfile& profile : found.profiles) {
        for (const std::string& database : ExistingFiles(profile.dataFolder, m_rules.heldDatabases)) {
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
    const BrowserProfiles found = m_rules.findProfiles(m_settings);
    // Each refusal counts; a list of a million names costs a few records.
    for (const std::string& name : found.refused) {
        CountNotRemoved(NotRemoved::Skipped);
        LogWarningOf("profiles whose folder name is not a plain name",
                     StrFormat("%s: skipped a profile whose folder name is not a plain name: %s", browser.c_str(),
                               name.c_str()));
    }
    for (const std::string& name : found.linked) {
        CountNotRemoved(NotRemoved::Skipped);
        LogWarningOf("profiles whose folder is a link",
                     StrFormat("%s: skipped the profile %s: its folder leads outside the browser's folder (a link); "
                               "it was not touched",
                               browser.c_str(), name.c_str()));
    }
    for (const std::string& problem : found.unreadable) {
        CountNotRemoved(NotRemoved::Failed);
        LogWarningOf("profiles whose folder could not be looked at",
                     StrFormat("%s: skipped the profile %s", browser.c_str(), problem.c_str()));
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
            LogWarningOf("profiles that could not be cleaned",
                         StrFormat("%s, profile %s: %s", browser.c_str(), profile.name.c_str(), failure.what()));
            continue;
        }
        LogInfoOf("profiles cleaned", StrFormat("%s, profile %s: %s", browser.c_str(), profile.name.c_str(), outcome.c_str()));
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
    const StringList databases = ExistingFiles(profile.dataFolder, Rules().cookieDatabases);
    if (databases.empty()) return "no cookie database.";
    long long deleted = 0;
    long long kept = 0;
    for (const std::string& database : databases) {
        RequireProfileEntry(profile, false, database.substr(profile.dataFolder.size() + 1));
        // One file under two names (a hard link, another spelling) is one database.
        const std::string identity = DatabaseIdentity(database);
        if (!m_databasesSeen.insert(identity).second) continue;
        CookieDeletion done;
        const DatabaseCleanup cleanup = CleanDatabase(database, IsPreview(), [&](CSqliteDatabase& db) {
            done = DeleteUnkeptCookies(db, Rules().cookieTable, Rules().cookieHostColumn, *m_keptSites);
        });
        // Counted once the database's change is committed, as SQLite counted
        // it; a preview lists every cookie, each one a thing of its own.
        if (IsPreview()) {
            for (size_t row = 0; row < done.hosts.size(); ++row) {
                CountRemoved(Removed::Cookie, database + ": cookie of " + done.hosts[row], 0, 1,
                             identity + "#" + std::to_string(row));
            }
        } else if (done.removed > 0) {
            CountRemoved(Removed::Cookie, database + ": cookies", 0, done.removed, identity);
        }
        deleted += done.removed;
        kept += done.kept;
        if (!cleanup.warning.empty()) LogWarning(cleanup.warning);
    }
    return StrFormat(IsPreview() ? "%s cookies would be deleted, %s kept." : "%s cookies deleted, %s kept.",
                     std::to_string(deleted).c_str(), std::to_string(kept).c_str());
}

std::string CBrowserHistoryItem::CleanProfile(const BrowserProfile& profile)
{
    const std::string& folder = profile.dataFolder;
    StringList cleaned;
    const auto clean = [&](const char* name, void (*clear)(CSqliteDatabase&)) {
        const std::string path = folder + "\\" + name;
        if (!IsExistingFile(path)) return;
        RequireProfileEntry(profile, false, name);
        const std::string identity = DatabaseIdentity(path);
        const DatabaseCleanup done = CleanDatabase(path, IsPreview(), clear);
        for (const auto& table : done.removedRows) {
            if (table.second > 0) {
                CountRemoved(Removed::Row, path + ": " + table.first, 0, table.second, identity + ": " + table.first);
            }
        }
        if (!done.warning.empty()) LogWarning(done.warning);
        cleaned.push_back(name);
    };
    for (const HistoryStore& store : Rules().historyDatabases) {
        if (!store.formHistory || Settings().formHistory) clean(store.file, store.clear);
    }
    DeleteExistingEntries(profile, false, Rules().historyFiles, false, *this, cleaned);
    if (cleaned.empty()) return "no history found.";
    return (IsPreview() ? "history would be cleared (" : "history cleared (") + JoinNames(cleaned) + ").";
}

std::string CBrowserCacheItem::CleanProfile(const BrowserProfile& profile)
{
    StringList cleaned;
    DeleteExistingEntries(profile, true, Rules().cacheFolders, true, *this, cleaned);
    if (cleaned.empty()) return "no cache found.";
    return (IsPreview() ? "cache would be cleared (" : "cache cleared (") + JoinNames(cleaned) + ").";
}

std::string CBrowserSessionsItem::CleanProfile(const BrowserProfile& profile)
{
    StringList cleaned;
    DeleteExistingEntries(profile, false, Rules().sessionFiles, false, *this, cleaned);
    DeleteExistingEntries(profile, false, Rules().sessionFolders, true, *this, cleaned);
    if (cleaned.empty()) return "no session found.";
    return (IsPreview() ? "session would be deleted (" : "session deleted (") + JoinNames(cleaned) + ").";
}
