// The modern browsers' items run by the real program and plug-in in a
// scratch program folder, against browser profiles built in scratch
// folders from the browsers' own schemas: two profiles per browser, a
// Firefox profile stored outside its default folder, kept and unkept sites
// at every host form, bookmarks, a browser that is running, a damaged keep
// list, damaged databases and hostile profile lists.
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "common/codecs.h"
#include "support/browser_profiles.h"
#include "support/session_file.h"
#include "support/system_test.h"
#include "support/text_file.h"
#include "support/eventually.h"
#include "support/unix_side.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kCookieKeepListKeyText = GuidToString(kCookieKeepListKey);

const char kChromiumCookiesClass[] = "019C50BD-C5F5-4534-B938-F3D55C101520";
const char kChromiumHistoryClass[] = "31815029-B9C4-4D9E-A5E8-AAB6926E0B97";
const char kChromiumCacheClass[] = "A5B98572-BE75-412D-8F8F-789242B9E0A4";
const char kFirefoxCookiesClass[] = "D7CD5405-A50D-4592-A644-0922278D42E3";
const char kFirefoxHistoryClass[] = "AF9ECEE1-4D4A-41C1-93AB-B496DEC49990";
const char kFirefoxCacheClass[] = "EEC15624-1B40-4AEC-A7A7-F0267A5E19EE";
const char kChromiumSessionsClass[] = "6C3E1F0B-2A7D-4E59-9B14-8D2F7A6C5E31";
const char kFirefoxSessionsClass[] = "B8D40A27-5F6E-4C13-A9E2-37C1D05F8B94";

const char kChromeCookies[] = "1EC00000-0000-4000-8000-000000000001";
const char kChromeHistory[] = "1EC00000-0000-4000-8000-000000000002";
const char kChromeCache[] = "1EC00000-0000-4000-8000-000000000003";
const char kFirefoxCookies[] = "1EC00000-0000-4000-8000-000000000004";
const char kFirefoxHistory[] = "1EC00000-0000-4000-8000-000000000005";
const char kFirefoxCache[] = "1EC00000-0000-4000-8000-000000000006";
const char kChromeSessions[] = "1EC00000-0000-4000-8000-000000000007";
const char kFirefoxSessions[] = "1EC00000-0000-4000-8000-000000000008";

// Every form a cookie host takes, for the kept site example.com and others.
const std::vector<TestCookie> kCookies = {
    {".example.com", "session"},   {"example.com", "host-only"},     {"www.example.com", "www"},
    {"a.b.example.com", "deep"},   {"WWW.EXAMPLE.COM", "upper"},     {"notexample.com", "lookalike"},
    {".notexample.com", "domain"}, {"example.com.evil.net", "suffix"}, {".tracker.net", "ads"},
    {"other.org", "ie-kept"},
};
const std::vector<std::string> kKeptHosts = {".example.com", "WWW.EXAMPLE.COM", "a.b.example.com", "example.com",
                                             "www.example.com"};

bool FolderExists(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeFile(const std::string& path, const std::string& content)
{
    return MakeFolders(path.substr(0, path.find_last_of('\\'))) && WriteWholeFile(path, content);
}

std::string Contents(const std::string& path)
{
    std::string content;
    EXPECT_TRUE(ReadWholeFile(path, &content)) << path;
    return content;
}

std::vector<std::string> Sorted(std::vector<std::string> values)
{
    std::sort(values.begin(), values.end());
    return values;
}

bool HasMessage(const std::vector<std::string>& messages, const std::string& text)
{
    return std::find(messages.begin(), messages.end(), text) != messages.end();
}

// A scratch program folder whose inventory holds the six items, for a
// Chromium browser "Test Chrome" and for "Test Firefox", whose folders are
// scratch folders of the test.
class ModernBrowsers : public SystemTest {
protected:
    ModernBrowsers() : SystemTest("ModernTask_") {}

    void SetUp() override
    {
        SystemTest::SetUp();
        userData = home.File("Chrome\\User Data");
        firefoxRoot = home.File("Firefox\\Roaming");
        firefoxLocal = home.File("Firefox\\Local");
        WriteSettings(false);
        folder.WriteInventory({{kChromeCookies, "Chrome cookies", "Sweepkit.dll", kChromiumCookiesClass, "tw_test_chrome.ini"},
                               {kChromeHistory, "Chrome history", "Sweepkit.dll", kChromiumHistoryClass, "tw_test_chrome.ini"},
                               {kChromeCache, "Chrome cache", "Sweepkit.dll", kChromiumCacheClass, "tw_test_chrome.ini"},
                               {kFirefoxCookies, "Firefox cookies", "Sweepkit.dll", kFirefoxCookiesClass, "tw_test_firefox.ini"},
                               {kFirefoxHistory, "Firefox history", "Sweepkit.dll", kFirefoxHistoryClass, "tw_test_firefox.ini"},
                               {kFirefoxCache, "Firefox cache", "Sweepkit.dll", kFirefoxCacheClass, "tw_test_firefox.ini"},
                               {kChromeSessions, "Chrome sessions", "Sweepkit.dll", kChromiumSessionsClass, "tw_test_chrome.ini"},
                               {kFirefoxSessions, "Firefox sessions", "Sweepkit.dll", kFirefoxSessionsClass,
                                "tw_test_firefox.ini"}});
    }

    void WriteSettings(bool formHistory)
    {
        ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_chrome.ini"),
                                   "[Browser]\r\nName=Test Chrome\r\nData=" + userData + "\r\nFormHistory=" +
                                       (formHistory ? "1" : "0") + "\r\n"));
        ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_firefox.ini"),
                                   "[Browser]\r\nName=Test Firefox\r\nData=" + firefoxRoot + "\r\nCache=" +
                                       firefoxLocal + "\r\nFormHistory=" + (formHistory ? "1" : "0") + "\r\n"));
    }

    // Chrome: "Default" with Network\Cookies, "Profile 1" with the older
    // Cookies. Firefox: a profile under its folder and one stored elsewhere.
    void BuildProfiles()
    {
        WriteLocalState(userData, {"Default", "Profile 1"});
        chromeProfiles = {userData + "\\Default", userData + "\\Profile 1"};
        WriteProfilesIni(firefoxRoot, {{"default-release", "Profiles/ab12cd.default-release", true},
                                       {"work", elsewhere.File("work profile"), false}});
        firefoxProfiles = {firefoxRoot + "\\Profiles\\ab12cd.default-release", elsewhere.File("work profile")};
        for (const std::string& profile : firefoxProfiles) ASSERT_TRUE(MakeFolders(profile));
    }

    std::string ChromeCookies(size_t profile) const
    {
        return chromeProfiles[profile] + (profile == 0 ? "\\Network\\Cookies" : "\\Cookies");
    }

    void WriteTask(const std::vector<std::string>& enabled, const StringList& keepList)
    {
        folder.WriteTask(taskName, enabled, {{kCookieKeepListKeyText, EncodeStringList(keepList)}});
    }

    std::vector<std::string> RunTask() { return Messages(folder.RunTask(taskName)); }

    ScratchFolder home;
    ScratchFolder elsewhere;
    std::string userData;
    std::string firefoxRoot;
    std::string firefoxLocal;
    std::vector<std::string> chromeProfiles;
    std::vector<std::string> firefoxProfiles;
};

}  // namespace

