// Speed of the site data clean: the Chromium site data item on a profile of
// many sites (local storage, IndexedDB folders, service workers with their
// Cache Storage folders), half of them kept, against a bare loop over the
// same LevelDB library that deletes the same keys and compacts, and removes
// the same per-site folders with plain Win32 calls. Each round cleans a fresh copy of
// one profile built at the start, so both see the same files.
//
//   sitedata_benchmark [sites] [keys per site] [rounds] [service workers] [IndexedDB folders]
#include "common/codecs.h"
#include "jobapi/extkeys.h"
#include "common/paths.h"
#include "plugin/jobs/browseritems.h"
#include "support/browser_profiles.h"
#include "support/fake_task_info.h"
#include "support/recording_sink.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"

#include <windows.h>
#include <leveldb/db.h>
#include <leveldb/write_batch.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const char kSettingsFile[] = "tw_bench_site_data.ini";

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// How many sites have an IndexedDB folder (the first ones).
int g_indexedDbSites = 0;

// Even sites are kept, odd ones go.
std::string Host(int site) { return "site" + std::to_string(site) + (site % 2 == 0 ? ".kept.example" : ".gone.example"); }
std::string Origin(int site) { return "https://" + Host(site); }
std::string IndexedDbFolder(int site) { return "https_" + Host(site) + "_0.indexeddb.leveldb"; }

std::string CacheStorageFolder(int site) { return std::to_string(100000 + site) + "cafe"; }

// Protocol buffer fields, as the browser serializes its records.
std::string Varint(std::uint64_t value)
{
    std::string bytes;
    for (; value >= 0x80; value >>= 7) bytes += static_cast<char>((value & 0x7F) | 0x80);
    return bytes + static_cast<char>(value);
}
std::string ProtoNumber(int field, std::uint64_t value) { return Varint(static_cast<std::uint64_t>(field) << 3) + Varint(value); }
std::string ProtoText(int field, const std::string& text)
{
    return Varint((static_cast<std::uint64_t>(field) << 3) | 2) + Varint(text.size()) + text;
}

// The service worker database's keys of the gone sites, which the bare
// loop deletes: their records do not all name the site in the key.
std::set<std::string> g_goneWorkerKeys;

void Fail(const std::string& what)
{
    std::fprintf(stderr, "sitedata_benchmark: %s\n", what.c_str());
    std::exit(1);
}

std::unique_ptr<leveldb::DB> CreateStore(const std::string& folder)
{
    if (!MakeFolders(folder)) Fail("cannot make " + folder);
    leveldb::Options options;
    options.create_if_missing = true;
    leveldb::DB* opened = nullptr;
    if (!leveldb::DB::Open(options, folder, &opened).ok()) Fail("cannot create " + folder);
    return std::unique_ptr<leveldb::DB>(opened);
}

void WriteServiceWorkers(const std::string& profile, int workers)
{
    const std::string store = profile + "\\Service Worker\\Database";
    const std::unique_ptr<leveldb::DB> db = CreateStore(store);
    leveldb::WriteBatch batch;
    batch.Put("INITDATA_DB_VERSION", "2");
    const std::string nul(1, '\0');
    for (int site = 0; site < workers; ++site) {
        const std::string key = Origin(site) + "/";
        const std::string id = std::to_string(site + 1);
        const std::string version = std::to_string(10000 + site);
        const std::string registration = ProtoNumber(1, site + 1) + ProtoText(2, key) + ProtoText(3, key + "sw.js") +
                                         ProtoNumber(4, 10000 + site) + ProtoNumber(5, 1) + ProtoNumber(6, 1);
        const std::vector<std::pair<std::string, std::string>> records = {
            {"INITDATA_UNIQUE_ORIGIN:" + key, ""},
            {"REG:" + key + nul + id, registration},
            {"REGID_TO_ORIGIN:" + id, key},
            {"RES:" + version + nul + id, ProtoNumber(1, site + 1) + ProtoText(2, key + "sw.js")},
            {"REG_USER_DATA:" + id + nul + "push", "subscription of " + Host(site)}};
        for (const auto& record : records) {
            batch.Put(record.first, record.second);
            if (site % 2 == 1) g_goneWorkerKeys.insert(record.first);
        }
        const std::string cache = profile + "\\Service Worker\\CacheStorage\\" + CacheStorageFolder(site);
        if (!MakeFolders(cache + "\\entries") ||
            !WriteWholeFile(cache + "\\index.txt", ProtoText(1, ProtoText(1, "v1")) + ProtoText(2, Origin(site))) ||
            !WriteWholeFile(cache + "\\entries\\0001", "cached response of " + Host(site)))
            Fail("cannot write " + cache);
    }
    if (!db->Write(leveldb::WriteOptions(), &batch).ok()) Fail("cannot write " + store);
}

