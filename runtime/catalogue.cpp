#include "runtime/catalogue.h"

#include "common/tracer.h"
#include "runtime/rulesitems.h"

#include <exception>

CCatalogue CCatalogue::ReadAgain(bool traceRulesFailure) const
{
    CCatalogue read(m_itemsFile, m_readRules);
    read.m_items.Read(m_itemsFile);
    read.m_ownItems = read.m_items.Size();
    try {
        read.m_rulesSources = m_readRules();
        AppendRulesToCatalogue(read.m_rulesSources, read.m_items);
    } catch (const std::exception& error) {
        if (!traceRulesFailure) throw;
        TRACE(40, "The community rules cannot be read - %s", error.what());
    }
    return read;
}

void CCatalogue::Load()
{
    *this = ReadAgain(true);
    for (const RulesSource& source : m_rulesSources)
        if (!source.refused.empty()) TRACE(30, "Rules file %s refused - %s", source.fileName.c_str(), source.refused.c_str());
    TRACE(20, "Catalogue: %u items, %u with the community rules", static_cast<unsigned>(m_ownItems),
          static_cast<unsigned>(m_items.Size()));
}

void CCatalogue::Reload(const std::function<void()>& beforeReplacing)
{
    CCatalogue read = ReadAgain(false);
    beforeReplacing();
    *this = std::move(read);
}
