// The LevelDB engine against stores written with LevelDB itself, keyed like
// a browser's local storage: one site's keys erased down to the last byte
// on disk, the other's kept as they were, and stores it must not touch
// (held by another program, missing, damaged, with a file that is a link or
// has other names) refused and left alone, and the store's file layer
// refusing every call that reaches a link.
#include "common/error.h"
#include "common/fileguard.h"
#include "plugin/engines/leveldb/leveldbenv.h"
#include "plugin/engines/leveldb/leveldbstore.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"
#include "support/eventually.h"
#include "support/unix_side.h"

#include <windows.h>
#include <leveldb/db.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>

namespace {

using Entries = std::map<std::string, std::string>;

// Letters no compressor shortens, so that they stand in a table as they are.
std::string DistinctiveText(unsigned seed)
{
    std::mt19937 random(seed);
    std::string text = "secret-";
    for (int i = 0; i < 48; ++i) text += static_cast<char>('a' + random() % 26);
    return text;
}

const std::string kGoneSecret = DistinctiveText(1);
const std::string kGoneSecretRewritten = DistinctiveText(2);

std::string StorageKey(const std::string& origin, const std::string& name)
{
    return "_" + origin + std::string("\x00\x01", 2) + name;
}

Entries KeptEntries()
{
    Entries kept = {{"VERSION", "1"},
                    {"META:https://kept.example", std::string("\x08\x80\x01\x10\x07", 5)},
                    {StorageKey("https://kept.example", "key"), std::string("\x01kept value\x00end", 15)}};
    for (int i = 0; i < 100; ++i) kept[StorageKey("https://kept.example", "item" + std::to_string(i))] = "kept " + std::to_string(i);
    return kept;
}

// The site whose data goes; the first sorts before the kept site, the
// second after it (the last keys of a store end up in its manifest).
const char* const kGoneOrigins[] = {"https://gone.example", "https://very-gone.example"};

Entries GoneEntries(const std::string& origin = kGoneOrigins[0])
{
    Entries gone = {{"META:" + origin, std::string("\x08\x90\x02\x10\x03", 5)},
                    {StorageKey(origin, "token"), "\x01" + kGoneSecret}};
    for (int i = 0; i < 100; ++i) gone[StorageKey(origin, "item" + std::to_string(i))] = "gone " + std::to_string(i);
    return gone;
}

std::unique_ptr<leveldb::DB> OpenDirectly(const std::string& folder, bool create)
{
    leveldb::Options options;
    options.create_if_missing = create;
    leveldb::DB* db = nullptr;
    const leveldb::Status status = leveldb::DB::Open(options, folder, &db);
    EXPECT_TRUE(status.ok()) << status.ToString();
    return std::unique_ptr<leveldb::DB>(db);
}

// Both sites' entries in a table one level down, then the gone site's token
// rewritten and a kept value changed in the log: the gone bytes are in a
// table and in the log, as in a store a browser has used for a while.
void WriteStore(const std::string& folder, const std::string& goneOrigin = kGoneOrigins[0])
{
    {
        std::unique_ptr<leveldb::DB> db = OpenDirectly(folder, true);
        Entries all = KeptEntries();
        for (const auto& entry : GoneEntries(goneOrigin)) all.insert(entry);
        for (const auto& entry : all) ASSERT_TRUE(db->Put(leveldb::WriteOptions(), entry.first, entry.second).ok());
        db->CompactRange(nullptr, nullptr);
    }
    std::unique_ptr<leveldb::DB> db = OpenDirectly(folder, false);
    ASSERT_TRUE(db->Put(leveldb::WriteOptions(), StorageKey(goneOrigin, "token"), "\x01" + kGoneSecretRewritten).ok());
    ASSERT_TRUE(db->Put(leveldb::WriteOptions(), "VERSION", "1").ok());
}

// Every file of the store but LevelDB's own record of what it did. A file
// that another program holds open for itself is told by its size and time
// where it may, and is a failure where its content is needed.
enum class HeldFiles { Fail, Describe };

Entries StoreFiles(const std::string& folder, HeldFiles held = HeldFiles::Fail)
{
    Entries files;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == "LOG" || name == "LOG.old") continue;
        if (ReadWholeFile(folder + "\\" + name, &files[name])) continue;
        EXPECT_EQ(held, HeldFiles::Describe) << name << " cannot be read";
        files[name] = "held open, " + std::to_string(found.nFileSizeLow) + " bytes, written at " +
                      std::to_string(found.ftLastWriteTime.dwLowDateTime) + "/" + std::to_string(found.ftLastWriteTime.dwHighDateTime);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return files;
}

