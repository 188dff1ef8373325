#pragma once
#include "plugin/cleanupitem.h"

// Deletes the files of the user's recent-documents folder; subfolders stay.
class CRecentDocumentsItem : public CCleanupItem {
protected:
    void LoadSettings() override {}
    void DoRun() override;
};
