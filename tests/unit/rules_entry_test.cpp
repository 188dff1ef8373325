// The job of one community rules entry, run in-process on a rules file of
// its own beside this test program: per feature a table case lays files and
// registry values, a preview changes nothing and counts what the clean then
// removes, and every canary stays. The configuration text and the
// exclusions are pure and checked by their own tables.
#include "plugin/jobs/ruleexclusions.h"
#include "rules/rulesentryconfig.h"
#include "plugin/jobs/rulesentryitem.h"

#include "common/cleanupcounts.h"
#include "jobapi/extkeys.h"
#include "common/paths.h"
#include "common/usersid.h"
#include "rules/systemfolders.h"
#include "support/job_harness.h"
#include "support/registry_fixture.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"
#include "support/unix_side.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(RulesEntryConfig, TakesTheTwoFileFormsAndRefusesEverythingElse)
{
    const struct {
        const char* text;
        const char* problem;  // empty: accepted
    } cases[] = {
        {"program\twinapp2.ini\tFoo Cache *", ""},
        {"user\tRules\\mine.ini\tFoo Cache *", ""},
        {"program\tRules\\..\\x.ini\tFoo", "the rules file Rules\\..\\x.ini is not a plain .ini name in Rules\\"},
        {"program\t..\\x.ini\tFoo", "the rules file ..\\x.ini is neither winapp2.ini nor in Rules\\"},
        {"program\tC:\\x.ini\tFoo", "the rules file C:\\x.ini is neither winapp2.ini nor in Rules\\"},
        {"program\tRules\\C:x.ini\tFoo", "the rules file Rules\\C:x.ini is not a plain .ini name in Rules\\"},
        {"program\tRules\\sub\\x.ini\tFoo", "the rules file Rules\\sub\\x.ini is not a plain .ini name in Rules\\"},
        {"program\tRules\\x.txt\tFoo", "the rules file Rules\\x.txt is not a plain .ini name in Rules\\"},
        {"program\tRules\\.ini\tFoo", "the rules file Rules\\.ini is not a plain .ini name in Rules\\"},
        {"elsewhere\twinapp2.ini\tFoo", "unknown place elsewhere (program or user)"},
        {"program\twinapp2.ini\t", "no section name"},
        {"program\twinapp2.ini", "expected <place>, <file> and <section> separated by tabs"},
        {"program\twinapp2.ini\tFoo\tBar", "expected <place>, <file> and <section> separated by tabs"},
    };
    for (const auto& c : cases) {
        RulesEntryConfig config;
        EXPECT_EQ(RulesEntryConfigProblem(c.text, &config), c.problem) << c.text;
    }
}

// What the catalogue writes the job reads back exactly, whatever a rules
// file names its section; a name the text cannot carry is not written.
TEST(RulesEntryConfig, WhatIsWrittenIsReadBackExactlyForHostileNames)
{
    const std::string nonAscii = "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC *";  // UTF-8, as the file's bytes
    const struct {
        RulesPlace place;
        std::string file;
        std::string section;
    } kept[] = {
        {RulesPlace::Program, "winapp2.ini", "Foo Cache *"},
        {RulesPlace::User, "Rules\\mine.ini", "Key=Value; \"quoted\" [x] *"},
        {RulesPlace::User, "Rules\\Caf\xC3\xA9.ini", nonAscii},
        {RulesPlace::Program, "WINAPP2.INI", "line\nbreak\rand \\ back\\slash"},
        {RulesPlace::Program, "Rules\\x.ini", "  blanks around  "},
        {RulesPlace::Program, "winapp2.ini", "group:Applications"},
        {RulesPlace::User, "Rules\\long.ini", std::string(70000, 'n')},
    };
    for (const auto& c : kept) {
        const std::string text = RulesEntryConfigText({c.place, c.file, c.section});
        RulesEntryConfig read;
        ASSERT_EQ(RulesEntryConfigProblem(text, &read), "") << text.substr(0, 80);
        EXPECT_EQ(read.place, c.place);
        EXPECT_EQ(read.file, c.file);
        EXPECT_EQ(read.section, c.section);
    }
    for (const std::string& unwritable : {std::string(), std::string("Tab\there"), std::string("\t")})
        EXPECT_EQ(RulesEntryConfigText({RulesPlace::Program, "winapp2.ini", unwritable}), "") << unwritable;
}