// The names of the files that hold text anywhere.
std::string FilesHolding(const Entries& files, const std::string& text)
{
    std::string names;
    for (const auto& file : files) {
        if (file.second.find(text) != std::string::npos) names += file.first + " ";
    }
    return names;
}

// What a cleanup of the gone site does: finds its keys, erases them.
long long EraseGoneSite(const std::string& folder, CLevelDbStore::Access access,
                        const std::string& goneOrigin = kGoneOrigins[0])
{
    CLevelDbStore store(folder, access);
    std::vector<std::string> keys;
    store.ForEachEntry([&](const std::string& key, const std::string&) {
        if (key == "META:" + goneOrigin || key.rfind(StorageKey(goneOrigin, ""), 0) == 0) keys.push_back(key);
    });
    return store.EraseKeys(keys);
}

Entries ReadDirectly(const std::string& folder)
{
    Entries entries;
    std::unique_ptr<leveldb::DB> db = OpenDirectly(folder, false);
    if (!db) return entries;
    std::unique_ptr<leveldb::Iterator> entry(db->NewIterator(leveldb::ReadOptions()));
    for (entry->SeekToFirst(); entry->Valid(); entry->Next()) entries[entry->key().ToString()] = entry->value().ToString();
    return entries;
}

TEST(LevelDbStore, ErasesOneSiteFromEveryFileAndKeepsTheOtherByteForByte)
{
    for (const std::string goneOrigin : kGoneOrigins) {
        SCOPED_TRACE(goneOrigin);
        ScratchFolder scratch;
        const std::string folder = scratch.File("leveldb");
        WriteStore(folder, goneOrigin);
        // The scan below can see the gone bytes: before the erase it does.
        const Entries before = StoreFiles(folder);
        for (const std::string& text : {kGoneSecret, kGoneSecretRewritten, goneOrigin})
            ASSERT_NE(FilesHolding(before, text), "") << text << " should be in the store before the erase";

        EXPECT_EQ(EraseGoneSite(folder, CLevelDbStore::Access::Erase, goneOrigin),
                  static_cast<long long>(GoneEntries(goneOrigin).size()));

        const Entries after = StoreFiles(folder);
        for (const std::string& text : {kGoneSecret, kGoneSecretRewritten, goneOrigin})
            EXPECT_EQ(FilesHolding(after, text), "") << text << " is still on disk";
        EXPECT_EQ(ReadDirectly(folder), KeptEntries());
    }
}

TEST(LevelDbStore, PreviewCountsTheKeysAndChangesNoFile)
{
    ScratchFolder scratch;
    const std::string folder = scratch.File("leveldb");
    WriteStore(folder);
    const Entries before = StoreFiles(folder);

    EXPECT_EQ(EraseGoneSite(folder, CLevelDbStore::Access::Preview), static_cast<long long>(GoneEntries().size()));

    EXPECT_EQ(StoreFiles(folder), before);
    Entries expected = KeptEntries();
    for (const auto& entry : GoneEntries()) expected.insert(entry);
    expected[StorageKey(kGoneOrigins[0], "token")] = "\x01" + kGoneSecretRewritten;
    EXPECT_EQ(ReadDirectly(folder), expected);
}

// A store that must not be touched: what makes it so, and words of the error.
struct RefusedStore {
    const char* what;
    std::function<std::unique_ptr<leveldb::DB>(const std::string& folder)> arrange;  // what it returns stays open
    const char* errorText;
};

