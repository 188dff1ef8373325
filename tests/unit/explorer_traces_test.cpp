// The shipped Explorer items on keys laid out in the test prefix as Windows
// lays them out, with canaries beside them: a preview changes nothing and
// counts what the clean then removes, and every canary stays.
#include "plugin/jobs/customcleanupitem.h"

#include "common/cleanupcounts.h"
#include "jobapi/extkeys.h"
#include "common/paths.h"
#include "support/job_harness.h"
#include "support/registry_fixture.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kExplorer[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const char kShell[] = "Software\\Microsoft\\Windows\\Shell";
const char kLocalShell[] = "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell";

struct KeyValue {
    std::string key;  // below HKCU
    std::string value;
};

struct ExplorerCase {
    const char* settingsFile;
    std::vector<std::string> laidTrees;  // keys the case creates and removes afterwards
    std::vector<KeyValue> traces;        // must go
    std::vector<KeyValue> canaries;      // must stay, with their keys
    std::vector<std::string> goneKeys;   // subkeys that must go
    std::vector<std::string> keptKeys;   // the keys Explorer writes to: they stay, emptied
    long long registryKeys;              // the subkeys counted
};

std::string Below(const char* base, const std::string& relative) { return std::string(base) + "\\" + relative; }

std::vector<ExplorerCase> Cases()
{
    const std::string count1 = Below(kExplorer, "UserAssist\\{CEBFF5CD-ACE2-4F4F-9178-9926F41749EA}");
    const std::string count2 = Below(kExplorer, "UserAssist\\{F4E57C4B-2036-45F0-A9AB-443BCFE33D9F}");
    std::vector<ExplorerCase> cases;
    cases.push_back({"tw_explorer_userassist.ini",
                     {count1, count2},
                     {{count1 + "\\Count", "HRZR_PGYFRFFVBA"},
                      {count1 + "\\Count", "{1NP14R77-02R7-4R5Q-O744-2RO1NR5198O7}\\abgrcnq.rkr"},
                      {count2 + "\\Count", "HRZR_PGYFRFFVBA"},
                      {count2 + "\\Count", "{0139Q44R-6NSR-49S2-8690-3QNSPNR6SSO8}\\Npprffbevrf\\Cnvag.yax"}},
                     {{count1, "Version"}, {count2, "Version"}, {count1 + "\\Count\\TidewhistleTestKept", "v"}},
                     {},
                     {count1 + "\\Count", count2 + "\\Count"},
                     0});
    for (const char* shell : {kShell, kLocalShell}) {
        const std::string bagMru = Below(shell, "BagMRU");
        const std::string bags = Below(shell, "Bags");
        const std::string kept = Below(shell, "TidewhistleTestKept");
        cases.push_back({"tw_explorer_shell_bags.ini",
                         {bagMru, bags, kept},
                         {{bagMru, "MRUListEx"},
                          {bagMru, "NodeSlots"},
                          {bagMru, "0"},
                          {bagMru + "\\0", "NodeSlot"},
                          {bagMru + "\\0", "0"},
                          {bagMru + "\\0\\0", "NodeSlot"},
                          {bags + "\\1\\Shell\\{5C4F28B5-F869-4E84-8E60-F11DB97C5CC7}", "Mode"},
                          {bags + "\\AllFolders\\Shell", "ShowCmd"}},
                         {{kept, "v"}},
                         {bagMru + "\\0", bags + "\\1", bags + "\\AllFolders"},
                         {bagMru, bags},
                         7});  // BagMRU\0, \0\0; Bags\1, \1\Shell, \1\Shell\{...}, AllFolders, AllFolders\Shell
    }
    const std::string muiCache = Below(kLocalShell, "MuiCache");
    const std::string muiKept = Below(kLocalShell, "TidewhistleTestKept");
    cases.push_back({"tw_explorer_muicache.ini",
                     {muiCache, muiKept},
                     {{muiCache, "LangID"},
                      {muiCache, "C:\\Windows\\system32\\notepad.exe.FriendlyAppName"},
                      {muiCache, "C:\\Windows\\system32\\notepad.exe.ApplicationCompany"}},
                     {{muiKept, "v"}},
                     {},
                     {muiCache},
                     0});
    const std::string recentDocs = Below(kExplorer, "RecentDocs");
    const std::string recentKept = Below(kExplorer, "TidewhistleTestKept");
    cases.push_back({"tw_explorer_recent_docs.ini",
                     {recentDocs, recentKept},
                     {{recentDocs, "MRUListEx"},
                      {recentDocs, "0"},
                      {recentDocs + "\\.txt", "MRUListEx"},
                      {recentDocs + "\\.txt", "0"},
                      {recentDocs + "\\Folder", "0"}},
                     {{recentKept, "v"}},
                     {recentDocs + "\\.txt", recentDocs + "\\Folder"},
                     {recentDocs},
                     2});
    const std::string drives = Below(kExplorer, "Map Network Drive MRU");
    const std::string drivesKept = Below(kExplorer, "TidewhistleTestKept");
    cases.push_back({"tw_explorer_network_drives.ini",
                     {drives, drivesKept},
                     {{drives, "a"}, {drives, "b"}, {drives, "MRUList"}},
                     {{drivesKept, "v"}},
                     {},
                     {drives},
                     0});
    return cases;
}

