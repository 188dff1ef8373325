// The plug-in's exports: creates a job object by class identifier, and lists
// the cookies the items that clean them would read.
#include "common/error.h"
#include "common/guid.h"
#include "jobapi/jobapi.h"
#include "jobapi/jobclasses.h"
#include "plugin/jobs/browseritems.h"
#include "plugin/jobs/builtinitems.h"
#include "plugin/jobs/customcleanupitem.h"
#include "plugin/jobs/plugintracer.h"
#include "plugin/jobs/rulesentryitem.h"

#include <exception>
#include <string>

namespace {

using JobCreator = IJob* (*)();

template <typename Job>
IJob* Create()
{
    return new Job();
}

// A modern browser's item of one kind, for one family of browsers.
template <typename Item, BrowserFamily family>
IJob* CreateFor()
{
    return new Item(family);
}

// The classes that clean cookies; they also list them.
const char kUrlCacheCookiesClass[] = "20FA0A7E-605A-4bf1-8634-FD1700890FC9";
const char kChromiumCookiesClass[] = "019C50BD-C5F5-4534-B938-F3D55C101520";
const char kFirefoxCookiesClass[] = "D7CD5405-A50D-4592-A644-0922278D42E3";
const char kChromiumSiteDataClass[] = "02425D56-70F8-4B37-9BE3-3175AD364313";
const char kFirefoxSiteDataClass[] = "4977F04D-6B7E-48BF-B2E5-6FFEEBFF4880";

struct JobClass {
    const char* classId;  // as text, converted at every search
    JobCreator create;    // null: the job class is not part of this build
};

// Searched in this order; the first row whose identifier matches creates.
const JobClass kJobClasses[] = {
    {kNullJobClass, &Create<CNullItem>},
    {"AACEE220-9942-4E90-8CD0-F8A0FBAB496E", &Create<CRecentDocumentsItem>},
    {"B0E19CC3-4046-40DA-A480-7E3A9AF4ECDB", &Create<CTypedURLsItem>},
    {"46F1FFEA-6AAA-49C6-8773-17CCA2867A00", &Create<CCustomCleanupItem>},
    {kUrlCacheCookiesClass, &Create<CIECookiesItem>},
    {"BE32D7AC-BD92-4DF7-ABFC-120BEDAAD0C0", &Create<CTempFolderItem>},
    {"92A35E74-E942-4B24-B82E-BBD19332FF7D", &Create<CIEHistoryItem>},
    {"5443B092-9ED6-47bb-8ADD-46949F8C909A", &Create<CIETempFilesItem>},
    {"3DFF6430-585A-4F71-BB1F-F0680032F6C0", &Create<CRecycleBinItem>},
    {"0F43589D-7905-404C-B639-2107469EC0D4", &Create<CJumpListsItem>},
    {"5CCC0BA7-C490-4DD0-B876-B3E8D684ADF0", &Create<CClipboardItem>},
    {"DD03C957-48B9-4415-B795-98EFFAE53397", &Create<CClipboardHistoryItem>},
    {"CF29FFBE-5910-4DA7-8933-DA18DCF9EC9D", &Create<CDnsCacheItem>},
    {kChromiumCookiesClass, &CreateFor<CBrowserCookiesItem, BrowserFamily::Chromium>},
    {"31815029-B9C4-4D9E-A5E8-AAB6926E0B97", &CreateFor<CBrowserHistoryItem, BrowserFamily::Chromium>},
    {"A5B98572-BE75-412D-8F8F-789242B9E0A4", &CreateFor<CBrowserCacheItem, BrowserFamily::Chromium>},
    {kFirefoxCookiesClass, &CreateFor<CBrowserCookiesItem, BrowserFamily::Firefox>},
    {"AF9ECEE1-4D4A-41C1-93AB-B496DEC49990", &CreateFor<CBrowserHistoryItem, BrowserFamily::Firefox>},
    {"EEC15624-1B40-4AEC-A7A7-F0267A5E19EE", &CreateFor<CBrowserCacheItem, BrowserFamily::Firefox>},
    {kChromiumSiteDataClass, &CreateFor<CBrowserSiteDataItem, BrowserFamily::Chromium>},
    {kFirefoxSiteDataClass, &CreateFor<CBrowserSiteDataItem, BrowserFamily::Firefox>},
    {"6C3E1F0B-2A7D-4E59-9B14-8D2F7A6C5E31", &CreateFor<CBrowserSessionsItem, BrowserFamily::Chromium>},
    {"B8D40A27-5F6E-4C13-A9E2-37C1D05F8B94", &CreateFor<CBrowserSessionsItem, BrowserFamily::Firefox>},
    {kRulesEntryJobClass, &Create<CRulesEntryItem>},
};

// Copies text into the caller's buffer, NUL-terminated within size.
void CopyErrorText(const std::string& text, char* buffer, int size)
{
    if (buffer == nullptr || size <= 0) return;
    ::lstrcpynA(buffer, text.c_str(), size);
}

}  // namespace

extern "C" __declspec(dllexport) int TWCreateJob(const GUID* classId, IJob** job)
{
    if (classId == nullptr || job == nullptr) return kJobFailure;
    try {
        OpenPluginTracer();
        for (const JobClass& row : kJobClasses) {
            if (!SameGuid(StringToGuid(row.classId), *classId)) continue;
            if (row.create == nullptr) return kJobFailure;
            *job = row.create();
            return kJobSuccess;
        }
    } catch (const std::exception&) {
        // Out of memory: nothing may cross into the program's module.
    }
    return kJobFailure;
}

extern "C" __declspec(dllexport) int TWListCookieHosts(const GUID* classId, const char* config, ICookieHostSink* sink,
                                                       char* errorText, int errorSize)
{
    if (classId == nullptr || sink == nullptr) {
        CopyErrorText("no class identifier or no sink was given", errorText, errorSize);
        return kJobFailure;
    }
    try {
        OpenPluginTracer();
        if (SameGuid(StringToGuid(kUrlCacheCookiesClass), *classId)) {
            ListUrlCacheCookies(*sink);
            return kJobSuccess;
        }
        // The browsers' items that clean what a site keeps: their sites are offered too.
        struct Listing {
            const char* classId;
            BrowserFamily family;
            StringList (*list)(BrowserFamily, const BrowserSettings&);
        };
        static const Listing kListings[] = {
            {kChromiumCookiesClass, BrowserFamily::Chromium, &ListCookieHosts},
            {kFirefoxCookiesClass, BrowserFamily::Firefox, &ListCookieHosts},
            {kChromiumSiteDataClass, BrowserFamily::Chromium, &ListSiteDataHosts},
            {kFirefoxSiteDataClass, BrowserFamily::Firefox, &ListSiteDataHosts},
        };
        for (const Listing& listing : kListings) {
            if (!SameGuid(StringToGuid(listing.classId), *classId)) continue;
            const BrowserSettings settings = ReadBrowserSettings(SettingsFilePath(config != nullptr ? config : ""));
            for (const std::string& host : listing.list(listing.family, settings)) {
                if (sink->AddHost(host.c_str()) != kJobSuccess) throw CError("the program refused a cookie host");
            }
        }
        return kJobSuccess;
    } catch (const std::exception& failure) {
        CopyErrorText(failure.what(), errorText, errorSize);
    } catch (...) {
        // Nothing may cross into the program's module.
        CopyErrorText("unexpected failure", errorText, errorSize);
    }
    return kJobFailure;
}