void DamageManifest(const std::string& folder)
{
    std::string current;
    ASSERT_TRUE(ReadWholeFile(folder + "\\CURRENT", &current));
    const std::string manifest = folder + "\\" + current.substr(0, current.find('\n'));
    std::string content;
    ASSERT_TRUE(ReadWholeFile(manifest, &content));
    for (size_t i = 8; i < content.size(); i += 3) content[i] = static_cast<char>(content[i] ^ 0x5A);
    ASSERT_TRUE(WriteWholeFile(manifest, content));
}

const RefusedStore kRefusedStores[] = {
    {"held by another program",
     [](const std::string& folder) {
         WriteStore(folder);
         return OpenDirectly(folder, false);
     },
     "in use by another program"},
    {"missing", [](const std::string&) { return std::unique_ptr<leveldb::DB>(); }, "no LevelDB store"},
    {"an empty folder",
     [](const std::string& folder) {
         ::CreateDirectoryA(folder.c_str(), nullptr);
         return std::unique_ptr<leveldb::DB>();
     },
     "no LevelDB store"},
    {"damaged",
     [](const std::string& folder) {
         WriteStore(folder);
         DamageManifest(folder);
         return std::unique_ptr<leveldb::DB>();
     },
     "Corruption"},
};

// The first file of the store whose name ends with suffix.
std::string StoreFileEndingWith(const std::string& folder, const std::string& suffix)
{
    for (const auto& file : StoreFiles(folder)) {
        if (file.first.size() >= suffix.size() && file.first.compare(file.first.size() - suffix.size(), suffix.size(), suffix) == 0)
            return file.first;
    }
    return std::string();
}

std::string CurrentManifest(const std::string& folder)
{
    std::string current;
    EXPECT_TRUE(ReadWholeFile(folder + "\\CURRENT", &current));
    return current.substr(0, current.find('\n'));
}

// The store's file name moved beside the store and linked back from the
// Linux side: the store reads the same, but its file lies elsewhere.
void MoveOutAndLinkBack(const std::string& folder, const std::string& name)
{
    ASSERT_FALSE(name.empty());
    const std::string elsewhere = folder + "-elsewhere-" + name;
    ASSERT_TRUE(::MoveFileA((folder + "\\" + name).c_str(), elsewhere.c_str()));
    ASSERT_TRUE(MakeFileLink(elsewhere, folder, name));
}

// Files elsewhere that a store's names lead to, and that must stay as they are.
const RefusedStore kLinkedStores[] = {
    {"an obsolete table that is a link to someone's file",
     [](const std::string& folder) {
         WriteStore(folder);
         EXPECT_TRUE(WriteWholeFile(folder + "-victim", "someone's file, not a table"));
         EXPECT_TRUE(MakeFileLink(folder + "-victim", folder, "000100.ldb"));
         return std::unique_ptr<leveldb::DB>();
     },
     "000100.ldb cannot be used (it is a link or lies outside its folder)"},
    {"its manifest a link to a file elsewhere",
     [](const std::string& folder) {
         WriteStore(folder);
         MoveOutAndLinkBack(folder, CurrentManifest(folder));
         return std::unique_ptr<leveldb::DB>();
     },
     "its file MANIFEST-"},
    {"its log a link to a file elsewhere",
     [](const std::string& folder) {
         WriteStore(folder);
         MoveOutAndLinkBack(folder, StoreFileEndingWith(folder, ".log"));
         return std::unique_ptr<leveldb::DB>();
     },
     ".log cannot be used (it is a link or lies outside its folder)"},
    {"a table with a second name elsewhere",
     [](const std::string& folder) {
         WriteStore(folder);
         const std::string table = StoreFileEndingWith(folder, ".ldb");
         EXPECT_TRUE(::CreateHardLinkA((folder + "-second-name").c_str(), (folder + "\\" + table).c_str(), nullptr));
         return std::unique_ptr<leveldb::DB>();
     },
     ".ldb cannot be used (it has other names (hard links))"},
};

