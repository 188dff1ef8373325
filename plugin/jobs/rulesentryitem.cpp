#include "plugin/jobs/rulesentryitem.h"

#include "common/error.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "plugin/engines/files/filecleanup.h"
#include "plugin/engines/files/folderwildcards.h"
#include "plugin/engines/registry/registrycleanup.h"
#include "plugin/jobs/ruleexclusions.h"
#include "rules/rulesentryconfig.h"
#include "plugin/jobs/rulesfilecache.h"
#include "plugin/resource.h"
#include "rules/rulesafety.h"
#include "rules/systemfolders.h"

#include <windows.h>

#include <exception>
#include <set>

namespace {

CError Invalid(const std::string& reason) { return CError("Job configuration is invalid (" + reason + ")"); }

}  // namespace

void CRulesEntryItem::LoadSettings()
{
    RulesEntryConfig config;
    const std::string problem = RulesEntryConfigProblem(GetConfig(), &config);
    if (!problem.empty()) throw Invalid(problem);
    const std::string folder = config.place == RulesPlace::Program ? GetModuleFolder() : GetDataFolder();
    if (folder.empty()) throw Invalid("the folder of " + config.file + " is not known");

    const std::shared_ptr<const RulesFile> rules = ParsedRulesFile(folder + "\\" + config.file, config.file);
    if (!rules->refused.empty()) throw Invalid(config.file + " was refused: " + rules->refused);
    const RuleEntry* found = nullptr;
    for (const RuleEntry& entry : rules->entries) {
        if (entry.name == config.section) {
            found = &entry;
            break;
        }
    }
    if (found == nullptr) throw Invalid("the rules entry " + config.section + " is no longer in " + config.file);
    // The run expands the variables by the very table the entry was judged by.
    m_folders = SystemKnownFolders();
    const std::string refusal = RuleEntryRefusal(*found, m_folders);
    if (!refusal.empty()) throw Invalid("refused: " + refusal);
    m_entry = *found;
}

void CRulesEntryItem::DoRun()
{
    CleanFileKeys();
    CleanRegKeys();
}

void CRulesEntryItem::CleanFileKeys()
{
    const CRuleExclusions exclusions(m_entry.excludes, m_folders);
    // A preview of the keys in a row sees what a clean would: what a key
    // removes is gone for the keys after it (a folder one key empties and
    // the next removes).
    std::set<std::string> previewGone;
    for (const RuleFileKey& key : m_entry.fileKeys) {
        MaskedClean clean;
        clean.previewGone = &previewGone;
        clean.masks = key.masks;
        clean.everyDepth = key.recurse || key.removeSelf;
        clean.removeEmptied = key.removeSelf;
        clean.keep = [&exclusions](const std::string& path) { return exclusions.KeepsPath(path); };
        // A failing path is a warning; the job goes on with the next one.
        for (const std::string& path : ExpandRuleVariables(key.path, m_folders)) {
            try {
                for (const std::string& folder : FoldersMatching(path)) DeleteMaskedFiles(folder, clean, *this);
            } catch (const std::exception& error) {
                CountNotRemoved(NotRemoved::Failed);
                LogWarningOf("file patterns that could not be cleaned",
                             FormatResString(IDS_FILE_CLEANUP_ERROR, path.c_str(), error.what()));
            }
        }
    }
}

void CRulesEntryItem::CleanRegKeys()
{
    const CRuleExclusions exclusions(m_entry.excludes, m_folders);
    for (const RuleRegKey& key : m_entry.regKeys) {
        const std::string engineKey = EngineRegistryKey(key.key);
        if (engineKey.empty()) {
            CountNotRemoved(NotRemoved::Skipped);
            LogWarningOf("registry keys that are not cleaned",
                         "Skipped a registry key that is neither this user's nor the computer's (only HKCU, HKLM "
                         "and HKU\\.DEFAULT are cleaned): " + key.key);
            continue;
        }
        if (exclusions.KeepsRegistry(engineKey, key.valueName, key.hasValueName)) {
            CountNotRemoved(NotRemoved::Skipped);
            LogInfoOf("registry keys kept for an exclusion",
                      "Kept the registry key " + key.key + ": the entry's ExcludeKey keeps it.");
            continue;
        }
        const std::string entry = key.hasValueName ? engineKey + "|" + key.valueName : engineKey;
        try {
            // What an exclusion keeps inside the key stays, with the keys holding it.
            CleanRegistryKey(entry, *this, [&exclusions](const std::string& part, const std::string* value) {
                return exclusions.KeepsRegistryPart(part, value);
            });
        } catch (const std::exception& error) {
            CountNotRemoved(NotRemoved::Failed);
            LogWarningOf("registry entries that could not be cleaned",
                         FormatResString(IDS_REGISTRY_CLEANUP_ERROR, entry.c_str(), error.what()));
        }
    }
}
