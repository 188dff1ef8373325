// The rules behind the modern browsers' items: which cookie hosts a kept
// site keeps, which sites the keep-list dialog offers, the strict reading of
// a stored keep list, the profile names read from a browser's "Local
// State", and the listing of a cookie database's hosts.
#include "common/codecs.h"
#include "common/cookiesites.h"
#include "plugin/engines/browsers/browserdb.h"
#include "plugin/engines/browsers/jsonkeys.h"
#include "plugin/engines/sitedata/simplecache.h"
#include "plugin/engines/sitedata/siteorigins.h"
#include "plugin/engines/sqlite/guardedvfs.h"
#include "support/browser_profiles.h"
#include "support/eventually.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"
#include "support/unix_side.h"

#include <windows.h>
#include <sqlite3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

TEST(KeptSites, ASiteKeepsItselfAndItsSubdomainsInAnyCaseAndNothingThatOnlyEndsLikeIt)
{
    const CKeptSites kept({"example.com", "Cookie:user@other.org/", ".Shop.Example.NET", "not a site", ""});
    for (const char* host : {"example.com", ".example.com", "www.example.com", "a.b.example.com", "WWW.Example.COM",
                             "shop.example.net", ".shop.example.net", "cart.shop.example.net"})
        EXPECT_TRUE(kept.Keeps(host)) << host;
    for (const char* host : {"notexample.com", ".notexample.com", "example.com.evil.net", "com", "example.net",
                             "other.org", "", ".", "xexample.com"})
        EXPECT_FALSE(kept.Keeps(host)) << host;
    EXPECT_FALSE(CKeptSites({}).Keeps("example.com"));
}

TEST(KeptSites, EntryNamesOfTheSystemBrowserAreNotSitesButNameTheirHost)
{
    EXPECT_TRUE(IsSiteEntry("example.com"));
    EXPECT_TRUE(IsSiteEntry(".example.com"));
    EXPECT_TRUE(IsSiteEntry("localhost"));
    for (const char* entry : {"Cookie:user@example.com/", "", ".", "a..b", "example.com.", "exa mple.com", "a/b",
                              "a\\b", "*.example.com"})
        EXPECT_FALSE(IsSiteEntry(entry)) << entry;
    EXPECT_EQ(HostOfCookieEntry("Cookie:user@Shop.Example.com/basket/"), "shop.example.com");
    EXPECT_EQ(HostOfCookieEntry("COOKIE:user@example.com"), "example.com");
    EXPECT_EQ(HostOfCookieEntry("Visited:user@example.com/"), "");
    EXPECT_EQ(HostOfCookieEntry("Cookie:no-at-sign/"), "");
}

TEST(KeptSites, TheDialogOffersEachSiteOnceWithItsSubdomainsFoldedIn)
{
    EXPECT_EQ(SitesOfHosts({".example.com", "www.example.com", "EXAMPLE.com", "accounts.google.com", ".google.com",
                            "www.bbc.co.uk", "notexample.com", "bad host", ""}),
              (StringList{"example.com", "google.com", "notexample.com", "www.bbc.co.uk"}));
    EXPECT_TRUE(SitesOfHosts({}).empty());
}

TEST(KeepListText, OnlyWhatTheConsoleWritesIsReadAndAnythingElseIsRefusedUntouched)
{
    StringList names{"before"};
    EXPECT_TRUE(TryDecodeStringList(EncodeStringList({"example.com", "Cookie:u@x/", ""}), names));
    EXPECT_EQ(names, (StringList{"before", "example.com", "Cookie:u@x/", ""}));
    StringList empty;
    EXPECT_TRUE(TryDecodeStringList("", empty));
    EXPECT_TRUE(empty.empty());
    for (const char* damaged : {"6162", "616200Z0", "6162000", "61620x00", "6b00", "  6100", "61 00"}) {
        StringList untouched{"x"};
        EXPECT_FALSE(TryDecodeStringList(damaged, untouched)) << damaged;
        EXPECT_EQ(untouched, StringList{"x"}) << damaged;
    }
}

