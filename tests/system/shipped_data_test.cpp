// The catalogue that ships in the program folder: it loads completely, its
// tree is whole, and every custom item's job settings file is present and
// valid, naming only traces (per-user registry lists, application caches).
#include "common/guid.h"
#include "common/strparse.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"
#include "tasks/catalogueitems.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace {

const char kCustomCleanupClass[] = "46F1FFEA-6AAA-49C6-8773-17CCA2867A00";
// The one built-in class with two items: jump lists with pins kept, and all of them.
const char kJumpListsClass[] = "0F43589D-7905-404C-B639-2107469EC0D4";

// The plug-in's class identifiers, in the order of its factory table.
const char* const kPluginClasses[] = {
    "4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2", "AACEE220-9942-4E90-8CD0-F8A0FBAB496E",
    "B0E19CC3-4046-40DA-A480-7E3A9AF4ECDB", "46F1FFEA-6AAA-49C6-8773-17CCA2867A00",
    "20FA0A7E-605A-4bf1-8634-FD1700890FC9", "BE32D7AC-BD92-4DF7-ABFC-120BEDAAD0C0",
    "92A35E74-E942-4B24-B82E-BBD19332FF7D", "5443B092-9ED6-47bb-8ADD-46949F8C909A",
    "3DFF6430-585A-4F71-BB1F-F0680032F6C0", "0F43589D-7905-404C-B639-2107469EC0D4",
    "5CCC0BA7-C490-4DD0-B876-B3E8D684ADF0", "DD03C957-48B9-4415-B795-98EFFAE53397",
    "CF29FFBE-5910-4DA7-8933-DA18DCF9EC9D",
    "019C50BD-C5F5-4534-B938-F3D55C101520", "31815029-B9C4-4D9E-A5E8-AAB6926E0B97",
    "A5B98572-BE75-412D-8F8F-789242B9E0A4", "D7CD5405-A50D-4592-A644-0922278D42E3",
    "AF9ECEE1-4D4A-41C1-93AB-B496DEC49990", "EEC15624-1B40-4AEC-A7A7-F0267A5E19EE",
    "02425D56-70F8-4B37-9BE3-3175AD364313", "4977F04D-6B7E-48BF-B2E5-6FFEEBFF4880",
    "6C3E1F0B-2A7D-4E59-9B14-8D2F7A6C5E31", "B8D40A27-5F6E-4C13-A9E2-37C1D05F8B94",
    "AAF0FEAC-5472-4EF4-AA9D-AD7BDCC40E2A",
};
// The first row of the modern browsers' classes, which serve a browser each.
const size_t kFirstBrowserClassRow = 13;
// The last row: the community rules entries' class, after the browsers'. The
// catalogue names no item of it: its items come from rules files at run time.
const size_t kRulesEntryClassRow = 23;

std::string ProfileString(const std::string& file, const std::string& key)
{
    char buffer[1024] = {};
    ::GetPrivateProfileStringA("Settings", key.c_str(), "", buffer, sizeof buffer, file.c_str());
    return buffer;
}

int ProfileInt(const std::string& file, const std::string& key)
{
    return static_cast<int>(::GetPrivateProfileIntA("Settings", key.c_str(), -1, file.c_str()));
}

class ShippedCatalogue : public ::testing::Test {
protected:
    void SetUp() override { inventory.Read(folder.File("task_inventory.ini")); }

    ProgramFolder folder;
    CCatalogueItems inventory;
};

}  // namespace

TEST_F(ShippedCatalogue, LoadsEveryItemWithUniqueGuidsAndPresentParents)
{
    std::string content;
    ASSERT_TRUE(ReadWholeFile(folder.File("task_inventory.ini"), &content));
    size_t sections = 0;
    for (const std::string& line : SplitCrLfLines(content))
        if (line == "[ITEM]") ++sections;
    ASSERT_GT(sections, 1u);
    EXPECT_EQ(inventory.Size(), sections - 1) << "an item was dropped";

    GuidList guids;
    inventory.GetAllItems(guids);
    std::set<GUID, GuidLess> unique(guids.begin(), guids.end());
    EXPECT_EQ(unique.size(), guids.size());

    for (const GUID& guid : guids) {
        const CCatalogueItem* item = inventory.FindItem(guid);
        EXPECT_TRUE(IsNullGuid(item->parent) || inventory.FindItem(item->parent) != nullptr) << item->name;
        EXPECT_EQ(item->moduleName, "Sweepkit.dll") << item->name;
        EXPECT_GE(item->icon, 0) << item->name;
        bool known = false;
        for (const char* text : kPluginClasses) known = known || SameGuid(StringToGuid(text), item->clsid);
        EXPECT_TRUE(known) << item->name;
    }
}