TEST_F(ModernBrowsers, CookiesOfEveryProfileGoExceptThoseOfKeptSitesAtEveryHostForm)
{
    BuildProfiles();
    for (size_t i = 0; i < 2; ++i) {
        CreateChromiumCookies(ChromeCookies(i), kCookies);
        CreateFirefoxCookies(firefoxProfiles[i] + "\\cookies.sqlite", kCookies);
    }
    // A site kept once keeps it in every browser; a cookie entry name of the
    // system browser keeps that entry there only.
    WriteTask({kChromeCookies, kFirefoxCookies}, {"example.com", "Cookie:user@other.org/"});

    const std::vector<std::string> messages = RunTask();
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(Sorted(QueryColumn(ChromeCookies(i), "SELECT host_key FROM cookies")), kKeptHosts) << i;
        EXPECT_EQ(Sorted(QueryColumn(firefoxProfiles[i] + "\\cookies.sqlite", "SELECT host FROM moz_cookies")),
                  kKeptHosts) << i;
    }
    // The records say which profiles were cleaned.
    for (const char* text : {"Test Chrome, profile Default: 5 cookies deleted, 5 kept.",
                             "Test Chrome, profile Profile 1: 5 cookies deleted, 5 kept.",
                             "Test Firefox, profile default-release: 5 cookies deleted, 5 kept.",
                             "Test Firefox, profile work: 5 cookies deleted, 5 kept.",
                             "Job 'Chrome cookies' finished.", "Job 'Firefox cookies' finished."})
        EXPECT_TRUE(HasMessage(messages, text)) << text;
}