void BuildProfile(const std::string& userData, int sites, int keysPerSite, int workers)
{
    WriteLocalState(userData, {"Default"});
    const std::string profile = userData + "\\Default";
    const std::string store = profile + "\\Local Storage\\leveldb";
    const std::unique_ptr<leveldb::DB> db = CreateStore(store);
    db->Put(leveldb::WriteOptions(), "VERSION", "1");
    for (int site = 0; site < sites; ++site) {
        leveldb::WriteBatch batch;
        batch.Put("META:" + Origin(site), "meta");
        for (int key = 0; key < keysPerSite - 1; ++key) {
            batch.Put("_" + Origin(site) + std::string("\x00\x01", 2) + "key" + std::to_string(key),
                      "\x01value of " + Host(site) + " number " + std::to_string(key));
        }
        if (!db->Write(leveldb::WriteOptions(), &batch).ok()) Fail("cannot write " + store);
        if (site >= g_indexedDbSites) continue;
        const std::string folder = profile + "\\IndexedDB\\" + IndexedDbFolder(site);
        if (!MakeFolders(folder) || !WriteWholeFile(folder + "\\000003.log", "indexeddb of " + Host(site)) ||
            !WriteWholeFile(folder + "\\CURRENT", "MANIFEST-000001\n"))
            Fail("cannot write " + folder);
    }
    WriteServiceWorkers(profile, workers);
}