TEST(RuleExclusions, KeepExactlyWhatTheirKindNames)
{
    KnownFolders folders;
    folders.localAppData = "C:\\users\\u\\AppData\\Local";
    const std::vector<RuleExclude> excludes = {
        {RuleExcludeKind::File, "C:\\data\\logs", {"keep.log", "*.cfg"}, 1},
        {RuleExcludeKind::Path, "%LocalAppData%\\Vendor\\Saved", {}, 2},
        {RuleExcludeKind::Path, "C:\\data\\V*\\masked", {"*.db"}, 3},
        {RuleExcludeKind::Registry, "HKEY_CURRENT_USER\\Software\\V\\Kept", {}, 4},
        {RuleExcludeKind::Registry, "HKCU\\Software\\V\\Values", {"Mru"}, 5},
    };
    const CRuleExclusions exclusions(excludes, folders);
    const struct {
        const char* path;
        bool kept;
    } paths[] = {
        {"C:\\data\\logs\\keep.log", true},   {"C:\\DATA\\Logs\\KEEP.LOG", true},
        {"C:\\data\\logs\\a.cfg", true},      {"C:\\data\\logs\\a.log", false},
        {"C:\\data\\logs\\sub\\keep.log", false},
        {"C:\\users\\u\\AppData\\Local\\Vendor\\Saved", true},
        {"C:\\users\\u\\AppData\\Local\\Vendor\\Saved\\deep\\x.tmp", true},
        {"C:\\users\\u\\AppData\\Local\\Vendor\\SavedNot\\x.tmp", false},
        {"C:\\data\\Vendor\\masked\\deep\\x.db", true}, {"C:\\data\\Vendor\\masked\\x.tmp", false},
    };
    for (const auto& c : paths) EXPECT_EQ(exclusions.KeepsPath(c.path), c.kept) << c.path;
    const struct {
        const char* key;
        const char* value;  // null: the whole key
        bool kept;
    } keys[] = {
        {"HKCU\\Software\\V", nullptr, false},             // holds Kept: the walk spares it
        {"HKCU\\Software\\V\\Kept\\Sub", nullptr, true},   // inside Kept
        {"HKCU\\Software\\V\\Kept", "x", true},
        {"HKCU\\Software\\V\\Other", nullptr, false},
        {"HKCU\\Software\\V\\Values", nullptr, false},     // the walk spares Mru
        {"HKCU\\Software\\V\\Values", "mru", true},
        {"HKCU\\Software\\V\\Values", "Other", false},
        {"HKLM\\Software\\V\\Kept", nullptr, false},
    };
    for (const auto& c : keys)
        EXPECT_EQ(exclusions.KeepsRegistry(c.key, c.value ? c.value : "", c.value != nullptr), c.kept) << c.key;
    EXPECT_EQ(EngineRegistryKey("hkey_local_machine\\Software\\V"), "HKLM\\Software\\V");
    const std::string sid = CurrentUserSid();
    ASSERT_FALSE(sid.empty());
    const struct {
        std::string ruleKey, engineKey;
    } roots[] = {
        {"HKU\\.DEFAULT\\Software\\V", "HKU\\.DEFAULT\\Software\\V"},
        {"HKEY_USERS\\.default\\Software\\V", "HKU\\.DEFAULT\\Software\\V"},
        {"HKU\\" + sid + "\\Software\\V", "HKCU\\Software\\V"},
        {"HKU\\" + sid + "_Classes\\V", "HKCU\\Software\\Classes\\V"},
        {"HKU\\S-1-5-21-1-2-3-1001\\Software\\V", ""},  // another user's
        {"HKU\\" + sid + "x\\Software\\V", ""},
        {"HKCR\\V\\W", ""},
    };
    for (const auto& c : roots) EXPECT_EQ(EngineRegistryKey(c.ruleKey), c.engineKey) << c.ruleKey;
}

// Paths in a case: relative to the case's folder ($D in its keys), or,
// with "%L\", to its folder below %LocalAppData% ($L); "reg:<key>|<value>"
// below its registry key ($K). A path ending in "\" is a folder.
struct EntryCase {
    const char* feature;
    std::vector<std::string> keys;    // the entry's lines
    std::vector<std::string> gone;    // must go in the clean, stay in the preview
    std::vector<std::string> kept;    // canaries: always stay
    std::string initError;            // empty: Init succeeds
    long long files = 0, folders = 0, registryValues = 0;  // what the clean counts
    const char* config = nullptr;     // another configuration text than the case's entry
    long long skipped = 0;            // what the clean leaves as skipped
};

