#pragma once
#include "plugin/cleanupitem.h"

// Deletes the contents of the user's temporary folder at every depth,
// sparing files written within the task's age limit (48 hours by default).
class CTempFolderItem : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override;
};
