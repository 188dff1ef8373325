#include "runtime/cookiehosts.h"

#include "common/tracer.h"
#include "jobapi/jobapi.h"
#include "runtime/moduleload.h"
#include "tasks/inventory.h"

#include <exception>
#include <map>
#include <set>

namespace {

// The browser an item belongs to: the name of its group.
std::string BrowserOf(const CItemInventory& inventory, const CInventoryItem& item)
{
    const CInventoryItem* group = inventory.FindItem(item.parent);
    return group != nullptr ? group->name : item.name;
}

class CHostCollector : public ICookieHostSink {
public:
    explicit CHostCollector(BrowserCookieHosts& result) : m_result(result) {}
    int AddHost(const char* host) override { return Add(m_result.hosts, host); }
    int AddCookieName(const char* name) override
    {
        if (name == nullptr) return kJobFailure;
        // Each item that cleans the URL cache's cookies lists the same cache.
        try {
            if (!m_namesSeen.insert(name).second) return kJobSuccess;
        } catch (const std::exception&) {
            return kJobFailure;  // nothing may cross into the plug-in
        }
        return Add(m_result.cookieNames, name);
    }
    int CookieNamesUnlisted(const char* reason) override
    {
        if (reason == nullptr) return kJobFailure;
        if (!m_result.cookieNamesFailure.empty()) return kJobSuccess;
        try {
            m_result.cookieNamesFailure = reason;
        } catch (const std::exception&) {
            return kJobFailure;  // nothing may cross into the plug-in
        }
        return kJobSuccess;
    }

private:
    static int Add(StringList& list, const char* text)
    {
        if (text == nullptr) return kJobFailure;
        try {
            list.push_back(text);
        } catch (const std::exception&) {
            return kJobFailure;  // nothing may cross into the plug-in
        }
        return kJobSuccess;
    }

    BrowserCookieHosts& m_result;
    std::set<std::string> m_namesSeen;
};

}  // namespace

BrowserCookieHosts ListBrowserCookieHosts(const CItemInventory& inventory)
{
    TRACE(20, "ListBrowserCookieHosts");
    BrowserCookieHosts result;
    CHostCollector collector(result);
    std::map<std::string, UniqueModule> modules;  // each module loaded once
    GuidList items;
    inventory.GetAllItems(items);
    for (const GUID& guid : items) {
        const CInventoryItem* item = inventory.FindItem(guid);
        if (item == nullptr || item->moduleName.empty()) continue;
        try {
            UniqueModule& module = modules[item->moduleName];
            if (!module) module = LoadModuleBesideProgram(item->moduleName);
            const auto listHosts = reinterpret_cast<TWListCookieHostsFunction>(
                reinterpret_cast<void*>(::GetProcAddress(module.Get(), kListCookieHostsExportName)));
            if (listHosts == nullptr) continue;  // a module that cleans no browser
            char error[1024] = {};
            if (listHosts(&item->clsid, item->config.c_str(), &collector, error, sizeof error) != kJobSuccess) {
                TRACE(40, "ListBrowserCookieHosts: %s - %s", item->name.c_str(), error);
                result.failures.push_back(BrowserOf(inventory, *item) + ": " + error);
            }
        } catch (const std::exception& failure) {
            TRACE(40, "ListBrowserCookieHosts: %s - %s", item->name.c_str(), failure.what());
            result.failures.push_back(BrowserOf(inventory, *item) + ": " + failure.what());
        }
    }
    TRACE(20, "ListBrowserCookieHosts - done");
    return result;
}