const char kRulesFile[] = "Rules\\tw_rules_entry_test.ini";
const char kSection[] = "Tidewhistle Test Entry *";
const char kRegBase[] = "Software\\TidewhistleTests\\RulesEntry";
const char kDefaultProfile[] = ".DEFAULT\\";
const char kRefused[] = "Job configuration is invalid (refused: ";

std::vector<EntryCase> Cases()
{
    return {
        {"several masks", {"FileKey1=$D|*.log;*.tmp"}, {"a.log", "b.tmp"}, {"c.txt", "sub\\d.log"}, "", 2, 0, 0},
        {"RECURSE", {"FileKey1=$D|*.log|RECURSE"}, {"a.log", "sub\\b.log", "sub\\deep\\c.log"},
         {"sub\\keep.txt", "sub\\deep\\"}, "", 3, 0, 0},
        {"REMOVESELF", {"FileKey1=$D\\cache|*|REMOVESELF"}, {"cache\\a.bin", "cache\\sub\\b.bin", "cache\\sub\\", "cache\\"},
         {"other.txt"}, "", 2, 2, 0},
        {"REMOVESELF keeps what its masks spare", {"FileKey1=$D\\cache|*.tmp|REMOVESELF"},
         {"cache\\a.tmp", "cache\\empty\\x.tmp", "cache\\empty\\"}, {"cache\\keep.txt", "cache\\"}, "", 2, 1, 0},
        {"registry key and value",
         {"RegKey1=HKCU\\$K\\whole", "RegKey2=HKCU\\$K\\one|v1", "RegKey3=HKEY_CURRENT_USER\\$K\\long"},
         {"reg:whole|a", "reg:whole\\sub|b", "reg:one|v1", "reg:long|x"}, {"reg:one|v2", "reg:other|c"}, "", 0, 0, 4},
        {"FILE exclusion", {"FileKey1=$D|*.*", "ExcludeKey1=FILE|$D|keep.log;*.cfg"}, {"a.log", "b.tmp"},
         {"keep.log", "x.cfg"}, "", 2, 0, 0},
        {"PATH exclusion", {"FileKey1=$D|*|RECURSE", "ExcludeKey1=PATH|$D\\saved", "ExcludeKey2=PATH|$D\\logs|*.log"},
         {"a.tmp", "logs\\b.tmp"}, {"saved\\s.tmp", "saved\\deep\\t.tmp", "logs\\c.log"}, "", 2, 0, 0},
        {"REG exclusion",
         {"RegKey1=HKCU\\$K\\a", "RegKey2=HKCU\\$K\\b|v", "RegKey3=HKCU\\$K\\c", "RegKey4=HKCU\\$K\\d",
          "ExcludeKey1=REG|HKCU\\$K\\a\\kept", "ExcludeKey2=REG|HKCU\\$K\\b|v", "ExcludeKey3=REG|HKCU\\$K\\c|keepme",
          "ExcludeKey4=REG|HKCU\\$K\\d"},
         {"reg:a|x", "reg:a\\other|z", "reg:c|x"}, {"reg:a\\kept|y", "reg:a\\kept\\deep|w", "reg:b|v", "reg:c|keepme",
          "reg:d|x"}, "", 0, 0, 3, nullptr, 2},
        {"the default profile's registry", {"RegKey1=HKU\\.DEFAULT\\$K\\d"}, {"dreg:d|x", "dreg:d\\sub|y"},
         {"dreg:other|z", "reg:d|x"}, "", 0, 0, 2},
        {"registry roots the engine does not clean",
         {"RegKey1=HKU\\S-1-5-21-1-2-3-1001\\Software\\TidewhistleTests\\x", "RegKey2=HKCR\\TidewhistleTests\\x\\y"},
         {}, {}, "", 0, 0, 0, nullptr, 2},
        {"the rules file in the data folder", {"FileKey1=$D|*.tmp"}, {"a.tmp"}, {"b.txt"}, "", 1, 0, 0,
         "user\tRules\\tw_rules_entry_test.ini\tTidewhistle Test Entry *"},
        {"REMOVESELF with an exclusion", {"FileKey1=$D\\cache|*|REMOVESELF", "ExcludeKey1=FILE|$D\\cache\\sub|*.cfg"},
         {"cache\\a.tmp", "cache\\sub\\b.tmp", "cache\\gone\\", }, {"cache\\sub\\x.cfg", "cache\\"}, "", 2, 1, 0},
        {"variables", {"FileKey1=%LocalAppData%\\$L|*.tmp"}, {"%L\\a.tmp"}, {"%L\\b.txt", "a.tmp"}, "", 1, 0, 0},
        {"a refused entry", {"FileKey1=$D|*.tmp", "FileKey2=%LocalAppData%|*|RECURSE"}, {}, {"a.tmp", "%L\\b.tmp"},
         kRefused},
        {"a FILE exclusion naming its file without a | before it", {"FileKey1=$D|*.*", "ExcludeKey1=FILE|$D\\keep.log"},
         {"a.log", "b.tmp"}, {"keep.log"}, "", 2, 0, 0},
        {"a second key removing the folder the first empties",
         {"FileKey1=$D\\cache|*.tmp", "FileKey2=$D\\cache|*.log|REMOVESELF"},
         {"cache\\a.tmp", "cache\\b.log", "cache\\"}, {"other.txt"}, "", 2, 1, 0},
        {"a first key removing the folder a second one names",
         {"FileKey1=$D\\cache|*|REMOVESELF", "FileKey2=$D\\cache|*.tmp"},
         {"cache\\a.tmp", "cache\\b.log", "cache\\"}, {"other.txt"}, "", 2, 1, 0},
        {"a folder with wildcards", {"FileKey1=$D\\V*\\Cache|*.tmp"}, {"Vendor\\Cache\\a.tmp", "V2\\Cache\\b.tmp"},
         {"Vendor\\Cache\\keep.txt", "Vendor\\c.tmp", "Other\\Cache\\d.tmp"}, "", 2, 0, 0},
        {"a missing entry", {"FileKey1=$D|*.tmp"}, {}, {"a.tmp"},
         "Job configuration is invalid (the rules entry Gone Entry * is no longer in Rules\\tw_rules_entry_test.ini)",
         0, 0, 0, "program\tRules\\tw_rules_entry_test.ini\tGone Entry *"},
        {"a hostile file name", {"FileKey1=$D|*.tmp"}, {}, {"a.tmp"},
         "Job configuration is invalid (the rules file ..\\tw_rules_entry_test.ini is neither winapp2.ini nor in Rules\\)",
         0, 0, 0, "program\t..\\tw_rules_entry_test.ini\tTidewhistle Test Entry *"},
    };
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class RulesEntryJob : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override
    {
        regKey = std::string(kRegBase) + "\\case" + std::to_string(GetParam());
        localFolder = SystemKnownFolders().localAppData + "\\" + localName;
        DeleteRegistryBase();
        ASSERT_TRUE(MakeFolders(localFolder));
        ASSERT_TRUE(MakeFolders(GetModuleFilePath("Rules")));
        for (const std::vector<std::string>* list : {&Case().gone, &Case().kept})
            for (const std::string& path : *list) Lay(path);
        std::string entry = std::string("[") + kSection + "]\r\nLangSecRef=3021\r\n";
        for (const std::string& key : Case().keys) entry += Expanded(key) + "\r\n";
        // A neighbour whose name only starts like the case's: picking it would delete c.txt and b.txt.
        entry += std::string("[") + kSection + " Extra]\r\nFileKey1=" + files.Path() + "|*.txt\r\n";
        ASSERT_TRUE(WriteWholeFile(GetModuleFilePath(kRulesFile), entry));
    }
    void TearDown() override
    {
        ::DeleteFileA(GetModuleFilePath(kRulesFile).c_str());
        ::RemoveDirectoryA(GetModuleFilePath("Rules").c_str());
        RemoveTree(localFolder);
        DeleteRegistryBase();
    }
    static void DeleteRegistryBase()
    {
        const std::string defaultProfileBase = std::string(kDefaultProfile) + kRegBase;
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kRegBase);
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kRegBase);
        ::RegDeleteTreeA(HKEY_USERS, defaultProfileBase.c_str());
        ::RegDeleteKeyA(HKEY_USERS, defaultProfileBase.c_str());
    }

    static const EntryCase& Case()
    {
        static const std::vector<EntryCase> cases = Cases();
        return cases[GetParam()];
    }
    std::string Expanded(const std::string& text) const
    {
        return Replaced(Replaced(Replaced(text, "$D", files.Path()), "$L", localName), "$K", regKey);
    }
    // A registry path as root, key and value; a file path as its full path.
    bool IsRegistry(const std::string& path, HKEY* root, std::string* key, std::string* value) const
    {
        const bool defaultProfile = path.compare(0, 5, "dreg:") == 0;
        if (!defaultProfile && path.compare(0, 4, "reg:") != 0) return false;
        const size_t start = defaultProfile ? 5 : 4;
        const size_t bar = path.find('|');
        *root = defaultProfile ? HKEY_USERS : HKEY_CURRENT_USER;
        *key = (defaultProfile ? kDefaultProfile : "") + regKey + "\\" + path.substr(start, bar - start);
        *value = path.substr(bar + 1);
        return true;
    }
    std::string FullPath(const std::string& path) const
    {
        if (path.compare(0, 3, "%L\\") == 0) return localFolder + "\\" + path.substr(3);
        return files.File(path);
    }
    void Lay(const std::string& path)
    {
        HKEY root = nullptr;
        std::string key, value;
        if (IsRegistry(path, &root, &key, &value)) {
            ASSERT_TRUE(WriteRegString(root, key, value, "trace"));
            return;
        }
        const std::string full = FullPath(path);
        if (full.back() == '\\') {
            ASSERT_TRUE(MakeFolders(full.substr(0, full.size() - 1)));
            return;
        }
        ASSERT_TRUE(MakeFolders(full.substr(0, full.rfind('\\'))));
        ASSERT_TRUE(WriteWholeFile(full, "trace"));
    }
    bool There(const std::string& path) const
    {
        HKEY root = nullptr;
        std::string key, value;
        if (IsRegistry(path, &root, &key, &value)) return RegValueExists(root, key, value);
        std::string full = FullPath(path);
        if (full.back() == '\\') full.pop_back();
        return ::GetFileAttributesA(full.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // Init then Run; the error text of a failing Init ("ok" when none).
    std::string Run(bool preview, CleanupCounts* counts)
    {
        info.Set(kRunModeKey, preview ? kRunModePreview : kRunModeClean);
        const std::string config =
            Case().config ? Case().config : std::string("program\t") + kRulesFile + "\t" + kSection;
        CRulesEntryItem* job = new CRulesEntryItem();
        std::string result = "ok";
        if (job->Init(&info, config.c_str(), &sink) != kJobSuccess) {
            char text[1024] = {};
            job->GetErrorText(text, sizeof text);
            result = text;
        } else {
            EXPECT_EQ(job->Run(), kJobSuccess);
            *counts = job->Counts();
        }
        job->Release();
        return result;
    }

    const std::string localName = "TidewhistleRulesEntryTest";
    std::string localFolder;
    std::string regKey;
    ScratchFolder files;
    RecordingSink sink;
    FakeTaskInfo info;
};

}  // namespace