TEST(KeepListText, TheStrictReadGivesTheStoredListOrNothingAtAllForDamagedText)
{
    const struct {
        const char* name;
        std::string text;
        std::optional<StringList> read;
    } cases[] = {
        {"absent", "", StringList{}},
        {"stored by the console", EncodeStringList({"example.com", "Cookie:u@x/"}),
         StringList{"example.com", "Cookie:u@x/"}},
        {"one empty entry", EncodeStringList({""}), StringList{""}},
        {"cut off", EncodeStringList({"example.com", "news.example"}).substr(0, 30), std::nullopt},
        {"odd digit count", "6162000", std::nullopt},
        {"not hex", "61620x00", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadKeepList(c.text), c.read) << c.name;
}

TEST(LocalStateProfiles, TheMembersOfTheProfileCacheAreReadWhateverSurroundsThem)
{
    const std::string json = R"({"browser":{"x":[1,2.5e3,true,null,{"profile":{}}]},
        "profile" : { "info_cache" : { "Default" : {"name":"A \"q\""},
                                       "Profile 1" : {"n":[]}, "Pr\u00f6file\\2":{} },
                      "last_used":"Default"}})";
    StringList names{"kept"};
    ASSERT_TRUE(ReadJsonObjectNames(json, {"profile", "info_cache"}, names));
    EXPECT_EQ(names, (StringList{"kept", "Default", "Profile 1", "Pr\xc3\xb6" "file\\2"}));

    // A file without the list, or with another shape there, lists nothing.
    for (const char* other : {R"({"profile":{"info_cache":{}}})", R"({"profile":{}})", R"({"browser":{"a":1}})",
                              R"({"profile":{"info_cache":["Default"]}})", R"([{"profile":{"info_cache":{"x":1}}}])"}) {
        StringList none;
        EXPECT_TRUE(ReadJsonObjectNames(other, {"profile", "info_cache"}, none)) << other;
        EXPECT_TRUE(none.empty()) << other;
    }
}

TEST(LocalStateProfiles, DamagedOrDifferentlyShapedFilesAreRefused)
{
    for (const std::string& json :
         {std::string(R"({"profile":{"info_cache":{"Default":{}})"), std::string(""), std::string("{\"a\":tru}"),
          std::string("{\"profile\":{\"info_cache\":{\"Default\":{}}}}\0", 42),
          std::string(R"({"profile":{"info_cache":{"Default":{}}}} trailing)"),
          std::string(R"({"profile":{"info_cache":{"a":"b\q"}}})"), std::string(100000, '['),
          std::string("{\"profile\":{\"info_cache\":{\"a\n\":1}}}")}) {
        StringList names{"kept"};
        EXPECT_FALSE(ReadJsonObjectNames(json, {"profile", "info_cache"}, names)) << json.substr(0, 60);
        EXPECT_EQ(names, StringList{"kept"});
    }
}

TEST(ChromiumBookmarks, EveryAddressBelowTheRootsIsReadAtAnyDepthAndNothingElse)
{
    const std::string json = R"({"checksum":"abc","roots":{"bookmark_bar":{"children":[
        {"type":"url","url":"https://a.example/"},{"type":"folder","children":[{"url":"https://b.example/é"}],
        "url":7}],"type":"folder"},"other":{"children":[],"url":"https://c.example/"}},
        "sync_metadata":{"url":"https://outside.example/"},"version":1})";
    StringList urls{"kept"};
    ASSERT_TRUE(ReadJsonStringValues(json, {"roots"}, "url", urls));
    EXPECT_EQ(urls, (StringList{"kept", "https://a.example/", "https://b.example/\xc3\xa9", "https://c.example/"}));
    StringList none{"kept"};
    EXPECT_FALSE(ReadJsonStringValues(json.substr(0, json.size() - 1), {"roots"}, "url", none));
    EXPECT_EQ(none, StringList{"kept"});
}

