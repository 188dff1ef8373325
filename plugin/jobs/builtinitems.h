#pragma once
// The plug-in's built-in cleanup items. None has a settings file; the jump
// list items read their configuration text. Each does its whole work in
// DoRun, in a source file of its own.
#include "plugin/jobs/cleanupitem.h"

class CBuiltInItem : public CCleanupItem {
public:
    CBuiltInItem() : CCleanupItem(RunModeSupport::Counted) {}

protected:
    void LoadSettings() override {}
};

// The do-nothing job: the catalogue's groups run it. It removes nothing and
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

// Hands sink the names of the URL cache's cookie entries (a keep list holds
// them as they are), or the reason they could not be listed: the system's
// description of the failure and its code.
void ListUrlCacheCookies(ICookieHostSink& sink);

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

// Deletes the current user's Recycle Bin on every fixed drive by its
// records, through the file deletion engine and never the shell; with the
// task's age setting on, only what was deleted more than its number of days
// ago.
class CRecycleBinItem : public CBuiltInItem {
protected:
    void DoRun() override;
};

// Deletes the jump lists of the user's Recent folder. With an empty
// configuration, lists that hold pinned items, Quick Access's list and any
// list whose pins cannot be counted stay; with "pins", every list goes.
class CJumpListsItem : public CBuiltInItem {
protected:
    void LoadSettings() override;
    void DoRun() override;

private:
    bool m_deletePins = false;
};

// Empties the clipboard of what it holds now, through the clipboard API.
class CClipboardItem : public CBuiltInItem {
protected:
    void DoRun() override;
};

// Clears the clipboard history Windows 10 1809 and later keep (pinned items
// stay), through the Windows Runtime clipboard class; where that class is
// missing the item says the history is not present.
class CClipboardHistoryItem : public CBuiltInItem {
protected:
    void DoRun() override;
};

// Flushes the DNS client's cache of names resolved lately with the
// system's own "ipconfig /flushdns"; without the DNS Client service the
// item says it is not present.
class CDnsCacheItem : public CBuiltInItem {
protected:
    void DoRun() override;
};

// Clears the browser's typed-address list and its two search lists.
class CTypedURLsItem : public CBuiltInItem {
protected:
    void DoRun() override;
};