class ExplorerTraces : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override
    {
        const ExplorerCase& c = Case();
        // The system test of every shipped item may have left these keys,
        // emptied, in the prefix: each case starts from empty keys and
        // removes only those it made.
        for (const std::string& tree : c.laidTrees) {
            existed.push_back(KeyExists(HKEY_CURRENT_USER, tree));
            ::RegDeleteTreeA(HKEY_CURRENT_USER, tree.c_str());
        }
        for (const KeyValue& trace : c.traces) ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, trace.key, trace.value, "trace"));
        for (const KeyValue& canary : c.canaries) ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, canary.key, canary.value, "kept"));
        std::string settings;
        ASSERT_TRUE(ReadWholeFile(program.File(c.settingsFile), &settings));
        ASSERT_TRUE(WriteWholeFile(GetModuleFilePath(kSettingsCopy), settings));
    }
    void TearDown() override
    {
        for (size_t i = 0; i < existed.size(); ++i) {
            const std::string& tree = Case().laidTrees[i];
            ::RegDeleteTreeA(HKEY_CURRENT_USER, tree.c_str());
            if (!existed[i]) ::RegDeleteKeyA(HKEY_CURRENT_USER, tree.c_str());
        }
        ::DeleteFileA(GetModuleFilePath(kSettingsCopy).c_str());
    }

    const ExplorerCase& Case() const
    {
        static const std::vector<ExplorerCase> cases = Cases();
        return cases[GetParam()];
    }

    CleanupCounts Run(bool preview)
    {
        info.Set(kRunModeKey, preview ? kRunModePreview : kRunModeClean);
        CCustomCleanupItem* job = new CCustomCleanupItem();
        EXPECT_EQ(job->Init(&info, kSettingsCopy, &sink), kJobSuccess);
        EXPECT_EQ(job->Run(), kJobSuccess);
        const CleanupCounts counts = job->Counts();
        job->Release();
        return counts;
    }

    void ExpectTracesThere(bool there) const
    {
        for (const KeyValue& trace : Case().traces)
            EXPECT_EQ(RegValueExists(HKEY_CURRENT_USER, trace.key, trace.value), there) << trace.key << "|" << trace.value;
        for (const std::string& key : Case().goneKeys) EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, key), there) << key;
    }

    static constexpr const char* kSettingsCopy = "tw_test_explorer_item.ini";
    ProgramFolder program;
    std::vector<bool> existed;  // per laid tree, before the case
    RecordingSink sink;
    FakeTaskInfo info;
};

}  // namespace

TEST_P(ExplorerTraces, APreviewCountsWhatTheCleanRemovesAndTheCanariesStay)
{
    const ExplorerCase& c = Case();
    const CleanupCounts previewed = Run(true);
    ExpectTracesThere(true);
    const CleanupCounts cleaned = Run(false);
    ExpectTracesThere(false);

    EXPECT_EQ(cleaned.registryValues, static_cast<long long>(c.traces.size()));
    EXPECT_EQ(cleaned.registryKeys, c.registryKeys);
    EXPECT_EQ(cleaned.failed + cleaned.skipped, 0);
    EXPECT_TRUE(previewed == cleaned) << EncodeCleanupCounts(previewed) << " / " << EncodeCleanupCounts(cleaned);
    for (const KeyValue& canary : c.canaries)
        EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, canary.key, canary.value)) << canary.key << "|" << canary.value;
    for (const std::string& key : c.keptKeys) EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key)) << key;
    for (const RecordedEvent& event : sink.events) EXPECT_NE(event.type, kEventWarning) << event.text;
}

INSTANTIATE_TEST_SUITE_P(ShippedItems, ExplorerTraces, ::testing::Range<size_t>(0, Cases().size()));