TEST_F(ModernBrowsers, HistoryGoesAndEveryBookmarkPasswordAndFormEntryStays)
{
    BuildProfiles();
    const std::vector<std::string> visited = {"https://visited.example/one", "https://secret.example/two"};
    const std::vector<std::string> bookmarked = {"https://bookmarked.example/", "https://news.example/front"};
    for (const std::string& profile : chromeProfiles) {
        CreateChromiumHistory(profile + "\\History", visited);
        CreateChromiumTopSites(profile + "\\Top Sites", visited);
        CreateChromiumShortcuts(profile + "\\Shortcuts", visited);
        ASSERT_TRUE(MakeFile(profile + "\\Visited Links", std::string(64, '\x5a')));
        ASSERT_TRUE(MakeFile(profile + "\\Bookmarks", "{\"roots\":{\"bookmark_bar\":{\"children\":[]}}}"));
        ASSERT_TRUE(MakeFile(profile + "\\Login Data", "passwords"));
        CreateChromiumWebData(profile + "\\Web Data", {"typed.into@a.form"});
    }
    for (const std::string& profile : firefoxProfiles) {
        CreateFirefoxPlaces(profile + "\\places.sqlite", visited, bookmarked);
        CreateFirefoxFormHistory(profile + "\\formhistory.sqlite", {"typed into a form"});
        ASSERT_TRUE(MakeFile(profile + "\\logins.json", "{\"logins\":[]}"));
    }
    WriteTask({kChromeHistory, kFirefoxHistory}, {});

    const std::vector<std::string> messages = RunTask();
    EXPECT_TRUE(HasMessage(messages, "Job 'Chrome history' finished.")) << ::testing::PrintToString(messages);
    EXPECT_TRUE(HasMessage(messages, "Job 'Firefox history' finished.")) << ::testing::PrintToString(messages);
    EXPECT_TRUE(HasMessage(messages, "Test Chrome, profile Profile 1: history cleared (History, Top Sites, "
                                     "Shortcuts, Visited Links)."));
    for (const std::string& profile : chromeProfiles) {
        SCOPED_TRACE(profile);
        for (const char* table : {"urls", "visits", "visit_source", "keyword_search_terms", "downloads",
                                  "downloads_url_chains", "segments", "segment_usage"})
            EXPECT_EQ(CountRows(profile + "\\History", table), 0) << table;
        EXPECT_EQ(CountRows(profile + "\\History", "meta"), 2) << "the schema version stays";
        EXPECT_EQ(CountRows(profile + "\\Top Sites", "top_sites"), 0);
        EXPECT_EQ(CountRows(profile + "\\Shortcuts", "omni_box_shortcuts"), 0);
        EXPECT_FALSE(FileExists(profile + "\\Visited Links"));
        EXPECT_EQ(Contents(profile + "\\Bookmarks"), "{\"roots\":{\"bookmark_bar\":{\"children\":[]}}}");
        EXPECT_EQ(Contents(profile + "\\Login Data"), "passwords");
        EXPECT_EQ(CountRows(profile + "\\Web Data", "autofill"), 1) << "kept unless the item says";
        // Deleted rows are overwritten, not left in free pages.
        EXPECT_EQ(Contents(profile + "\\History").find("secret.example"), std::string::npos);
    }
    for (const std::string& profile : firefoxProfiles) {
        SCOPED_TRACE(profile);
        const std::string places = profile + "\\places.sqlite";
        EXPECT_EQ(Sorted(QueryColumn(places, "SELECT url FROM moz_places")), Sorted(bookmarked));
        EXPECT_EQ(QueryColumn(places, "SELECT COUNT(*) FROM moz_bookmarks b JOIN moz_places p ON b.fk = p.id"),
                  std::vector<std::string>{"2"});
        for (const char* table : {"moz_historyvisits", "moz_inputhistory", "moz_annos"})
            EXPECT_EQ(CountRows(places, table), 0) << table;
        EXPECT_EQ(QueryColumn(places, "SELECT SUM(visit_count) + SUM(typed) FROM moz_places"),
                  std::vector<std::string>{"0"});
        EXPECT_EQ(Sorted(QueryColumn(places, "SELECT host FROM moz_origins")),
                  (std::vector<std::string>{"bookmarked.example", "news.example"}));
        EXPECT_FALSE(FileExists(places + "-wal") && Contents(places + "-wal").find("secret.example") != std::string::npos);
        EXPECT_EQ(CountRows(profile + "\\formhistory.sqlite", "moz_formhistory"), 1) << "kept unless the item says";
        EXPECT_EQ(Contents(profile + "\\logins.json"), "{\"logins\":[]}");
    }

    // An item whose settings say so clears the form entries too.
    WriteSettings(true);
    RunTask();
    for (const std::string& profile : firefoxProfiles)
        EXPECT_EQ(CountRows(profile + "\\formhistory.sqlite", "moz_formhistory"), 0) << profile;
    for (const std::string& profile : chromeProfiles) {
        const std::string webData = profile + "\\Web Data";
        EXPECT_EQ(CountRows(webData, "autofill"), 0) << profile;
        EXPECT_EQ(CountRows(webData, "addresses") + CountRows(webData, "credit_cards"), 2) << "never touched";
        EXPECT_EQ(Contents(webData).find("typed.into@a.form"), std::string::npos) << profile;
    }
}

TEST_F(ModernBrowsers, CacheFoldersOfEveryProfileAreEmptiedAndNothingBesideThem)
{
    BuildProfiles();
    std::vector<std::string> gone;
    std::vector<std::string> stay;
    for (const std::string& profile : chromeProfiles) {
        for (const char* file : {"\\Cache\\Cache_Data\\data_0", "\\Cache\\Cache_Data\\f_000001", "\\Code Cache\\js\\index",
                                 "\\GPUCache\\data_1"})
            gone.push_back(profile + file);
        stay.push_back(profile + "\\Local Storage\\leveldb\\000003.log");
        stay.push_back(profile + "\\Preferences");
    }
    // A relative Firefox profile keeps its cache under the local folder; one
    // stored elsewhere keeps it inside itself.
    gone.push_back(firefoxLocal + "\\Profiles\\ab12cd.default-release\\cache2\\entries\\0A1B2C");
    gone.push_back(firefoxProfiles[1] + "\\cache2\\index");
    stay.push_back(firefoxProfiles[0] + "\\prefs.js");
    stay.push_back(firefoxLocal + "\\Profiles\\ab12cd.default-release\\startupCache\\scriptCache.bin");
    for (const std::string& file : gone) ASSERT_TRUE(MakeFile(file, "cached")) << file;
    for (const std::string& file : stay) ASSERT_TRUE(MakeFile(file, "kept")) << file;
    WriteTask({kChromeCache, kFirefoxCache}, {});

    const std::vector<std::string> messages = RunTask();
    for (const std::string& file : gone) EXPECT_FALSE(FileExists(file)) << file;
    for (const std::string& file : stay) EXPECT_EQ(Contents(file), "kept") << file;
    EXPECT_TRUE(HasMessage(messages, "Test Chrome, profile Default: cache cleared (Cache, Code Cache, GPUCache)."));
    EXPECT_TRUE(HasMessage(messages, "Test Firefox, profile work: cache cleared (cache2)."));
    EXPECT_TRUE(HasMessage(messages, "Job 'Firefox cache' finished."));
}

