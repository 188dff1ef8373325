#pragma once
// The cleanup items of the modern browsers: cookies (sparing the task's
// kept sites), history (bookmarks kept) and cache, of every profile. One
// class per family and kind; the browser itself comes from the item's job
// settings file (see browserprofiles.h).
//
// A running browser holds its databases: when one of them cannot be opened
// for exclusive writing, the item touches nothing of that browser and says
// so in a warning. Passwords, bookmarks, autofill and extensions are never
// touched.
#include "common/cookiesites.h"
#include "plugin/browserprofiles.h"
#include "plugin/cleanupitem.h"

#include <memory>
#include <set>
#include <string>

enum class BrowserFamily { Chromium, Firefox };

// Finds the profiles of the browser named by the settings file.
BrowserProfiles FindProfiles(BrowserFamily family, const BrowserSettings& settings);

// The cookie databases of a profile that exist.
StringList CookieDatabasesOf(BrowserFamily family, const BrowserProfile& profile);

// The distinct cookie hosts of every profile, read without changing a file.
StringList ListCookieHosts(BrowserFamily family, const BrowserSettings& settings);

class CBrowserItem : public CCleanupItem {
protected:
    explicit CBrowserItem(BrowserFamily family) : CCleanupItem(RunModeSupport::Counted), m_family(family) {}

    void LoadSettings() override;
    void DoRun() override;

    // Runs before any profile is touched; raising ends the item with nothing changed.
    virtual void Prepare() {}
    // Cleans one profile; the words for its record, such as "history cleared".
    virtual std::string CleanProfile(const BrowserProfile& profile) = 0;

    BrowserFamily Family() const { return m_family; }
    const BrowserSettings& Settings() const { return m_settings; }

private:
    bool IsRunning(const BrowserProfiles& found) const;

    BrowserFamily m_family;
    BrowserSettings m_settings;
};

class CBrowserCookiesItem : public CBrowserItem {
protected:
    using CBrowserItem::CBrowserItem;
    void Prepare() override;
    std::string CleanProfile(const BrowserProfile& profile) override;

private:
    std::unique_ptr<CKeptSites> m_keptSites;
    std::set<std::string> m_databasesSeen;  // by DatabaseIdentity
};

class CBrowserHistoryItem : public CBrowserItem {
protected:
    using CBrowserItem::CBrowserItem;
    std::string CleanProfile(const BrowserProfile& profile) override;
};

class CBrowserCacheItem : public CBrowserItem {
protected:
    using CBrowserItem::CBrowserItem;
    std::string CleanProfile(const BrowserProfile& profile) override;
};

class CChromiumCookiesItem : public CBrowserCookiesItem {
public:
    CChromiumCookiesItem() : CBrowserCookiesItem(BrowserFamily::Chromium) {}
};

class CChromiumHistoryItem : public CBrowserHistoryItem {
public:
    CChromiumHistoryItem() : CBrowserHistoryItem(BrowserFamily::Chromium) {}
};

class CChromiumCacheItem : public CBrowserCacheItem {
public:
    CChromiumCacheItem() : CBrowserCacheItem(BrowserFamily::Chromium) {}
};

class CFirefoxCookiesItem : public CBrowserCookiesItem {
public:
    CFirefoxCookiesItem() : CBrowserCookiesItem(BrowserFamily::Firefox) {}
};

class CFirefoxHistoryItem : public CBrowserHistoryItem {
public:
    CFirefoxHistoryItem() : CBrowserHistoryItem(BrowserFamily::Firefox) {}
};

class CFirefoxCacheItem : public CBrowserCacheItem {
public:
    CFirefoxCacheItem() : CBrowserCacheItem(BrowserFamily::Firefox) {}
};