TEST_P(RulesEntryJob, APreviewCountsWhatTheCleanRemovesAndTheCanariesStay)
{
    const EntryCase& c = Case();
    SCOPED_TRACE(c.feature);
    CleanupCounts previewed, cleaned;
    const std::string previewResult = Run(true, &previewed);
    for (const std::string& path : c.gone) EXPECT_TRUE(There(path)) << "the preview deleted " << path;
    const std::string cleanResult = Run(false, &cleaned);
    if (!c.initError.empty()) {
        EXPECT_EQ(cleanResult.compare(0, c.initError.size(), c.initError), 0) << cleanResult;
        EXPECT_EQ(previewResult, cleanResult);
    } else {
        EXPECT_EQ(cleanResult, "ok");
        EXPECT_TRUE(previewed == cleaned) << EncodeCleanupCounts(previewed) << " / " << EncodeCleanupCounts(cleaned);
        EXPECT_EQ(cleaned.files, c.files);
        EXPECT_EQ(cleaned.folders, c.folders);
        EXPECT_EQ(cleaned.registryValues, c.registryValues);
        EXPECT_EQ(cleaned.failed, 0);
        EXPECT_EQ(cleaned.skipped, c.skipped);
    }
    for (const std::string& path : c.gone) EXPECT_FALSE(There(path)) << "the clean left " << path;
    for (const std::string& path : c.kept) EXPECT_TRUE(There(path)) << "a canary went: " << path;
    EXPECT_NE(::GetFileAttributesA(files.Path().c_str()), INVALID_FILE_ATTRIBUTES) << "the case's folder went";
}