TEST_F(ModernBrowsers, SessionsGoWholeAndNothingBesideThem)
{
    BuildProfiles();
    const std::vector<std::string> gone = {
        chromeProfiles[0] + "\\Sessions\\Session_13350000000000000", chromeProfiles[0] + "\\Sessions\\Tabs_1335",
        chromeProfiles[1] + "\\Current Session", chromeProfiles[1] + "\\Last Tabs",
        firefoxProfiles[0] + "\\sessionstore.jsonlz4", firefoxProfiles[1] + "\\sessionstore-backups\\recovery.jsonlz4"};
    const std::vector<std::string> stay = {chromeProfiles[0] + "\\Bookmarks", chromeProfiles[0] + "\\Preferences",
                                           firefoxProfiles[0] + "\\prefs.js",
                                           firefoxProfiles[1] + "\\sessionCheckpoints.json"};
    for (const std::string& file : gone) ASSERT_TRUE(MakeFile(file, "tabs")) << file;
    for (const std::string& file : stay) ASSERT_TRUE(MakeFile(file, "kept")) << file;
    WriteTask({kChromeSessions, kFirefoxSessions}, {});

    const std::vector<std::string> messages = RunTask();
    for (const std::string& file : gone) EXPECT_FALSE(FileExists(file)) << file;
    for (const std::string& file : stay) EXPECT_EQ(Contents(file), "kept") << file;
    EXPECT_TRUE(HasMessage(messages, "Test Chrome, profile Profile 1: session deleted (Current Session, Last Tabs)."))
        << ::testing::PrintToString(messages);
    EXPECT_TRUE(HasMessage(messages, "Test Firefox, profile work: session deleted (sessionstore-backups)."));
}

TEST_F(ModernBrowsers, ABrowserHoldingOnlyItsSiteStoreOrProfileLockIsLeftWhole)
{
    BuildProfiles();
    // What a browser holds from its start to its end, though no database of it is open.
    struct Case {
        const char* lock;
        std::string session;
        const char* item;
        const char* warning;
    };
    const Case cases[] = {
        {"Local Storage\\leveldb\\LOCK", chromeProfiles[1] + "\\Current Session", kChromeSessions,
         "Test Chrome is running: close it and run the task again. Nothing of Test Chrome was cleaned."},
        {"parent.lock", firefoxProfiles[1] + "\\sessionstore.jsonlz4", kFirefoxSessions,
         "Test Firefox is running: close it and run the task again. Nothing of Test Firefox was cleaned."},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.lock);
        const std::string profile = test.session.substr(0, test.session.find_last_of('\\'));
        ASSERT_TRUE(MakeFile(test.session, "tabs"));
        ASSERT_TRUE(MakeFile(profile + "\\" + test.lock, ""));
        WriteTask({test.item}, {});
        HANDLE lock = ::CreateFileA((profile + "\\" + test.lock).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        const std::vector<std::string> messages = RunTask();
        ::CloseHandle(lock);
        EXPECT_TRUE(HasMessage(messages, test.warning)) << ::testing::PrintToString(messages);
        EXPECT_EQ(Contents(test.session), "tabs");
        // A lock file left behind by a browser that has ended tells nothing.
        RunTask();
        EXPECT_FALSE(FileExists(test.session));
    }
}