TEST_F(ShippedCatalogue, HasOneItemForEachBuiltInJobClass)
{
    GuidList guids;
    inventory.GetAllItems(guids);
    for (size_t row = 1; row < kFirstBrowserClassRow; ++row) {
        if (SameGuid(StringToGuid(kPluginClasses[row]), StringToGuid(kCustomCleanupClass))) continue;
        if (SameGuid(StringToGuid(kPluginClasses[row]), StringToGuid(kJumpListsClass))) continue;
        int count = 0;
        for (const GUID& guid : guids)
            if (SameGuid(inventory.FindItem(guid)->clsid, StringToGuid(kPluginClasses[row]))) ++count;
        EXPECT_EQ(count, 1) << kPluginClasses[row];
    }
}

TEST_F(ShippedCatalogue, TheExplorerGroupEndsWithTheJumpListItemsThePinsOneUnticked)
{
    GuidList children;
    inventory.GetChildren(StringToGuid("77DDC88C-C014-494B-8F9A-E05BDE1D54EF"), children);
    ASSERT_GE(children.size(), 3u);
    const struct {
        const char* name;
        const char* clsid;
        const char* config;
        bool ticked;
    } expected[] = {
        {"Map Network Drive History", kCustomCleanupClass, "tw_explorer_network_drives.ini", true},
        {"Jump Lists", kJumpListsClass, "", true},
        {"Jump List Pins and Quick Access", kJumpListsClass, "pins", false},
    };
    for (size_t i = 0; i < 3; ++i) {
        const CCatalogueItem* item = inventory.FindItem(children[children.size() - 3 + i]);
        EXPECT_EQ(item->name, expected[i].name);
        EXPECT_TRUE(SameGuid(item->clsid, StringToGuid(expected[i].clsid))) << item->name;
        EXPECT_EQ(item->config, expected[i].config) << item->name;
        EXPECT_EQ(item->defaultState, expected[i].ticked) << item->name;
    }
}

TEST_F(ShippedCatalogue, TheWindowsGroupHasTheClipboardAndDnsItemsTickedRightAfterTheRecycleBin)
{
    GuidList windows;
    inventory.GetChildren(StringToGuid("65A67883-F1D9-460B-A47E-F731E5606538"), windows);
    std::vector<std::string> names;
    for (const GUID& guid : windows) names.push_back(inventory.FindItem(guid)->name);
    const auto bin = std::find(names.begin(), names.end(), "Recycle Bin");
    ASSERT_GE(std::distance(bin, names.end()), 5) << "no Recycle Bin, or too little after it";
    EXPECT_EQ(std::vector<std::string>(bin + 1, bin + 5),
              (std::vector<std::string>{"Clipboard", "Clipboard History", "DNS Resolver Cache", "Windows Error Reports"}));
    for (auto name = bin + 1; name != bin + 4; ++name) {
        const CCatalogueItem* item = inventory.FindItem(windows[static_cast<size_t>(name - names.begin())]);
        EXPECT_TRUE(item->defaultState) << item->name;
        EXPECT_FALSE(item->needsAdministrator) << item->name;
    }
}