INSTANTIATE_TEST_SUITE_P(Features, RulesEntryJob, ::testing::Range<size_t>(0, Cases().size()));

// One process runs every entry of a task: the file is parsed once, and a
// file rewritten between two entries (same size, another mask) is read again.
TEST(RulesEntryJobs, ASecondEntryOfAChangedRulesFileSeesTheFileAsItIsNow)
{
    ScratchFolder files;
    ASSERT_TRUE(MakeFolders(GetModuleFilePath("Rules")));
    const std::string rulesPath = GetModuleFilePath("Rules\\tw_rules_cache_test.ini");
    for (const char* name : {"a.aaa", "b.bbb"}) ASSERT_TRUE(WriteWholeFile(files.File(name), "trace"));
    const auto runEntry = [&](const char* mask) {
        ASSERT_TRUE(WriteWholeFile(rulesPath, std::string("[Cache Test *]\r\nFileKey1=") + files.Path() + "|" + mask));
        FakeTaskInfo info;
        info.Set(kRunModeKey, kRunModeClean);
        RecordingSink sink;
        CRulesEntryItem* job = new CRulesEntryItem();
        EXPECT_EQ(job->Init(&info, "program\tRules\\tw_rules_cache_test.ini\tCache Test *", &sink), kJobSuccess);
        EXPECT_EQ(job->Run(), kJobSuccess);
        job->Release();
    };
    runEntry("*.aaa");
    EXPECT_FALSE(FileExists(files.File("a.aaa")));
    EXPECT_TRUE(FileExists(files.File("b.bbb")));
    runEntry("*.bbb");
    EXPECT_FALSE(FileExists(files.File("b.bbb")));
    ::DeleteFileA(rulesPath.c_str());
    ::RemoveDirectoryA(GetModuleFilePath("Rules").c_str());
}