TEST_F(ModernBrowsers, ARunningBrowserIsLeftByteForByteWithAWarningNamingIt)
{
    BuildProfiles();
    for (size_t i = 0; i < 2; ++i) {
        CreateChromiumCookies(ChromeCookies(i), kCookies);
        CreateChromiumHistory(chromeProfiles[i] + "\\History", {"https://visited.example/"});
        CreateFirefoxCookies(firefoxProfiles[i] + "\\cookies.sqlite", kCookies);
        ASSERT_TRUE(MakeFile(chromeProfiles[i] + "\\Cache\\data_0", "cached"));
    }
    const std::vector<std::string> files = {ChromeCookies(0), ChromeCookies(1), chromeProfiles[0] + "\\History",
                                            chromeProfiles[1] + "\\History", firefoxProfiles[0] + "\\cookies.sqlite"};
    std::vector<std::string> before;
    for (const std::string& file : files) before.push_back(Contents(file));
    // The browsers hold one database of their second profile open, as SQLite does.
    const auto hold = [](const std::string& path) {
        return ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE chrome = hold(chromeProfiles[1] + "\\History");
    HANDLE firefox = hold(firefoxProfiles[1] + "\\cookies.sqlite");
    ASSERT_NE(chrome, INVALID_HANDLE_VALUE);
    ASSERT_NE(firefox, INVALID_HANDLE_VALUE);
    WriteTask({kChromeCookies, kChromeHistory, kChromeCache, kFirefoxCookies}, {"example.com"});

    const std::vector<std::string> messages = RunTask();
    ::CloseHandle(chrome);
    ::CloseHandle(firefox);
    EXPECT_TRUE(HasMessage(messages, "Test Chrome is running: close it and run the task again. Nothing of Test Chrome "
                                     "was cleaned."));
    EXPECT_TRUE(HasMessage(messages, "Test Firefox is running: close it and run the task again. Nothing of Test "
                                     "Firefox was cleaned."));
    EXPECT_TRUE(HasMessage(messages, "Job 'Chrome cache' finished."));
    for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(Contents(files[i]), before[i]) << files[i];
    EXPECT_EQ(Contents(chromeProfiles[0] + "\\Cache\\data_0"), "cached");
}

TEST_F(ModernBrowsers, ADamagedKeepListFailsTheCookieItemsAndDeletesNoCookie)
{
    BuildProfiles();
    CreateChromiumCookies(ChromeCookies(0), kCookies);
    CreateFirefoxCookies(firefoxProfiles[0] + "\\cookies.sqlite", kCookies);
    const std::string chromeBefore = Contents(ChromeCookies(0));
    const std::string firefoxBefore = Contents(firefoxProfiles[0] + "\\cookies.sqlite");
    // Lower-case digits and an unclosed name: not what the console writes.
    folder.WriteTask(taskName, {kChromeCookies, kFirefoxCookies}, {{kCookieKeepListKeyText, "6578616d706c65"}});

    const std::vector<std::string> messages = RunTask();
    const std::string failure = "Job execution failure (-2147483648: The list of cookies to keep cannot be read (the "
                                "task's setting is damaged); no cookie was deleted. Open the task's options and choose "
                                "the cookies to keep again.).";
    EXPECT_EQ(std::count(messages.begin(), messages.end(), failure), 2) << ::testing::PrintToString(messages);
    EXPECT_EQ(Contents(ChromeCookies(0)), chromeBefore);
    EXPECT_EQ(Contents(firefoxProfiles[0] + "\\cookies.sqlite"), firefoxBefore);
}

TEST_F(ModernBrowsers, ADamagedDatabaseIsReportedAndLeftAsItWasWhileTheOtherProfileIsCleaned)
{
    BuildProfiles();
    CreateChromiumCookies(ChromeCookies(1), kCookies);
    CreateChromiumCookies(ChromeCookies(0), kCookies);
    // A database whose pages were cut off after its header.
    std::string damaged = Contents(ChromeCookies(0));
    ASSERT_GT(damaged.size(), 4096u);
    damaged.resize(damaged.size() - 1024);
    damaged.replace(200, 300, std::string(300, '\x7f'));
    ASSERT_TRUE(WriteWholeFile(ChromeCookies(0), damaged));
    WriteTask({kChromeCookies}, {"example.com"});

    const std::vector<std::string> messages = RunTask();
    EXPECT_EQ(Contents(ChromeCookies(0)), damaged);
    EXPECT_EQ(Sorted(QueryColumn(ChromeCookies(1), "SELECT host_key FROM cookies")), kKeptHosts);
    const auto warning = std::find_if(messages.begin(), messages.end(), [this](const std::string& m) {
        return m.rfind("Test Chrome, profile Default: " + ChromeCookies(0) + " was left as it was: ", 0) == 0;
    });
    EXPECT_NE(warning, messages.end()) << ::testing::PrintToString(messages);
    EXPECT_TRUE(HasMessage(messages, "Job execution failure (-2147483648: Test Chrome: 1 of 2 profiles could not be "
                                     "cleaned.)."));
}

TEST_F(ModernBrowsers, HostileOrDamagedProfileListsLeadNowhereElse)
{
    // Profile names that would lead out of the browsers' folders.
    const std::string victim = home.File("Chrome\\Victim");
    CreateChromiumCookies(victim + "\\Cookies", kCookies);
    CreateFirefoxCookies(home.File("Firefox\\Victim\\cookies.sqlite"), kCookies);
    const std::string chromeVictim = Contents(victim + "\\Cookies");
    const std::string firefoxVictim = Contents(home.File("Firefox\\Victim\\cookies.sqlite"));
    WriteLocalState(userData, {"..\\..\\Chrome\\Victim", "..", "Default"});
    CreateChromiumCookies(userData + "\\Default\\Network\\Cookies", kCookies);
    WriteProfilesIni(firefoxRoot, {{"escape", "../Victim", true}, {"relative", "Victim", false}});
    WriteTask({kChromeCookies, kFirefoxCookies}, {});

    std::vector<std::string> messages = RunTask();
    EXPECT_EQ(Contents(victim + "\\Cookies"), chromeVictim);
    EXPECT_EQ(Contents(home.File("Firefox\\Victim\\cookies.sqlite")), firefoxVictim);
    EXPECT_TRUE(HasMessage(messages, "Test Chrome: skipped a profile whose folder name is not a plain name: "
                                     "..\\..\\Chrome\\Victim"));
    EXPECT_TRUE(HasMessage(messages, "Test Firefox: skipped a profile whose folder name is not a plain name: ../Victim"));
    EXPECT_TRUE(HasMessage(messages, "Test Chrome, profile Default: 10 cookies deleted, 0 kept."));

    // A damaged profile list stops the item before anything is touched.
    CreateChromiumCookies(userData + "\\Default\\Network\\Cookies", kCookies);
    ASSERT_TRUE(WriteWholeFile(userData + "\\Local State", "{\"profile\":{\"info_cache\":{\"Default\":{}"));
    messages = RunTask();
    EXPECT_EQ(CountRows(userData + "\\Default\\Network\\Cookies", "cookies"), 10);
    EXPECT_TRUE(HasMessage(messages, "Job execution failure (-2147483648: The list of profiles cannot be read: " +
                                         userData + "\\Local State is damaged)."));
}

TEST_F(ModernBrowsers, ABrowserThatIsNotInstalledIsSaidSoAndNothingFails)
{
    WriteTask({kChromeCookies, kChromeHistory, kFirefoxCache}, {});
    const std::vector<std::string> messages = RunTask();
    EXPECT_TRUE(HasMessage(messages, "Test Chrome: no profile found."));
    EXPECT_TRUE(HasMessage(messages, "Test Firefox: no profile found."));
    EXPECT_TRUE(HasMessage(messages, "Job 'Chrome history' finished."));
    EXPECT_TRUE(HasMessage(messages, "Job 'Firefox cache' finished."));
}

TEST_F(ModernBrowsers, LinksAndVariablesInsideAProfileLeadNowhereElse)
{
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the links are made from the Linux side of Wine";
    WriteLocalState(userData, {"Default", "%HOMEPATH%"});
    const std::string victim = home.File("Victim");
    ASSERT_TRUE(MakeFile(victim + "\\photo.jpg", "precious"));
    ASSERT_TRUE(MakeFile(victim + "\\sub\\doc.txt", "precious"));
    CreateChromiumCookies(victim + "\\Cookies", kCookies);
    const std::string victimCookies = Contents(victim + "\\Cookies");
    // The cache folder and the cookie database's folder are links to it.
    ASSERT_TRUE(MakeFolders(userData + "\\Default"));
    const std::vector<std::string> links = {userData + "\\Default\\Cache", userData + "\\Default\\Network"};
    // Links are removed from the Unix side, never through Windows paths, and
    // none is left in the prefix whatever the test's outcome.
    const struct LinkRemover {
        const std::vector<std::string>& links;
        ~LinkRemover()
        {
            for (const std::string& link : links) {
                RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(link) + "\"");
                Eventually([&] { return !LongPathExists(link); }, kAppearTimeout);
            }
        }
    } removeLinks{links};
    for (const std::string& link : links) ASSERT_TRUE(MakeFolderLink(victim, link));
    // A profile named like a variable, beside a folder its expansion would name.
    ASSERT_TRUE(MakeFile(userData + "\\%HOMEPATH%\\Cache\\f_1", "cached"));
    char homePath[MAX_PATH] = {};
    ASSERT_GT(::GetEnvironmentVariableA("HOMEPATH", homePath, sizeof homePath), 0u);
    const std::string expanded = userData + homePath + "\\Cache\\f_2";
    ASSERT_TRUE(MakeFile(expanded, "precious"));
    ASSERT_TRUE(::GetFileAttributesA((userData + "\\Default\\Network\\Cookies").c_str()) != INVALID_FILE_ATTRIBUTES);
    WriteTask({kChromeCookies, kChromeCache}, {});

    const std::vector<std::string> messages = RunTask();
    EXPECT_EQ(Contents(victim + "\\photo.jpg"), "precious");
    EXPECT_EQ(Contents(victim + "\\sub\\doc.txt"), "precious");
    EXPECT_EQ(Contents(victim + "\\Cookies"), victimCookies);
    EXPECT_EQ(Contents(expanded), "precious");
    EXPECT_TRUE(HasMessage(messages, "Test Chrome: skipped a profile whose folder name is not a plain name: %HOMEPATH%"));
    EXPECT_TRUE(HasMessage(messages, "Test Chrome, profile Default: " + userData +
                                         "\\Default\\Network\\Cookies leads outside its profile (a link); it was not "
                                         "touched")) << ::testing::PrintToString(messages);
    EXPECT_TRUE(HasMessage(messages, "Test Chrome, profile Default: " + userData +
                                         "\\Default\\Cache leads outside its profile (a link); it was not touched"));
}