TEST(CookieHostListing, ReadsABrowsersLoggedDatabaseWithoutLeavingAnythingBesideIt)
{
    ScratchFolder folder;
    const std::string database = folder.File("cookies.sqlite");
    CreateFirefoxCookies(database, {{".example.com", "a"}, {"www.example.com", "b"}, {".example.com", "c"}});
    ::DeleteFileA((database + "-wal").c_str());
    ::DeleteFileA((database + "-shm").c_str());
    std::string before;
    ASSERT_TRUE(ReadWholeFile(database, &before));

    StringList hosts = ReadCookieHosts(database, "moz_cookies", "host");
    std::sort(hosts.begin(), hosts.end());
    EXPECT_EQ(hosts, (StringList{".example.com", "www.example.com"}));
    std::string after;
    ASSERT_TRUE(ReadWholeFile(database, &after));
    EXPECT_EQ(after, before);
    EXPECT_FALSE(FileExists(database + "-wal"));
    EXPECT_FALSE(FileExists(database + "-shm"));
    // A cookie table that is not a table is refused, not run.
    ExecuteSql(database, "DROP TABLE moz_cookies; CREATE VIEW moz_cookies(host) AS SELECT 'x'");
    EXPECT_THROW(ReadCookieHosts(database, "moz_cookies", "host"), std::exception);
}

TEST(CookieDeletion, ADeleteTheDatabaseRefusesAfterItWasReadRaisesAndCountsNothing)
{
    ScratchFolder folder;
    const std::string database = folder.File("cookies.sqlite");
    CreateFirefoxCookies(database, {{".kept.example", "a"}, {".gone.example", "b"}, {".gone.example", "c"}});
    const CKeptSites kept({"kept.example"});
    {
        // Another program writes the database: it can be read, never changed.
        CSqliteDatabase writer(database, CSqliteDatabase::Access::ReadWrite, 10000);
        CSqliteTransaction writing(writer);
        CSqliteDatabase db(database, CSqliteDatabase::Access::ReadWrite, 10000);
        CookieDeletion done;
        done.removed = -1;
        EXPECT_THROW(done = DeleteUnkeptCookies(db, "moz_cookies", "host", kept), std::exception);
        EXPECT_EQ(done.removed, -1);
        EXPECT_TRUE(db.RemovedRows().empty());
    }
    EXPECT_EQ(CountRows(database, "moz_cookies"), 3);
    // Once it is free, the same deletion counts what SQLite deleted (the
    // database is held until its connection closes).
    {
        CSqliteDatabase db(database, CSqliteDatabase::Access::ReadWrite, 10000);
        EXPECT_EQ(DeleteUnkeptCookies(db, "moz_cookies", "host", kept).removed, 2);
    }
    EXPECT_EQ(CountRows(database, "moz_cookies"), 1);
}

TEST(GuardedSqlite, EveryCallThatReachesALinkedJournalIsRefusedAndWhatItLeadsToStays)
{
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the links are made from the Linux side of Wine";
    ScratchFolder folder;
    const std::string database = folder.File("cookies.sqlite");
    const std::string journal = database + "-journal";
    const std::string victim = folder.File("victim");
    CreateFirefoxCookies(database, {{".gone.example", "a"}});
    ::DeleteFileA((database + "-wal").c_str());
    ::DeleteFileA((database + "-shm").c_str());
    ASSERT_TRUE(WriteWholeFile(victim, "someone's file"));
    ASSERT_TRUE(MakeFileLink(victim, folder.Path(), "cookies.sqlite-journal"));
    sqlite3_vfs* vfs = sqlite3_vfs_find(GuardedVfsName());
    ASSERT_NE(vfs, nullptr);
    std::vector<char> fileSpace(static_cast<size_t>(vfs->szOsFile));
    auto* file = reinterpret_cast<sqlite3_file*>(fileSpace.data());

    const std::pair<const char*, std::function<int()>> calls[] = {
        {"the database opened to be changed", [&] {
             try {
                 CSqliteDatabase db(database, CSqliteDatabase::Access::ReadWrite, 10000);
             } catch (const std::exception& error) {
                 EXPECT_STREQ(error.what(), "cookies.sqlite-journal is a link or lies outside its folder");
                 return SQLITE_CANTOPEN;
             }
             return SQLITE_OK;
         }},
        {"the database read as it stands", [&] {
             try {
                 CSqliteDatabase db(database, CSqliteDatabase::Access::Snapshot, 10000);
             } catch (const std::exception&) {
                 return SQLITE_CANTOPEN;
             }
             return SQLITE_OK;
         }},
        {"the journal opened", [&] {
             int flags = 0;
             return vfs->xOpen(vfs, journal.c_str(), file,
                               SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &flags);
         }},
        {"the journal deleted", [&] { return vfs->xDelete(vfs, journal.c_str(), 0); }},
        {"the journal looked for", [&] {
             int found = 0;
             return vfs->xAccess(vfs, journal.c_str(), SQLITE_ACCESS_EXISTS, &found);
         }},
    };
    for (const auto& [what, call] : calls) {
        SCOPED_TRACE(what);
        EXPECT_NE(call(), SQLITE_OK);
        std::string left;
        EXPECT_TRUE(ReadWholeFile(victim, &left) && left == "someone's file");
    }
    // Once the link is gone (removed from the Linux side), the database opens.
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(journal) + "\"");
    ASSERT_TRUE(Eventually([&] { return !FileExists(journal); }, kAppearTimeout));
    EXPECT_NO_THROW(CSqliteDatabase(database, CSqliteDatabase::Access::ReadWrite, 10000));
}

