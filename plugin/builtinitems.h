#pragma once
// The plug-in's built-in cleanup items. None has settings of its own; each
// does its whole work in DoRun, in a source file of its own.
#include "common/urlcache.h"
#include "plugin/cleanupitem.h"

class CBuiltInItem : public CCleanupItem {
public:
    CBuiltInItem() : CCleanupItem(RunModeSupport::Counted) {}

protected:
    void LoadSettings() override {}
};

// The do-nothing job: the inventory's groups run it. It removes nothing and
// so reports nothing, in a clean or a preview.
class CNullItem : public CCleanupItem {
public:
    CNullItem() : CCleanupItem(RunModeSupport::Silent) {}

protected:
    void LoadSettings() override {}
    void DoRun() override {}
};

// Deletes the browser's cookies except those on the task's cookie keep list
// (the cache entry names the console offered, compared exactly).
class CIECookiesItem : public CBuiltInItem {
protected:
    void DoRun() override;
};

// Clears the browser history through the system's URL history object.
class CIEHistoryItem : public CBuiltInItem {
protected:
    void DoRun() override;
};

// Deletes the browser's cached pages and files: every URL cache entry that
// is not a cookie.
class CIETempFilesItem : public CBuiltInItem {
protected:
    void DoRun() override;
};

// Deletes the files of the user's recent-documents folder; subfolders stay.
class CRecentDocumentsItem : public CBuiltInItem {
protected:
    void DoRun() override;
};

// Deletes the contents of the user's temporary folder at every depth,
// sparing files written within the task's age limit (48 hours by default).
class CTempFolderItem : public CBuiltInItem {
protected:
    void DoRun() override;
};

// Clears the browser's typed-address list and its two search lists.
class CTypedURLsItem : public CBuiltInItem {
protected:
    void DoRun() override;
};

// Tells a job what a walk of the URL cache removed (or would remove).
class CJobCacheTally : public UrlCacheTally {
public:
    explicit CJobCacheTally(CCleanupItem& job) : m_job(job) {}
    bool IsPreview() const override { return m_job.IsPreview(); }
    void Removed(const std::string& name, bool cookie, long long size) override
    {
        m_job.CountRemoved(cookie ? ::Removed::Cookie : ::Removed::CacheEntry, name, size);
    }

private:
    CCleanupItem& m_job;
};