// A side file SQLite keeps beside a database, put there by someone else:
// a Unix link to a file elsewhere, a second name of one, or a Unix link to
// a file that is not there (SQLite would make it).
enum class Planted { Link, SecondName, LinkToNothing };

struct PlantedSideFile {
    const char* database;  // in the profile
    const char* sideFile;
    Planted planted;
    const char* reason;
};

const PlantedSideFile kPlantedSideFiles[] = {
    {"Cookies", "Cookies-journal", Planted::Link, "is a link or lies outside its folder"},
    {"History", "History-wal", Planted::Link, "is a link or lies outside its folder"},
    {"Top Sites", "Top Sites-journal", Planted::Link, "is a link or lies outside its folder"},
    {"Shortcuts", "Shortcuts-journal", Planted::SecondName, "has other names (hard links)"},
    {"Cookies", "Cookies-shm", Planted::LinkToNothing, "is a link or lies outside its folder"},
};

TEST_F(ModernBrowsers, ADatabaseWithASideFileThatLeadsElsewhereIsLeftWithWhatItLeadsTo)
{
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the links are made from the Linux side of Wine";
    BuildProfiles();
    const std::vector<std::string> visited = {"https://visited.example/one"};
    const std::string& profile = chromeProfiles[1];
    CreateChromiumCookies(ChromeCookies(0), kCookies);
    CreateChromiumCookies(ChromeCookies(1), kCookies);
    CreateChromiumHistory(profile + "\\History", visited);
    CreateChromiumTopSites(profile + "\\Top Sites", visited);
    CreateChromiumShortcuts(profile + "\\Shortcuts", visited);
    WriteTask({kChromeCookies, kChromeHistory}, {"example.com"});

    for (const PlantedSideFile& planted : kPlantedSideFiles) {
        SCOPED_TRACE(planted.sideFile);
        const std::string database = profile + "\\" + planted.database;
        const std::string sideFile = profile + "\\" + planted.sideFile;
        const std::string victim = elsewhere.File(std::string("victim of ") + planted.sideFile);
        const std::string victimText = std::string("someone's file, not a journal: ") + planted.sideFile;
        ASSERT_TRUE(MakeFile(victim, victimText));
        if (planted.planted == Planted::SecondName) {
            ASSERT_TRUE(::CreateHardLinkA(sideFile.c_str(), victim.c_str(), nullptr));
        } else {
            ASSERT_TRUE(MakeFileLink(victim, profile, planted.sideFile));
        }
        if (planted.planted == Planted::LinkToNothing) {
            ASSERT_TRUE(::DeleteFileA(victim.c_str()));
        }
        const std::string before = Contents(database);

        const std::vector<std::string> messages = RunTask();
        if (planted.planted == Planted::LinkToNothing) EXPECT_FALSE(FileExists(victim));
        else EXPECT_EQ(Contents(victim), victimText);
        EXPECT_EQ(Contents(database), before);
        const std::string reason = database + " was left as it was: " + planted.sideFile + " " + planted.reason;
        EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [&](const std::string& message) {
            return message.find(reason) != std::string::npos;
        })) << reason << "\n" << ::testing::PrintToString(messages);
        // The planted name goes before the database is read here again.
        if (planted.planted == Planted::SecondName) {
            ::DeleteFileA(sideFile.c_str());
        } else {
            // Wine shows no link that leads nowhere: its target comes back
            // so that the link's removal can be watched.
            if (planted.planted == Planted::LinkToNothing) {
                ASSERT_TRUE(MakeFile(victim, victimText));
            }
            RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(sideFile) + "\"");
        }
        ASSERT_TRUE(Eventually([&] { return !LongPathExists(sideFile); }, kAppearTimeout)) << sideFile;
    }
    EXPECT_EQ(Sorted(QueryColumn(ChromeCookies(0), "SELECT host_key FROM cookies")), kKeptHosts)
        << "the other profile is cleaned";
}

