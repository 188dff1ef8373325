#pragma once
#include "plugin/cleanupitem.h"

// Deletes the browser's cookies except those on the task's cookie keep list
// (the cache entry names the console offered, compared exactly).
class CIECookiesItem : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override;
};