TEST(LevelDbStore, RefusesAStoreItMustNotTouchAndLeavesItAsItWas)
{
    std::vector<RefusedStore> cases(std::begin(kRefusedStores), std::end(kRefusedStores));
    if (!UnixPathOf("C:\\").empty()) cases.insert(cases.end(), std::begin(kLinkedStores), std::end(kLinkedStores));
    for (const RefusedStore& refused : cases) {
        SCOPED_TRACE(refused.what);
        ScratchFolder scratch;
        const std::string folder = scratch.File("leveldb");
        std::unique_ptr<leveldb::DB> holder = refused.arrange(folder);
        const Entries before = StoreFiles(folder, HeldFiles::Describe);
        const bool existed = ::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES;

        try {
            EraseGoneSite(folder, CLevelDbStore::Access::Erase);
            ADD_FAILURE() << "the store was opened";
        } catch (const CError& error) {
            EXPECT_NE(std::string(error.what()).find(refused.errorText), std::string::npos) << error.what();
        }

        EXPECT_EQ(StoreFiles(folder, HeldFiles::Describe), before);
        EXPECT_EQ(::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES, existed);
        if (holder) {
            holder.reset();
            EXPECT_NE(ReadDirectly(folder).count(StorageKey(kGoneOrigins[0], "token")), 0u);
        }
        // Links are removed from the Linux side: Windows would delete what
        // they lead to and leave a link Wine no longer shows.
        const std::string unixScratch = UnixPathOf(scratch.Path());
        if (!unixScratch.empty()) {
            RunUnixCommand(UnixTool("rm") + " -rf \"" + unixScratch + "\"");
            EXPECT_TRUE(Eventually([&] { return !LongPathExists(scratch.Path()); }, kAppearTimeout));
        }
    }
}

// What LevelDB asks of the store's file layer, each call on one name.
struct StoreFileCall {
    const char* what;
    std::function<leveldb::Status(leveldb::Env& env, const std::string& path)> call;
};

const StoreFileCall kStoreFileCalls[] = {
    {"a new file written",
     [](leveldb::Env& env, const std::string& path) {
         leveldb::WritableFile* file = nullptr;
         leveldb::Status status = env.NewWritableFile(path, &file);
         if (status.ok()) status = file->Append("written by the store");
         delete file;
         return status;
     }},
    {"a file appended to",
     [](leveldb::Env& env, const std::string& path) {
         leveldb::WritableFile* file = nullptr;
         leveldb::Status status = env.NewAppendableFile(path, &file);
         if (status.ok()) status = file->Append("appended by the store");
         delete file;
         return status;
     }},
    {"an obsolete file removed", [](leveldb::Env& env, const std::string& path) { return env.RemoveFile(path); }},
    {"a file renamed",
     [](leveldb::Env& env, const std::string& path) { return env.RenameFile(path, path + ".renamed"); }},
    {"a table read",
     [](leveldb::Env& env, const std::string& path) {
         leveldb::RandomAccessFile* file = nullptr;
         const leveldb::Status status = env.NewRandomAccessFile(path, &file);
         delete file;
         return status;
     }},
    {"a log read",
     [](leveldb::Env& env, const std::string& path) {
         leveldb::SequentialFile* file = nullptr;
         const leveldb::Status status = env.NewSequentialFile(path, &file);
         delete file;
         return status;
     }},
    {"the lock taken",
     [](leveldb::Env& env, const std::string& path) {
         leveldb::FileLock* lock = nullptr;
         const leveldb::Status status = env.LockFile(path, &lock);
         if (status.ok()) env.UnlockFile(lock);
         return status;
     }},
    // Last: under Wine a rename replaces a link that leads nowhere, which
    // lists as nothing, with the renamed file.
    {"a file replaced by a rename",
     [](leveldb::Env& env, const std::string& path) {
         leveldb::WritableFile* file = nullptr;
         leveldb::Status status = env.NewWritableFile(path + ".new", &file);
         delete file;
         return status.ok() ? env.RenameFile(path + ".new", path) : status;
     }},
};