TEST_F(ModernBrowsers, HostileSchemasNeitherHangTheRunNorTouchOtherTables)
{
    WriteLocalState(userData, {"Default", "Profile 1"});
    // Default: a trigger that would empty the meta table when a cookie goes.
    const std::string triggered = userData + "\\Default\\Network\\Cookies";
    CreateChromiumCookies(triggered, kCookies);
    ExecuteSql(triggered, "CREATE TRIGGER wipe AFTER DELETE ON cookies BEGIN DELETE FROM meta; END");
    // Profile 1: the cookie table is a view that never ends.
    const std::string endless = userData + "\\Profile 1\\Cookies";
    CreateChromiumCookies(endless, {});
    ExecuteSql(endless, "DROP TABLE cookies; CREATE VIEW cookies(rowid, host_key) AS WITH RECURSIVE n(i) AS "
                        "(SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT i, 'x.example' FROM n");
    const std::string endlessBefore = Contents(endless);
    WriteTask({kChromeCookies}, {});

    const DWORD start = ::GetTickCount();
    const std::vector<std::string> messages = RunTask();
    EXPECT_LT(::GetTickCount() - start, 60000u);
    EXPECT_EQ(CountRows(triggered, "cookies"), 0);
    EXPECT_EQ(CountRows(triggered, "meta"), 2) << "the database's own trigger ran";
    EXPECT_EQ(Contents(endless), endlessBefore);
    EXPECT_TRUE(HasMessage(messages, "Test Chrome, profile Profile 1: " + endless +
                                         " was left as it was: it has no cookies table."))
        << ::testing::PrintToString(messages);
}

TEST_F(ModernBrowsers, ALocalStateWithoutAProfileListStandsForTheDefaultProfile)
{
    ASSERT_TRUE(MakeFile(userData + "\\Local State", "{\"browser\":{\"last_redirect_origin\":\"\"}}"));
    CreateChromiumCookies(userData + "\\Default\\Network\\Cookies", kCookies);
    WriteTask({kChromeCookies}, {"example.com"});
    const std::vector<std::string> messages = RunTask();
    EXPECT_TRUE(HasMessage(messages, "Test Chrome, profile Default: 5 cookies deleted, 5 kept."))
        << ::testing::PrintToString(messages);
}

TEST_F(ModernBrowsers, ACookieTableWithAColumnNamedRowidLosesOnlyTheUnkeptRows)
{
    WriteLocalState(userData, {"Default"});
    const std::string cookies = userData + "\\Default\\Network\\Cookies";
    CreateChromiumCookies(cookies, kCookies);
    // Every row's own "rowid" names the row of a kept cookie.
    ExecuteSql(cookies, "ALTER TABLE cookies ADD COLUMN rowid INTEGER; UPDATE cookies SET rowid = "
                        "(SELECT _rowid_ FROM cookies WHERE host_key = '.example.com')");
    WriteTask({kChromeCookies}, {"example.com"});
    const std::vector<std::string> messages = RunTask();
    EXPECT_EQ(Sorted(QueryColumn(cookies, "SELECT host_key FROM cookies")), Sorted(kKeptHosts));
    EXPECT_TRUE(HasMessage(messages, "Test Chrome, profile Default: 5 cookies deleted, 5 kept."))
        << ::testing::PrintToString(messages);
}

