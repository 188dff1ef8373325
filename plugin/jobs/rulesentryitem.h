#pragma once
#include "plugin/jobs/cleanupitem.h"
#include "rules/rulesfile.h"
#include "rules/rulevariables.h"

#include <string>

// The job of one community rules entry: its configuration text names the
// rules file and the entry (see rulesentryconfig.h); the entry is looked up
// afresh at every run (in the file as it is now) and judged by the rules' refusals before anything is
// touched. File keys go through the file engine's masked walk, registry
// keys through the registry engine, both minus what the entry's ExcludeKey
// lines keep.
class CRulesEntryItem : public CCleanupItem {
public:
    CRulesEntryItem() : CCleanupItem(RunModeSupport::Counted) {}

protected:
    void LoadSettings() override;
    void DoRun() override;

private:
    void CleanFileKeys();
    void CleanRegKeys();

    RuleEntry m_entry;
    KnownFolders m_folders;  // as the entry was judged by
};