TEST(GuardedSqlite, ALoggedDatabaseChangedKeepsItsSharedIndexInMemoryAndALinkPutThereLaterStaysUntouched)
{
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the links are made from the Linux side of Wine";
    ScratchFolder folder;
    const std::string database = folder.File("cookies.sqlite");
    const std::string victim = folder.File("victim");
    CreateFirefoxCookies(database, {{".kept.example", "a"}, {".gone.example", "b"}});
    ::DeleteFileA((database + "-shm").c_str());
    ASSERT_TRUE(WriteWholeFile(victim, "someone's file"));
    {
        // Checked and opened while nothing stands at "-shm": a link put
        // there afterwards is never reached, as SQLite's Windows layer would
        // open, size and delete it past the guarded file layer.
        CSqliteDatabase db(database, CSqliteDatabase::Access::ReadWrite, 10000);
        ASSERT_TRUE(MakeFileLink(victim, folder.Path(), "cookies.sqlite-shm"));
        EXPECT_EQ(DeleteUnkeptCookies(db, "moz_cookies", "host", CKeptSites({"kept.example"})).removed, 1);
    }
    std::string left;
    EXPECT_TRUE(ReadWholeFile(victim, &left) && left == "someone's file");
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(database + "-shm") + "\"");
    EXPECT_EQ(CountRows(database, "moz_cookies"), 1);
}

