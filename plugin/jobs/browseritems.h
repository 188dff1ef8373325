#pragma once
// The cleanup items of the modern browsers: cookies (sparing the task's
// kept sites), history (bookmarks kept) and cache, of every profile. One
// class per kind, made for a family (browserfamilies.h); the browser itself
// comes from the item's job settings file (see browserprofiles.h).
//
// A running browser holds its databases: when one of them cannot be opened
// for exclusive writing, the item touches nothing of that browser and says
// so in a warning. Passwords, bookmarks, autofill and extensions are never
// touched.
#include "common/cookiesites.h"
#include "plugin/engines/browsers/browserfamilies.h"
#include "plugin/jobs/cleanupitem.h"

#include <memory>
#include <set>
#include <string>

// The distinct cookie hosts of every profile, read without changing a file.
StringList ListCookieHosts(BrowserFamily family, const BrowserSettings& settings);
// The hosts of the sites with site data in any profile, read the same way.
StringList ListSiteDataHosts(BrowserFamily family, const BrowserSettings& settings);

class CBrowserItem : public CCleanupItem {
protected:
    explicit CBrowserItem(BrowserFamily family)
        : CCleanupItem(RunModeSupport::Counted), m_rules(RulesOf(family))
    {
    }

    void LoadSettings() override;
    void DoRun() override;

    // Runs before any profile is touched; raising ends the item with nothing changed.
    virtual void Prepare() {}
    // Cleans one profile; the words for its record, such as "history cleared".
    virtual std::string CleanProfile(const BrowserProfile& profile) = 0;

    const BrowserFamilyRules& Rules() const { return m_rules; }
    const BrowserSettings& Settings() const { return m_settings; }

private:
    bool IsRunning(const BrowserProfiles& found) const;

    const BrowserFamilyRules& m_rules;
    BrowserSettings m_settings;
};

class CBrowserCookiesItem : public CBrowserItem {
public:
    explicit CBrowserCookiesItem(BrowserFamily family) : CBrowserItem(family) {}

protected:
    void Prepare() override;
    std::string CleanProfile(const BrowserProfile& profile) override;

private:
    std::unique_ptr<CKeptSites> m_keptSites;
    std::set<std::string> m_databasesSeen;  // by DatabaseIdentity
};

class CBrowserHistoryItem : public CBrowserItem {
public:
    explicit CBrowserHistoryItem(BrowserFamily family) : CBrowserItem(family) {}

protected:
    std::string CleanProfile(const BrowserProfile& profile) override;
};

class CBrowserCacheItem : public CBrowserItem {
public:
    explicit CBrowserCacheItem(BrowserFamily family) : CBrowserItem(family) {}

protected:
    std::string CleanProfile(const BrowserProfile& profile) override;
};

// The session a browser restores at its next start: the tabs and windows
// open when it closed, with their pages' addresses and form contents. They
// are not kept site by site; the item is for those who choose to lose them.
class CBrowserSessionsItem : public CBrowserItem {
public:
    explicit CBrowserSessionsItem(BrowserFamily family) : CBrowserItem(family) {}

protected:
    std::string CleanProfile(const BrowserProfile& profile) override;
};

// Site data: every store in which a site keeps what it wrote (Local and
// Session Storage, IndexedDB, service workers, File System, favicons,
// Firefox's per-site storage and files), sparing the kept sites as the
// cookie items do, so a site can no longer restore a deleted cookie from it.
class CBrowserSiteDataItem : public CBrowserItem {
public:
    explicit CBrowserSiteDataItem(BrowserFamily family) : CBrowserItem(family) {}

protected:
    void Prepare() override;
    std::string CleanProfile(const BrowserProfile& profile) override;

private:
    struct SiteTally {
        std::set<std::string> gone;
        std::set<std::string> kept;
    };
    void CleanLocalStorage(const BrowserProfile& profile, SiteTally& tally);
    void CleanSiteFolders(const BrowserProfile& profile, const SiteFolders& folders, SiteTally& tally);
    // sitedatafiles.cpp
    void CleanSiteDataFiles(const BrowserProfile& profile, SiteTally& tally);
    void CleanSiteDataFile(const BrowserProfile& profile, const SiteDataFile& store, SiteTally& tally);

    std::unique_ptr<CKeptSites> m_keptSites;
};
