// A helper for development and tests, run from a program folder:
//   make-default-task [SITE..] writes default.tsk: every item enabled, the sites kept
//   fill-browser-profiles      builds browser profiles in the user's folders (two
//                              Chrome profiles, one Firefox profile) with cookies,
//                              history, bookmarks and local storage, and old files in TEMP
//   show-browser-profiles      prints what those profiles hold
//   print-session TASK         prints the task's session records as the console shows them
//   print-preview TASK         the same for the records of the task's last preview
//   write-session TASK N MS    starts a session and writes N records, MS milliseconds apart
#include "common/codecs.h"
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/timeutil.h"
#include "runtime/sessionlog.h"
#include "support/browser_profiles.h"
#include "support/text_file.h"
#include "tasks/catalogueitems.h"
#include "tasks/taskconfig.h"

#include <windows.h>
#include <leveldb/db.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string TypeName(int type)
{
    switch (type) {
    case 0: return LoadResString(IDS_EVENT_ERROR);
    case 1: return LoadResString(IDS_EVENT_WARNING);
    case 2: return LoadResString(IDS_EVENT_INFORMATION);
    default: return LoadResString(IDS_EVENT_UNKNOWN);
    }
}

int MakeDefaultTask(const StringList& keptSites)
{
    // The shipped items alone: the rules files are no concern of a test's default task.
    CCatalogueItems catalogue;
    catalogue.Read();
    CTaskConfig task;
    task.InitDefaults(kDefaultTaskName, catalogue);
    GuidList items;
    catalogue.GetAllItems(items);
    for (const GUID& item : items) task.EnableItem(item, true);
    task.SetExtendedData(kCookieKeepListKey, EncodeStringList(keptSites));
    task.Save();
    std::printf("%s\n", task.GetFilePath().c_str());
    return 0;
}

std::string UserFolder(const char* variable)
{
    char path[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA(variable, path, sizeof path);
    if (length == 0 || length >= sizeof path) throw std::runtime_error(std::string(variable) + " is not set");
    return path;
}

const std::vector<std::string> kProfileFolders = {"Default", "Profile 1"};
const std::vector<TestCookie> kDemoCookies = {{".example.com", "login"},   {"www.example.com", "prefs"},
                                              {".tracker.net", "id"},      {"ads.example.org", "ad"},
                                              {"notexample.com", "lookalike"}};
const std::vector<std::string> kVisited = {"https://www.example.com/account", "https://news.example.org/story"};
const std::vector<std::string> kBookmarked = {"https://bookmarked.example.net/"};

// Sites that keep local storage, each with a value of its own.
const std::vector<std::string> kStorageOrigins = {"https://www.example.com", "https://tracker.net",
                                                  "https://ads.example.org"};

std::string ChromeUserData() { return UserFolder("LOCALAPPDATA") + "\\Google\\Chrome\\User Data"; }
std::string FirefoxProfile() { return UserFolder("APPDATA") + "\\Mozilla\\Firefox\\Profiles\\demo.default-release"; }

// The profiles are made in the user's own folders: only in a Wine prefix
// that reaches nothing of the host (no drive Z:), never on a real machine.
void RequireSafePrefix()
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    const bool underWine = ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    if (!underWine || ::GetDriveTypeA("Z:\\") != DRIVE_NO_ROOT_DIR)
        throw std::runtime_error("fill-browser-profiles runs only in a safe Wine prefix (no drive Z:)");
}

void WriteLocalStorage(const std::string& profile)
{
    const std::string store = profile + "\\Local Storage\\leveldb";
    if (!MakeFolders(store)) throw std::runtime_error("cannot make " + store);
    leveldb::Options options;
    options.create_if_missing = true;
    leveldb::DB* opened = nullptr;
    if (!leveldb::DB::Open(options, store, &opened).ok()) throw std::runtime_error("cannot create " + store);
    std::unique_ptr<leveldb::DB> db(opened);
    db->Put(leveldb::WriteOptions(), "VERSION", "1");
    for (const std::string& origin : kStorageOrigins) {
        db->Put(leveldb::WriteOptions(), "META:" + origin, "meta");
        db->Put(leveldb::WriteOptions(), "_" + origin + std::string("\x00\x01", 2) + "visitor", "\x01id-of-" + origin);
    }
}

// The sites of the profile's local storage, as its keys name them.
std::vector<std::string> LocalStorageSites(const std::string& profile)
{
    std::set<std::string> sites;
    leveldb::DB* opened = nullptr;
    if (!leveldb::DB::Open(leveldb::Options(), profile + "\\Local Storage\\leveldb", &opened).ok()) return {};
    std::unique_ptr<leveldb::DB> db(opened);
    std::unique_ptr<leveldb::Iterator> it(db->NewIterator(leveldb::ReadOptions()));
    for (it->SeekToFirst(); it->Valid(); it->Next()) {
        const std::string key = it->key().ToString();
        if (key.rfind("META:", 0) == 0) sites.insert(key.substr(5));
    }
    return std::vector<std::string>(sites.begin(), sites.end());
}

