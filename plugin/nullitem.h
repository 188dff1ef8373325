#pragma once
#include "plugin/cleanupitem.h"

// The do-nothing job: settings loading and the run both succeed at once.
// The inventory's groups run it.
class CNullItem : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override {}
};
