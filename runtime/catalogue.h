#pragma once
// The catalogue: the items of "task_inventory.ini" beside the program, then
// the entries of the community rules files, and those files as read. The
// application owns it and hands it by reference to whoever reads it. It is
// here, not in tasks/, because it reads the rules files.
#include "rules/rulescatalogue.h"
#include "tasks/catalogueitems.h"

#include <functional>
#include <string>
#include <vector>

class CCatalogue {
public:
    using RulesReader = std::function<std::vector<RulesSource>()>;
    // An empty itemsFile is "task_inventory.ini" in the program folder.
    explicit CCatalogue(std::string itemsFile = {}, RulesReader readRules = ReadRulesCatalogue)
        : m_itemsFile(std::move(itemsFile)), m_readRules(std::move(readRules)) {}

    // Raises what reading the items raises. The rules files are the
    // administrators' and the users' own: a failure to read them is traced
    // and costs only their entries.
    void Load();
    // Reads everything again and raises whatever fails, keeping the
    // catalogue as it was; on success calls beforeReplacing (which lets go
    // of every pointer into the old items), then takes the new reading.
    void Reload(const std::function<void()>& beforeReplacing);

    const CCatalogueItems& Items() const { return m_items; }
    const std::vector<RulesSource>& RulesSources() const { return m_rulesSources; }
    size_t OwnItemCount() const { return m_ownItems; }  // those of "task_inventory.ini"

private:
    CCatalogue ReadAgain(bool traceRulesFailure) const;

    std::string m_itemsFile;
    RulesReader m_readRules;
    CCatalogueItems m_items;
    std::vector<RulesSource> m_rulesSources;
    size_t m_ownItems = 0;
};