bool CopyTree(const std::string& from, const std::string& to)
{
    if (!MakeFolders(to)) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((from + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = CopyTree(from + "\\" + name, to + "\\" + name) && ok;
        } else {
            ok = ::CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE) && ok;
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return ok;
}

// The bare loop: one pass over the store, the gone sites' keys deleted in
// one synced batch, a full compaction, and the gone sites' folders removed.
void BareErase(const std::string& store, const std::function<bool(const std::string&)>& gone)
{
    leveldb::DB* opened = nullptr;
    if (!leveldb::DB::Open(leveldb::Options(), store, &opened).ok()) Fail("bare open " + store);
    std::unique_ptr<leveldb::DB> db(opened);
    leveldb::WriteBatch batch;
    {
        std::unique_ptr<leveldb::Iterator> it(db->NewIterator(leveldb::ReadOptions()));
        for (it->SeekToFirst(); it->Valid(); it->Next()) {
            if (gone(it->key().ToString())) batch.Delete(it->key());
        }
    }
    leveldb::WriteOptions sync;
    sync.sync = true;
    if (!db->Write(sync, &batch).ok()) Fail("bare write " + store);
    db->CompactRange(nullptr, nullptr);
}

struct BareTimes {
    double levelDb = 0;  // the stores' keys deleted and compacted
    double total = 0;    // and the same folders removed
};

BareTimes BareLoop(const std::string& userData, int sites, int workers)
{
    const std::string profile = userData + "\\Default";
    const double start = Now();
    BareErase(profile + "\\Local Storage\\leveldb",
              [](const std::string& key) { return key.find(".gone.example") != std::string::npos; });
    BareErase(profile + "\\Service Worker\\Database",
              [](const std::string& key) { return g_goneWorkerKeys.count(key) != 0; });
    BareTimes times;
    times.levelDb = Now() - start;
    for (int site = 1; site < g_indexedDbSites; site += 2) {
        const std::string folder = profile + "\\IndexedDB\\" + IndexedDbFolder(site);
        ::DeleteFileA((folder + "\\000003.log").c_str());
        ::DeleteFileA((folder + "\\CURRENT").c_str());
        if (!::RemoveDirectoryA(folder.c_str())) Fail("bare remove " + folder);
    }
    for (int site = 1; site < workers; site += 2) {
        const std::string cache = profile + "\\Service Worker\\CacheStorage\\" + CacheStorageFolder(site);
        ::DeleteFileA((cache + "\\index.txt").c_str());
        ::DeleteFileA((cache + "\\entries\\0001").c_str());
        if (!::RemoveDirectoryA((cache + "\\entries").c_str()) || !::RemoveDirectoryA(cache.c_str()))
            Fail("bare remove " + cache);
    }
    times.total = Now() - start;
    return times;
}

double ItemRun(const std::string& userData, const std::string& expected)
{
    if (!WriteWholeFile(GetModuleFilePath(kSettingsFile), "[Browser]\r\nName=Bench Chrome\r\nData=" + userData + "\r\n"))
        Fail("cannot write the job settings");
    FakeTaskInfo info;
    StringList kept = {"kept.example"};
    info.Set(kCookieKeepListKey, EncodeStringList(kept));
    RecordingSink sink;
    const double start = Now();
    CBrowserSiteDataItem* job = new CBrowserSiteDataItem(BrowserFamily::Chromium);
    const bool ran = job->Init(&info, kSettingsFile, &sink) == kJobSuccess && job->Run() == kJobSuccess;
    job->Release();
    const double seconds = Now() - start;
    ::DeleteFileA(GetModuleFilePath(kSettingsFile).c_str());
    bool said = false;
    for (const RecordedEvent& event : sink.events) said = said || event.text == expected;
    if (!ran || !said) Fail("the item did not report \"" + expected + "\"");
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    const int sites = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int keysPerSite = argc > 2 ? std::atoi(argv[2]) : 100;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    const int workers = argc > 4 ? std::atoi(argv[4]) : sites / 2;
    g_indexedDbSites = argc > 5 ? std::atoi(argv[5]) : sites;
    ScratchFolder scratch;
    const std::string original = scratch.File("original");
    BuildProfile(original, sites, keysPerSite, workers);
    const std::string expected = "Bench Chrome, profile Default: site data of " + std::to_string(sites / 2) +
                                 " sites deleted, of " + std::to_string(sites - sites / 2) + " kept.";

    BareTimes bare{1e9, 1e9};
    double item = 1e9;
    for (int round = 0; round < rounds; ++round) {
        const std::string forBare = scratch.File("bare" + std::to_string(round));
        const std::string forItem = scratch.File("item" + std::to_string(round));
        if (!CopyTree(original, forBare) || !CopyTree(original, forItem)) Fail("cannot copy the profile");
        const BareTimes times = BareLoop(forBare, sites, workers);
        if (times.total < bare.total) bare = times;
        item = std::min(item, ItemRun(forItem, expected));
    }
    std::printf("site data: %d sites (%d kept), %d local storage keys, %d IndexedDB folders, %d service workers; "
                "best of %d rounds\n",
                sites, sites - sites / 2, sites * keysPerSite, g_indexedDbSites, workers, rounds);
    std::printf("  bare LevelDB loop (keys deleted, compacted):   %.3f s\n", bare.levelDb);
    std::printf("  the same loop + plain removal of the folders:  %.3f s\n", bare.total);
    std::printf("  site data item:                                %.3f s (goal under 2 s)\n", item);
    std::printf("  ratio to the bare LevelDB loop: %.2f, to the loop with folders: %.2f (goal at most 1.5)\n",
                item / bare.levelDb, item / bare.total);
    return 0;
}