int FillBrowserProfiles()
{
    RequireSafePrefix();
    WriteLocalState(ChromeUserData(), kProfileFolders);
    for (const std::string& name : kProfileFolders) {
        const std::string profile = ChromeUserData() + "\\" + name;
        CreateChromiumCookies(profile + "\\Network\\Cookies", kDemoCookies);
        CreateChromiumHistory(profile + "\\History", kVisited);
        WriteLocalStorage(profile);
        std::printf("%s\n", profile.c_str());
    }
    WriteProfilesIni(UserFolder("APPDATA") + "\\Mozilla\\Firefox", {{"default-release", "Profiles/demo.default-release", true}});
    CreateFirefoxCookies(FirefoxProfile() + "\\cookies.sqlite", kDemoCookies);
    CreateFirefoxPlaces(FirefoxProfile() + "\\places.sqlite", kVisited, kBookmarked);
    std::printf("%s\n", FirefoxProfile().c_str());
    // Old files in the temporary folder, at three depths, and one too recent to go.
    const std::string temp = UserFolder("TEMP") + "\\tw-demo";
    const std::vector<std::pair<std::string, size_t>> files = {
        {"\\setup.log", 1500}, {"\\sub\\download.part", 20000}, {"\\sub\\deeper\\cache.bin", 70000}};
    for (const char* folder : {"", "\\sub", "\\sub\\deeper"}) ::CreateDirectoryA((temp + folder).c_str(), nullptr);
    for (const auto& file : files) {
        if (!WriteWholeFile(temp + file.first, std::string(file.second, 'x')) || !SetLastWriteHoursAgo(temp + file.first, 100))
            throw std::runtime_error("cannot write " + temp + file.first);
    }
    if (!WriteWholeFile(temp + "\\recent.txt", "written just now")) throw std::runtime_error("cannot write " + temp);
    std::printf("%s\n", temp.c_str());
    return 0;
}

void PrintColumn(const char* label, const std::vector<std::string>& values)
{
    std::string joined;
    for (const std::string& value : values) joined += (joined.empty() ? "" : ", ") + value;
    std::printf("    %-18s %s\n", label, joined.empty() ? "(none)" : joined.c_str());
}

int ShowBrowserProfiles()
{
    for (const std::string& name : kProfileFolders) {
        const std::string profile = ChromeUserData() + "\\" + name;
        std::printf("Google Chrome, profile %s:\n", name.c_str());
        PrintColumn("cookies of:", QueryColumn(profile + "\\Network\\Cookies", "SELECT host_key FROM cookies ORDER BY 1"));
        PrintColumn("history:", QueryColumn(profile + "\\History", "SELECT url FROM urls ORDER BY 1"));
        PrintColumn("local storage of:", LocalStorageSites(profile));
    }
    std::printf("Mozilla Firefox, profile default-release:\n");
    PrintColumn("cookies of:", QueryColumn(FirefoxProfile() + "\\cookies.sqlite", "SELECT host FROM moz_cookies ORDER BY 1"));
    PrintColumn("history visits:", QueryColumn(FirefoxProfile() + "\\places.sqlite",
                                               "SELECT p.url FROM moz_historyvisits v JOIN moz_places p ON p.id = v.place_id"));
    PrintColumn("bookmarks:", QueryColumn(FirefoxProfile() + "\\places.sqlite",
                                          "SELECT p.url FROM moz_bookmarks b JOIN moz_places p ON p.id = b.fk ORDER BY 1"));
    return 0;
}

int PrintSession(const std::string& taskName, SessionKind kind)
{
    CSessionLogRead reader;
    reader.Attach(taskName, kind);
    std::string message;
    int type = 0;
    time32 time = 0;
    bool restarted = false;
    std::printf("%-22s| %-60s| %s\n", "Time", "Item", "Status");
    while (reader.Read(&message, &type, &time, &restarted)) {
        std::printf("%-22s| %-60s| %s\n", FormatDateTime(time).c_str(), message.c_str(), TypeName(type).c_str());
    }
    return 0;
}

int WriteSession(const std::string& taskName, int count, int pauseMs)
{
    CSessionLogWrite writer;
    writer.Create(taskName);
    for (int i = 1; i <= count; ++i) {
        ::Sleep(static_cast<DWORD>(pauseMs));
        writer.Write("record " + std::to_string(i), 2);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        if (argc >= 2 && std::strcmp(argv[1], "make-default-task") == 0)
            return MakeDefaultTask(StringList(argv + 2, argv + argc));
        if (argc == 2 && std::strcmp(argv[1], "fill-browser-profiles") == 0) return FillBrowserProfiles();
        if (argc == 2 && std::strcmp(argv[1], "show-browser-profiles") == 0) return ShowBrowserProfiles();
        if (argc == 3 && std::strcmp(argv[1], "print-session") == 0) return PrintSession(argv[2], SessionKind::Clean);
        if (argc == 3 && std::strcmp(argv[1], "print-preview") == 0) return PrintSession(argv[2], SessionKind::Preview);
        if (argc == 5 && std::strcmp(argv[1], "write-session") == 0)
            return WriteSession(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: tw_dev_tool make-default-task [SITE...] | fill-browser-profiles | "
                         "show-browser-profiles | print-session TASK | print-preview TASK | write-session TASK N MS\n");
    return 2;
}