TEST_F(ShippedCatalogue, EveryCustomItemNamesAValidJobSettingsFileOfTracesOnly)
{
    GuidList guids;
    inventory.GetAllItems(guids);
    int customItems = 0;
    for (const GUID& guid : guids) {
        const CCatalogueItem* item = inventory.FindItem(guid);
        if (!SameGuid(item->clsid, StringToGuid(kCustomCleanupClass))) continue;
        ++customItems;
        SCOPED_TRACE(item->name);
        const std::string file = folder.File(item->config);
        ASSERT_FALSE(item->config.empty());
        ASSERT_TRUE(FileExists(file));

        EXPECT_FALSE(ProfileString(file, "Name").empty());
        const int regKeys = ProfileInt(file, "RegKeyCount");
        const int files = ProfileInt(file, "FileCount");
        EXPECT_NE(regKeys, -1);
        EXPECT_NE(files, -1);
        const int valuesOnly = ProfileInt(file, "RegValuesCount");
        std::vector<std::string> registryEntries;
        for (int i = 1; i <= regKeys; ++i) registryEntries.push_back(ProfileString(file, "RegKey" + std::to_string(i)));
        for (int i = 1; i <= valuesOnly; ++i) {
            registryEntries.push_back(ProfileString(file, "RegValues" + std::to_string(i)));
            EXPECT_EQ(registryEntries.back().find('|'), std::string::npos) << registryEntries.back();
        }
        for (const std::string& entry : registryEntries) {
            // Per-user lists only: never the machine's keys, never a whole
            // hive; the shell keeps some in the user's classes hive.
            std::string prefix = "HKCU\\Software\\Microsoft\\";
            if (entry.rfind(prefix, 0) != 0) prefix = "HKCU\\Software\\Classes\\Local Settings\\Software\\Microsoft\\";
            EXPECT_EQ(entry.rfind(prefix, 0), 0u) << entry;
            EXPECT_GT(entry.size(), prefix.size() + 3) << entry;
            EXPECT_EQ(entry.find("\\*", 0), entry.find("\\*\\")) << "a \"*\" part is followed by a named key: " << entry;
        }
        // The user's own local data; the machine's folders only for an item
        // that needs an administrator. Always a named folder below the root
        // and a wildcard in the last part, never the root's own files.
        std::vector<std::string> fileEntries;
        for (int i = 1; i <= files; ++i) fileEntries.push_back(ProfileString(file, "File" + std::to_string(i)));
        for (int i = 1; i <= ProfileInt(file, "TreeCount"); ++i) fileEntries.push_back(ProfileString(file, "Tree" + std::to_string(i)));
        EXPECT_GT(static_cast<size_t>(regKeys + std::max(valuesOnly, 0)) + fileEntries.size(), 0u);
        for (const std::string& entry : fileEntries) {
            const std::string root = entry.substr(0, entry.find('\\') + 1);
            const bool userRoot = root == "%LOCALAPPDATA%\\";
            EXPECT_TRUE(userRoot || (item->needsAdministrator && (root == "%SystemRoot%\\" || root == "%ProgramData%\\")))
                << entry;
            const size_t lastPart = entry.rfind('\\');
            EXPECT_GT(lastPart, root.size()) << entry;
            EXPECT_NE(entry.find('*', lastPart), std::string::npos) << entry;
        }
        // The part of the system the item cleans is looked for, never cleaned.
        const std::string systemKey = ProfileString(file, "SystemPartKey");
        if (!systemKey.empty()) {
            EXPECT_EQ(systemKey.rfind("HKLM\\S", 0), 0u) << systemKey;
        }
    }
    EXPECT_GT(customItems, 5);
}

TEST_F(ShippedCatalogue, EveryBrowserHasCookiesHistoryCacheSiteDataAndSessionsItemsNamingItsSettings)
{
    GuidList groups;
    inventory.GetChildren(GUID{}, groups);
    std::set<std::string> browsers;
    for (const GUID& group : groups) {
        GuidList children;
        inventory.GetChildren(group, children);
        std::set<std::string> classes;
        std::set<std::string> configs;
        bool cookiesStartUnticked = false;
        bool siteDataStartsUnticked = false;
        bool sessionsStartUnticked = false;
        for (const GUID& child : children) {
            const CCatalogueItem* item = inventory.FindItem(child);
            for (size_t row = kFirstBrowserClassRow; row < kRulesEntryClassRow; ++row) {
                if (!SameGuid(item->clsid, StringToGuid(kPluginClasses[row]))) continue;
                classes.insert(kPluginClasses[row]);
                configs.insert(item->config);
                if (item->name == "Cookies") cookiesStartUnticked = !item->defaultState;
                if (item->name == "Site data") siteDataStartsUnticked = !item->defaultState;
                if (item->name == "Sessions") sessionsStartUnticked = !item->defaultState;
            }
        }
        if (classes.empty()) continue;
        const std::string name = inventory.FindItem(group)->name;
        SCOPED_TRACE(name);
        browsers.insert(name);
        EXPECT_EQ(classes.size(), 5u) << "cookies, history, cache, site data and sessions";
        ASSERT_EQ(configs.size(), 1u) << "one settings file per browser";
        EXPECT_TRUE(cookiesStartUnticked);
        EXPECT_TRUE(siteDataStartsUnticked);
        EXPECT_TRUE(sessionsStartUnticked) << "open tabs are lost only when chosen";
        const std::string file = folder.File(*configs.begin());
        char text[1024] = {};
        ::GetPrivateProfileStringA("Browser", "Name", "", text, sizeof text, file.c_str());
        EXPECT_EQ(text, name);
        ::GetPrivateProfileStringA("Browser", "Data", "", text, sizeof text, file.c_str());
        EXPECT_EQ(std::string(text).rfind("%", 0), 0u) << "a folder of the user's own: " << text;
        // What a task that runs when the browser closes waits for.
        ::GetPrivateProfileStringA("Browser", "Process", "", text, sizeof text, file.c_str());
        EXPECT_TRUE(EndsWithAsciiNoCase(text, ".exe") && std::string(text).find_first_of("\\/") == std::string::npos)
            << "an image file name: " << text;
    }
    EXPECT_EQ(browsers, (std::set<std::string>{"Google Chrome", "Microsoft Edge", "Brave", "Vivaldi", "Opera",
                                               "Chromium", "Mozilla Firefox"}));
}
