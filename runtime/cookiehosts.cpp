#include "runtime/cookiehosts.h"

#include "common/tracer.h"
#include "jobapi/jobapi.h"
#include "runtime/moduleload.h"
#include "tasks/catalogueitems.h"

#include <exception>
#include <map>
#include <set>

namespace {

// The browser an item belongs to: the name of its group.
std::string BrowserOf(const CCatalogueItems& catalogue, const CCatalogueItem& item)
{
    const CCatalogueItem* group = catalogue.FindItem(item.parent);
    return group != nullptr ? group->name : item.name;
}

class CHostCollector : public ICookieHostSink {
public:
    explicit CHostCollector(BrowserCookieHosts& result) : m_result(result) {}
    int AddHost(const char* host) override
    {
        return Guarded(host, [&] { m_result.hosts.push_back(host); });
    }
    int AddCookieName(const char* name) override
    {
        // Each item that cleans the URL cache's cookies lists the same cache.
        return Guarded(name, [&] {
            if (m_namesSeen.insert(name).second) m_result.cookieNames.push_back(name);
        });
    }
    int CookieNamesUnlisted(const char* reason) override
    {
        return Guarded(reason, [&] {
            if (m_result.cookieNamesFailure.empty()) m_result.cookieNamesFailure = reason;
        });
    }

private:
    // Nothing may cross into the plug-in: a failure is its answer.
    template <typename Keep>
    static int Guarded(const char* text, Keep keep)
    {
        if (text == nullptr) return kJobFailure;
        try {
            keep();
        } catch (const std::exception&) {
            return kJobFailure;
        }
        return kJobSuccess;
    }

    BrowserCookieHosts& m_result;
    std::set<std::string> m_namesSeen;
};

}  // namespace

BrowserCookieHosts ListBrowserCookieHosts(const CCatalogueItems& catalogue)
{
    TRACE(20, "ListBrowserCookieHosts");
    BrowserCookieHosts result;
    CHostCollector collector(result);
    std::map<std::string, UniqueModule> modules;  // each module loaded once
    GuidList items;
    catalogue.GetAllItems(items);
    for (const GUID& guid : items) {
        const CCatalogueItem* item = catalogue.FindItem(guid);
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
                result.failures.push_back(BrowserOf(catalogue, *item) + ": " + error);
            }
        } catch (const std::exception& failure) {
            TRACE(40, "ListBrowserCookieHosts: %s - %s", item->name.c_str(), failure.what());
            result.failures.push_back(BrowserOf(catalogue, *item) + ": " + failure.what());
        }
    }
    TRACE(20, "ListBrowserCookieHosts - done");
    return result;
}
