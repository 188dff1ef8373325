#pragma once
#include "plugin/jobs/cleanupitem.h"

#include <string>
#include <vector>

// The data-driven job: deletes the registry entries and file patterns listed
// in its job settings file, an INI file beside the program named by the
// item's configuration text (section "Settings": Name, RegKeyCount,
// RegKey1..n, FileCount, File1..n).
class CCustomCleanupItem : public CCleanupItem {
public:
    CCustomCleanupItem() : CCleanupItem(RunModeSupport::Counted) {}

protected:
    void LoadSettings() override;
    void DoRun() override;

private:
    std::string m_jobName;
    int m_registryEntryCount = 0;
    std::vector<std::string> m_registryEntries;
    int m_fileEntryCount = 0;
    std::vector<std::string> m_fileEntries;
};