TEST(SiteOrigins, EachStoredNameIsASitesOnlyWhenItNamesAWebOriginPlainly)
{
    struct Case {
        std::string (*read)(const std::string&);
        std::string name;
        std::string host;
    };
    const Case cases[] = {
        {&HostOfOrigin, "https://www.Example.com", "www.example.com"},
        {&HostOfOrigin, "http://localhost:8080", "localhost"},
        {&HostOfOrigin, "https://example.com:99999x", ""},
        {&HostOfOrigin, "file://", ""},
        {&HostOfOrigin, "chrome-extension://abcdef", ""},
        {&HostOfOrigin, "https://a..b", ""},
        {&HostOfOrigin, "https://evil.com/../x", ""},
        {&HostOfLocalStorageKey, "META:https://kept.example", "kept.example"},
        {&HostOfLocalStorageKey, "METAACCESS:https://kept.example:443", "kept.example"},
        {&HostOfLocalStorageKey, std::string("_https://gone.example") + '\0' + "\x01key", "gone.example"},
        {&HostOfLocalStorageKey, "_https://gone.example", ""},
        {&HostOfLocalStorageKey, std::string("_https://gone.example/^0https://kept.example") + '\0' + "k", "gone.example"},
        {&HostOfLocalStorageKey, "META:https://kept.example/^0https://gone.example", "kept.example"},
        {&HostOfLocalStorageKey, "META:https://kept.example/path", ""},
        {&HostOfLocalStorageKey, "VERSION", ""},
        {&HostOfIndexedDbFolder, "https_www.example.com_0.indexeddb.leveldb", "www.example.com"},
        {&HostOfIndexedDbFolder, "http_localhost_8080.indexeddb.blob", "localhost"},
        {&HostOfIndexedDbFolder, "chrome-extension_abc_0.indexeddb.leveldb", ""},
        {&HostOfIndexedDbFolder, "https_example.com.indexeddb.leveldb", ""},
        {&HostOfFirefoxStorageFolder, "https+++www.example.com", "www.example.com"},
        {&HostOfFirefoxStorageFolder, "http+++localhost+++8080", "localhost"},
        {&HostOfFirefoxStorageFolder, "https+++example.org^userContextId=2", "example.org"},
        {&HostOfFirefoxStorageFolder, "moz-extension+++0123-4567", ""},
        {&HostOfFirefoxStorageFolder, "file++++C++Users", ""},
        // Every form the browsers write: ports after one "+", an IPv6
        // address, a host with an underscore or a final dot.
        {&HostOfFirefoxStorageFolder, "http+++localhost+8080", "localhost"},
        {&HostOfFirefoxStorageFolder, "http+++[++1]+8080^userContextId=3", "[::1]"},
        {&HostOfFirefoxStorageFolder, "https+++[2001+db8++1]", "[2001:db8::1]"},
        {&HostOfFirefoxStorageFolder, "https+++[2001+db8++1", ""},
        {&HostOfFirefoxStorageFolder, "https+++a.example+80x", ""},
        {&HostOfOrigin, "https://Example.com.", "example.com"},
        {&HostOfOrigin, "https://my_host.example:8443", "my_host.example"},
        {&HostOfOrigin, "http://[::1]:8080", "[::1]"},
        {&HostOfOrigin, "http://[::1]8080", ""},
        {&HostOfOrigin, "http://[::g]", ""},
        {&HostOfOrigin, "https://example.com..", ""},
        {&HostOfLocalStorageKey, "META:http://[::1]:8080", "[::1]"},
        {&HostOfLocalStorageKey, std::string("_https://dot.example.") + '\0' + "k", "dot.example"},
        {&HostOfIndexedDbFolder, "http_[__1]_8080.indexeddb.leveldb", "[::1]"},
        {&HostOfIndexedDbFolder, "https_my_host.example_0.indexeddb.blob", "my_host.example"},
        {&HostOfIndexedDbFolder, "file__0.indexeddb.leveldb", ""},
        {&HostOfWebAppsStoreKey, "moc.elpmaxe.www.:https:443", "www.example.com"},
        {&HostOfWebAppsStoreKey, "tsohlacol.:http:8080", "localhost"},
        {&HostOfWebAppsStoreKey, "gro.elpmaxe.:http", "example.org"},
        {&HostOfWebAppsStoreKey, "moc.elpmaxe:https:443", ""},
        {&HostOfWebAppsStoreKey, "moc.elpmaxe.:https:44x", ""},
        {&HostOfWebAppsStoreKey, "7654-3210.:moz-extension", ""},
        {&HostOfWebAppsStoreKey, ".:https:443", ""},
        {&HostOfAddress, "https://www.Example.com/app/?x#y", "www.example.com"},
        {&HostOfAddress, "http://example.org:8080", "example.org"},
        {&HostOfAddress, "https://user@example.org/", ""},
        {&HostOfAddress, "moz-extension://0123-4567/", ""},
        {&HostOfStorageKey, "https://a.example:8443/^0https://b.example", "a.example"},
        {&HostOfStorageKey, "chrome-extension://abc/", ""},
        {&HostOfStorageKey, "https://www.example.com/", "www.example.com"},
        {&HostOfStorageKey, "https://embedded.example/^0https://top.example", "embedded.example"},
        {&HostOfStorageKey, "https://example.com/path", ""},
        {&HostOfSessionStorageArea, "namespace-dabc53e1_8291_4de5_824f_dab8aa69c846-https://a.example/", "a.example"},
        {&HostOfSessionStorageArea, "namespace-dabc53e1_8291_4de5_824f_dab8aa69c846-", ""},
        {&HostOfSessionStorageArea, "namespace-short-https://a.example/", ""},
        {&MapIdOfSessionStorageKey, "map-12-key-with-dashes", "12"},
        {&MapIdOfSessionStorageKey, "map--1-key", ""},
        {&MapIdOfSessionStorageKey, "next-map-id", ""},
        {&HostOfFileSystemOriginKey, "ORIGIN:https_www.example.com_0", "www.example.com"},
        {&HostOfFileSystemOriginKey, "ORIGIN:https://example.com/", "example.com"},
        {&HostOfFileSystemOriginKey, "LAST_PATH", ""},
        // CacheStorageIndex: field 2 (tag 0x12) holds the origin; field 1 (0x0A) a cache.
        {&HostOfCacheStorageIndex, "\x0A\x03\x0A\x01x\x12\x15https://a.example:443", "a.example"},
        {&HostOfCacheStorageIndex, "\x12\x7Fhttps://a.example", ""},  // longer than the message
        {&HostOfCacheStorageIndex, "\x0B\x12\x01x", ""},              // a group: not written by the browser
        {&HostOfCacheStorageIndex, "", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.read(c.name), c.host) << c.name;
    // What local files stored is told apart, to be reported rather than taken for a site's.
    EXPECT_TRUE(IsLocalFilesLocalStorageKey("META:file://"));
    EXPECT_TRUE(IsLocalFilesLocalStorageKey(std::string("_file://") + '\0' + "k"));
    EXPECT_FALSE(IsLocalFilesLocalStorageKey("META:https://file.example"));
    EXPECT_TRUE(IsLocalFilesFolder("file__0.indexeddb.leveldb"));
    EXPECT_TRUE(IsLocalFilesFolder("file++++C++Users+me+page.html"));
    EXPECT_FALSE(IsLocalFilesFolder("https+++file.example"));
}

TEST(SiteOrigins, ServiceWorkerKeysAreToldByTheRecordTheyBelongTo)
{
    using Kind = ServiceWorkerKey::Kind;
    const std::string nul(1, '\0');
    const struct {
        std::string key;
        Kind kind;
        std::string host;
        std::string id;
    } cases[] = {
        {"REG:https://www.example.com/" + nul + "12", Kind::Registration, "www.example.com", "12"},
        {"REG:chrome-extension://abc/" + nul + "12", Kind::Registration, "", "12"},
        {"REG:https://a.example/" + nul + "x1", Kind::Store, "", ""},
        {"REGID_TO_ORIGIN:12", Kind::RegistrationOrigin, "", "12"},
        {"REG_USER_DATA:12" + nul + "push", Kind::UserData, "", "12"},
        {"REG_HAS_USER_DATA:push" + nul + "12", Kind::HasUserData, "", "12"},
        {"RES:7" + nul + "30", Kind::Resource, "", "7"},
        {"RES:7" + nul, Kind::Store, "", ""},
        {"INITDATA_UNIQUE_ORIGIN:https://a.example/", Kind::UniqueOrigin, "a.example", ""},
        {"INITDATA_NEXT_RESOURCE_ID", Kind::Store, "", ""},
        {"URES:30", Kind::Store, "", ""},
        {"PRES:30", Kind::Store, "", ""},
    };
    for (const auto& c : cases) {
        const ServiceWorkerKey parsed = ParseServiceWorkerKey(c.key);
        EXPECT_EQ(parsed.kind, c.kind) << c.key;
        EXPECT_EQ(parsed.host, c.host) << c.key;
        EXPECT_EQ(parsed.id, c.id) << c.key;
    }
}

TEST(SimpleCache, AnEntrysKeyIsReadFromItsHeaderAndNothingElseIsTakenForOne)
{
    const std::string magic("\x30\x5c\x72\xa7\x1b\x6d\xfb\xfc", 8);
    const auto head = [&magic](std::uint8_t keyLength, const std::string& rest) {
        return magic + std::string("\x05\0\0\0", 4) + std::string(1, static_cast<char>(keyLength)) +
               std::string(11, '\0') + rest;
    };
    const struct {
        std::string head;
        std::string key;
    } cases[] = {
        {head(2, "42data"), "42"},
        {head(3, "42"), ""},                        // cut short
        {head(65, std::string(80, '1')), ""},       // longer than a resource id
        {head(0, "42"), ""},
        {"X" + head(2, "42").substr(1), ""},        // another format
        {magic, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(KeyOfSimpleCacheEntry(c.head), c.key) << c.head;
    EXPECT_TRUE(IsSimpleCacheEntryFileName("0123456789abcdef_s"));
    for (const char* name : {"index", "0123456789ABCDEF_0", "0123456789abcdef_2", "0123456789abcde_0"}) {
        EXPECT_FALSE(IsSimpleCacheEntryFileName(name)) << name;
    }
}
