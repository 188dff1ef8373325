#pragma once
#include "plugin/jobs/cleanupitem.h"

#include <string>
#include <vector>

// The data-driven job: deletes the registry entries and file patterns listed
// in its job settings file, an INI file beside the program named by the
// item's configuration text (section "Settings": Name, RegKeyCount,
// RegKey1..n, FileCount, File1..n, and optionally RegValuesCount,
// RegValues1..n: keys whose values alone go, see CleanRegistryValues;
// TreeCount, Tree1..n: patterns whose folders are emptied at every depth;
// SystemPart, SystemPartKey, SystemPartFolder: the part of the system the
// item cleans, present when the key and the folder named exist).
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
    std::vector<std::string> m_valuesOnlyEntries;
    int m_fileEntryCount = 0;
    std::vector<std::string> m_fileEntries;
    std::vector<std::string> m_treeEntries;
    std::string m_systemPart;
    std::string m_systemPartKey;
    std::string m_systemPartFolder;

    bool SystemPartPresent() const;
};