// The names a folder lists, sorted.
std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..") names.push_back(found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Content(const std::string& path)
{
    std::string content;
    return ReadWholeFile(path, &content) ? content : "(unreadable)";
}

TEST(LevelDbStore, TheStoresFileLayerRefusesEveryCallThatReachesALinkOrASecondName)
{
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the links are made from the Linux side of Wine";
    ScratchFolder scratch;
    const std::string folder = scratch.File("store");
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const std::string victim = scratch.File("victim.txt");
    const std::string otherName = scratch.File("other-name.txt");
    const std::string nowhere = scratch.File("made-through-a-link");
    ASSERT_TRUE(WriteWholeFile(victim, "someone's file"));
    ASSERT_TRUE(MakeFileLink(victim, folder, "linked.ldb"));
    ASSERT_TRUE(WriteWholeFile(folder + "\\twice.ldb", "a file with two names"));
    ASSERT_TRUE(::CreateHardLinkA(otherName.c_str(), (folder + "\\twice.ldb").c_str(), nullptr));
    // A link that leads nowhere (Wine lists none): making a file at its
    // name would make its target.
    ASSERT_TRUE(WriteWholeFile(nowhere, "soon gone"));
    ASSERT_TRUE(MakeFileLink(nowhere, folder, "nowhere.ldb"));
    ASSERT_TRUE(::DeleteFileA(nowhere.c_str()));
    const std::vector<std::string> names = {"linked.ldb", "twice.ldb"};
    ASSERT_EQ(Listing(folder), names);
    const CFileGuard guard(std::wstring(folder.begin(), folder.end()));
    CGuardedStoreEnv env(folder, guard);
    CPreviewEnv preview(&env);

    for (const StoreFileCall& call : kStoreFileCalls) {
        SCOPED_TRACE(call.what);
        for (const std::string& name : names) {
            SCOPED_TRACE(name);
            const leveldb::Status status = call.call(env, folder + "/" + name);
            EXPECT_FALSE(status.ok());
            EXPECT_NE(status.ToString().find(name), std::string::npos) << status.ToString();
            ::DeleteFileA((folder + "\\" + name + ".new").c_str());  // made by the replacing call, a plain file
            // A preview reads through the same layer and writes nothing at all.
            call.call(preview, folder + "/" + name);
        }
        call.call(env, folder + "/nowhere.ldb");
        EXPECT_EQ(::GetFileAttributesA(nowhere.c_str()), INVALID_FILE_ATTRIBUTES);
        ::DeleteFileA((folder + "\\nowhere.ldb.new").c_str());
        if (Listing(folder) != names) ::DeleteFileA((folder + "\\nowhere.ldb").c_str());  // replaced by a rename
        EXPECT_EQ(Content(victim), "someone's file");
        EXPECT_EQ(Content(otherName), "a file with two names");
        EXPECT_EQ(Content(folder + "\\linked.ldb"), "someone's file");
        EXPECT_EQ(Listing(folder), names);

        // A plain file of the store is used as LevelDB asks.
        ASSERT_TRUE(WriteWholeFile(folder + "\\plain.ldb", "plain"));
        const leveldb::Status plain = call.call(env, folder + "/plain.ldb");
        EXPECT_TRUE(plain.ok()) << plain.ToString();
        for (const char* made : {"plain.ldb", "plain.ldb.renamed", "plain.ldb.new"})
            ::DeleteFileA((folder + "\\" + made).c_str());
    }
    // Nothing outside the store's folder is reached, whatever the name.
    EXPECT_TRUE(env.RemoveFile(victim).IsNotSupportedError());
    EXPECT_TRUE(env.RemoveFile(folder + "/../victim.txt").IsNotSupportedError());
    EXPECT_EQ(Content(victim), "someone's file");
    // The links go from the Linux side: Windows would delete what they lead to.
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(folder) + "/linked.ldb\" \"" + UnixPathOf(folder) +
                   "/nowhere.ldb\"");
    EXPECT_TRUE(Eventually([&] { return Listing(folder) == std::vector<std::string>{"twice.ldb"}; }, kAppearTimeout));
}

}  // namespace
