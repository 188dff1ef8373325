#pragma once
#include "plugin/cleanupitem.h"

// Clears the browser's typed-address list and its two search lists.
class CTypedURLsItem : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override;
};