TEST_F(ModernBrowsers, AProfileFolderThatIsALinkIsSkippedAndWhatItLeadsToIsKept)
{
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the links are made from the Linux side of Wine";
    const std::string victim = elsewhere.File("Victim");
    CreateChromiumCookies(victim + "\\Network\\Cookies", kCookies);
    CreateChromiumHistory(victim + "\\History", {"https://victim.example/"});
    CreateFirefoxCookies(victim + "\\cookies.sqlite", kCookies);
    ASSERT_TRUE(MakeFile(victim + "\\Cache\\f_1", "cached"));
    ASSERT_TRUE(MakeFile(victim + "\\Visited Links", "hashes"));
    const auto victimFiles = [&] {
        return Contents(victim + "\\Network\\Cookies") + Contents(victim + "\\History") +
               Contents(victim + "\\cookies.sqlite") + Contents(victim + "\\Cache\\f_1") +
               Contents(victim + "\\Visited Links");
    };
    const std::string before = victimFiles();
    // A folder beside "User Data" whose name differs only in capitals: the
    // link's target then differs from its path in capitals alone. ("User
    // Data" comes first: Wine would take a path to it for the twin.)
    ASSERT_TRUE(MakeFolders(userData));
    ASSERT_TRUE(RunUnixCommand(UnixTool("mkdir") + " -p \"" + UnixPathOf(home.File("Chrome")) + "/user data/Profile 2\""));
    const std::string twin = home.File("Chrome\\user data\\Profile 2");
    ASSERT_TRUE(Eventually([&] { return FolderExists(twin); }, kAppearTimeout));
    CreateChromiumCookies(twin + "\\Network\\Cookies", kCookies);
    const int twinCookies = CountRows(twin + "\\Network\\Cookies", "cookies");
    // Chrome's "Profile 1" and "Profile 2" and a relative Firefox profile are links.
    WriteLocalState(userData, {"Default", "Profile 1", "Profile 2"});
    CreateChromiumCookies(userData + "\\Default\\Network\\Cookies", kCookies);
    WriteProfilesIni(firefoxRoot, {{"linked", "Profiles/linked", true}});
    ASSERT_TRUE(MakeFolders(firefoxRoot + "\\Profiles"));
    // Unix paths made from the links' folders: Wine would read a path to a
    // name that is not there yet as the twin that differs in capitals.
    const std::vector<std::pair<std::string, std::string>> links = {
        {UnixPathOf(userData) + "/Profile 1", UnixPathOf(victim)},
        {UnixPathOf(userData) + "/Profile 2", UnixPathOf(twin)},
        {UnixPathOf(firefoxRoot + "\\Profiles") + "/linked", UnixPathOf(victim)}};
    const struct LinkRemover {
        const std::vector<std::pair<std::string, std::string>>& links;
        ~LinkRemover()
        {
            for (const auto& link : links) RunUnixCommand(UnixTool("rm") + " -f \"" + link.first + "\"");
            ::Sleep(500);
        }
    } removeLinks{links};
    for (const auto& link : links) {
        ASSERT_TRUE(RunUnixCommand(UnixTool("ln") + " -s \"" + link.second + "\" \"" + link.first + "\""));
    }
    ASSERT_TRUE(Eventually([&] { return LongPathExists(firefoxRoot + "\\Profiles\\linked\\cookies.sqlite"); }, kAppearTimeout));
    WriteTask({kChromeCookies, kChromeHistory, kChromeCache, kFirefoxCookies}, {});

    const std::vector<std::string> messages = RunTask();
    EXPECT_EQ(victimFiles(), before);
    EXPECT_EQ(CountRows(twin + "\\Network\\Cookies", "cookies"), twinCookies) << ::testing::PrintToString(messages);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "Test Chrome: skipped the profile Profile 2" +
                             std::string(": its folder leads outside the browser's folder (a link); it was not touched")),
              3);
    const std::string skipped = ": its folder leads outside the browser's folder (a link); it was not touched";
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "Test Chrome: skipped the profile Profile 1" + skipped), 3)
        << ::testing::PrintToString(messages);
    EXPECT_TRUE(HasMessage(messages, "Test Firefox: skipped the profile linked" + skipped));
    EXPECT_TRUE(HasMessage(messages, "Test Chrome, profile Default: 10 cookies deleted, 0 kept."));
}

TEST_F(ModernBrowsers, AProfileListOfManyRefusedNamesCostsAFewRecordsAndEveryRefusalIsCounted)
{
    std::vector<std::string> names;
    for (int i = 0; i < 100000; ++i) names.push_back("%" + std::to_string(i));
    WriteLocalState(userData, names);
    WriteTask({kChromeCookies, kChromeHistory, kChromeCache}, {});
    const std::vector<std::string> messages = RunTask();
    EXPECT_LT(messages.size(), 100u * 3);
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         "Left out 99,980 more records of this kind: profiles whose folder name is not a plain name."),
              3);
    EXPECT_TRUE(HasMessage(messages, "Run totals: Removed nothing; 300,000 skipped for safety."))
        << ::testing::PrintToString(messages);
}