// A rule's folder that is a link, or lies below one, is skipped by the job
// itself, with what the link leads to left whole.
TEST(RulesEntryJobs, AFolderThatIsOrLiesBelowALinkIsSkipped)
{
    ScratchFolder files, outside;
    ASSERT_TRUE(::CreateDirectoryA(outside.File("sub").c_str(), nullptr));
    for (const char* name : {"precious.tmp", "sub\\precious.tmp"}) ASSERT_TRUE(WriteWholeFile(outside.File(name), "keep"));
    ASSERT_TRUE(MakeFolderLink(outside.Path(), files.File("link")));
    ASSERT_TRUE(MakeFolders(GetModuleFilePath("Rules")));
    const std::string rulesPath = GetModuleFilePath("Rules\\tw_rules_link_test.ini");
    ASSERT_TRUE(WriteWholeFile(rulesPath, "[Link Test *]\r\nFileKey1=" + files.File("link") + "|*.tmp|RECURSE\r\nFileKey2=" +
                                              files.File("link\\sub") + "|*.tmp\r\n"));
    for (const bool preview : {true, false}) {
        FakeTaskInfo info;
        info.Set(kRunModeKey, preview ? kRunModePreview : kRunModeClean);
        RecordingSink sink;
        CRulesEntryItem* job = new CRulesEntryItem();
        EXPECT_EQ(job->Init(&info, "program\tRules\\tw_rules_link_test.ini\tLink Test *", &sink), kJobSuccess);
        EXPECT_EQ(job->Run(), kJobSuccess);
        EXPECT_EQ(job->Counts().files, 0);
        EXPECT_EQ(job->Counts().skipped, 2);
        job->Release();
    }
    EXPECT_TRUE(FileExists(outside.File("precious.tmp")));
    EXPECT_TRUE(FileExists(outside.File("sub\\precious.tmp")));
    ::DeleteFileA(rulesPath.c_str());
    ::RemoveDirectoryA(GetModuleFilePath("Rules").c_str());
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(files.Path()) + "/link\"");
}
