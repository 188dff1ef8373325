#pragma once
#include "plugin/cleanupitem.h"

// Deletes the browser's cached pages and files: every URL cache entry that
// is not a cookie.
class CIETempFilesItem : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override;
};
