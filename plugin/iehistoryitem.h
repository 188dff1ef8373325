#pragma once
#include "plugin/cleanupitem.h"

// Clears the browser history through the system's URL history object.
class CIEHistoryItem : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override;
};
