// The shipped file items of Windows' own traces on folders laid out in the
// test prefix as Windows lays them out, with canaries beside them: with the
// part of the system they clean present, a preview changes nothing and
// counts what the clean then removes (a file in use left for the restart);
// without it, the item says it is not present and touches nothing.
#include "plugin/jobs/customcleanupitem.h"

#include "common/cleanupcounts.h"
#include "jobapi/extkeys.h"
#include "common/handles.h"
#include "common/paths.h"
#include "plugin/engines/files/filecleanup.h"
#include "support/eventually.h"
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

struct FileItemCase {
    const char* settingsFile;
    const char* partKey;               // below HKLM, made for the case; or null
    const char* base;                  // the folder the case lays out (variables expanded)
    const char* systemPart;            // as the item names it when it is missing
    std::vector<std::string> traces;   // below base: must go
    std::vector<std::string> canaries; // below base: must stay
    std::string held;                  // below base: a trace in use, left for the restart; or empty
    std::vector<std::string> keptFolders;  // below base: emptied, kept
    const char* linkedFolder = "";  // below base (empty: base itself): made a link by the link case
};

std::vector<FileItemCase> Cases()
{
    static const char* const wer[] = {"%LOCALAPPDATA%\\Microsoft\\Windows\\WER", "%ProgramData%\\Microsoft\\Windows\\WER"};
    static const char* const werSettings[] = {"tw_windows_error_reports.ini", "tw_windows_error_reports_machine.ini"};
    static const char kWerKey[] = "SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting";
    std::vector<FileItemCase> cases;
    cases.push_back({"tw_explorer_thumbnails.ini", nullptr, "%LOCALAPPDATA%\\Microsoft\\Windows\\Explorer",
                     "Explorer's thumbnail cache",
                     {"thumbcache_32.db", "thumbcache_idx.db", "thumbcache_sr.db"},
                     {"iconcache_16.db", "ExplorerStartupLog.etl"},
                     "thumbcache_256.db",
                     {}});
    for (int i = 0; i < 2; ++i) {
        cases.push_back({werSettings[i], kWerKey, wer[i], "Windows Error Reporting",
                         {"ReportArchive\\AppCrash_notepad.exe_1f2e\\Report.wer",
                          "ReportArchive\\AppCrash_notepad.exe_1f2e\\WERInternalMetadata.xml",
                          "ReportQueue\\AppHang_editor.exe_9a8b\\Report.wer", "Temp\\WER7F3A.tmp"},
                         {"TidewhistleTestKept.txt"},
                         "",
                         {"ReportArchive", "ReportQueue", "Temp"}});
    }
    cases.push_back({"tw_memory_dumps.ini", "SYSTEM\\CurrentControlSet\\Control\\CrashControl", "%SystemRoot%",
                     "Windows' crash dump control",
                     {"Minidump\\120926-15890-01.dmp", "LiveKernelReports\\WATCHDOG\\WATCHDOG-20261209.dmp"},
                     {"Minidump\\TidewhistleTestKept.txt"},
                     "",
                     {"Minidump", "LiveKernelReports"}});
    cases.back().linkedFolder = "Minidump";  // the Windows folder itself cannot be a link
    cases.push_back({"tw_windows_prefetch.ini", nullptr, "%SystemRoot%\\Prefetch", "the Prefetch folder",
                     {"NOTEPAD.EXE-D8414F97.pf", "EDITOR.EXE-0A1B2C3D.pf"},
                     {"Layout.ini", "ReadyBoot\\Trace1.fx"},
                     "",
                     {}});
    cases.push_back({"tw_delivery_optimization.ini", "SYSTEM\\CurrentControlSet\\Services\\DoSvc",
                     "%SystemRoot%\\ServiceProfiles\\NetworkService\\AppData\\Local\\Microsoft\\Windows\\DeliveryOptimization",
                     "Delivery Optimization",
                     {"Cache\\3f1c0a9e\\content.bin", "Cache\\77d2b104\\a.part"},
                     {"Logs\\dosvc.20261209.etl", "State\\dosvc.state"},
                     "",
                     {"Cache"}});
    return cases;
}

class WindowsFileTraces : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override
    {
        base = ExpandEnvironment(Case().base);
        if (Case().partKey != nullptr) {
            keyExisted = KeyExists(HKEY_LOCAL_MACHINE, Case().partKey);
            ASSERT_FALSE(keyExisted) << "the test prefix has " << Case().partKey;
        }
        std::string settings;
        ASSERT_TRUE(ReadWholeFile(program.File(Case().settingsFile), &settings));
        ASSERT_TRUE(WriteWholeFile(GetModuleFilePath(SettingsCopy().c_str()), settings));
    }
    void TearDown() override
    {
        held.Reset();
        // Links from the Linux side, where they are only links, before the folders that hold them.
        for (const std::string& link : links) {
            const size_t slash = link.rfind('\\');
            RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(link.substr(0, slash)) + "/" + link.substr(slash + 1) + "\"");
            Eventually([&] { return !LongPathExists(link); }, kAppearTimeout);
        }
        for (const std::string& folder : madeFolders) RemoveTree(folder);
        // Never an empty name: that would be the whole of HKLM.
        if (Case().partKey != nullptr && *Case().partKey != 0 && !keyExisted) {
            ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, Case().partKey);
        }
        ::DeleteFileA(GetModuleFilePath(SettingsCopy().c_str()).c_str());
    }

    const FileItemCase& Case() const
    {
        static const std::vector<FileItemCase> cases = Cases();
        return cases[GetParam()];
    }

    void LayOut()
    {
        if (Case().partKey != nullptr) {
            ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, Case().partKey, "Disabled", "0"));
        }
        std::vector<std::string> files = Case().traces;
        files.insert(files.end(), Case().canaries.begin(), Case().canaries.end());
        if (!Case().held.empty()) files.push_back(Case().held);
        for (const std::string& file : files) {
            const std::string path = base + "\\" + file;
            const std::string folder = path.substr(0, path.find_last_of('\\'));
            const std::string missing = TopMissingFolder(folder);
            if (!missing.empty()) madeFolders.push_back(missing);
            ASSERT_TRUE(MakeFolders(folder));
            ASSERT_TRUE(WriteWholeFile(path, "trace of " + file));
        }
        if (!Case().held.empty()) {
            // Explorer holds its cache open, sharing nothing.
            held.Reset(::CreateFileA((base + "\\" + Case().held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
            ASSERT_TRUE(held.IsValid());
        }
    }

    CleanupCounts Run(bool preview)
    {
        sink.events.clear();
        info.Set(kRunModeKey, preview ? kRunModePreview : kRunModeClean);
        CCustomCleanupItem* job = new CCustomCleanupItem();
        EXPECT_EQ(job->Init(&info, SettingsCopy().c_str(), &sink), kJobSuccess);
        EXPECT_EQ(job->Run(), kJobSuccess);
        const CleanupCounts counts = job->Counts();
        job->Release();
        return counts;
    }

    bool Exists(const std::string& relative) const
    {
        return ::GetFileAttributesA((base + "\\" + relative).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // A name of each case's own: the system's profile reader keeps the file
    // it read last, and two cases within one second would read one file.
    std::string SettingsCopy() const { return "tw_test_windows_item_" + std::to_string(GetParam()) + ".ini"; }
    ProgramFolder program;
    std::string base;
    std::vector<std::string> madeFolders;  // the folders the case made, removed with all they hold
    std::vector<std::string> links;        // the links the case made, removed first
    bool keyExisted = false;
    UniqueHandle held;
    RecordingSink sink;
    FakeTaskInfo info;
};

}  // namespace

TEST_P(WindowsFileTraces, APreviewCountsWhatTheCleanRemovesAndTheCanariesStay)
{
    const FileItemCase& c = Case();
    LayOut();
    const CleanupCounts previewed = Run(true);
    for (const std::string& trace : c.traces) EXPECT_TRUE(Exists(trace)) << trace;
    const CleanupCounts cleaned = Run(false);

    for (const std::string& trace : c.traces) EXPECT_FALSE(Exists(trace)) << trace;
    for (const std::string& canary : c.canaries) EXPECT_TRUE(Exists(canary)) << canary;
    for (const std::string& folder : c.keptFolders) EXPECT_TRUE(Exists(folder)) << folder;
    EXPECT_EQ(cleaned.files, static_cast<long long>(c.traces.size()));
    EXPECT_EQ(cleaned.leftForRestart, c.held.empty() ? 0 : 1);
    EXPECT_EQ(cleaned.failed + cleaned.skipped, 0);
    EXPECT_TRUE(previewed == cleaned) << EncodeCleanupCounts(previewed) << " / " << EncodeCleanupCounts(cleaned);
    for (const RecordedEvent& event : sink.events) EXPECT_NE(event.type, kEventNotPresent) << event.text;
}

TEST_P(WindowsFileTraces, WithoutItsPartOfTheSystemTheItemSaysSoAndCleansNothing)
{
    // Wine has none of these parts: the prefix is as Wine made it.
    const CleanupCounts cleaned = Run(false);
    EXPECT_TRUE(cleaned == CleanupCounts()) << EncodeCleanupCounts(cleaned);
    EXPECT_EQ(sink.events.back(), (RecordedEvent{kEventNotPresent, Case().systemPart}));
}

// A folder of the item that is, or lies below, a link, as another user can
// plant one in a folder both may write (the computer's error reports): it is
// skipped with a warning, and what the link leads to stays.
TEST_P(WindowsFileTraces, AFolderReachedThroughALinkIsSkippedWithAWarningAndWhatItLeadsToStays)
{
    const FileItemCase& c = Case();
    const std::string below = c.linkedFolder;
    const std::string linked = below.empty() ? base : base + "\\" + below;
    ASSERT_FALSE(TopMissingFolder(linked).empty()) << "the test prefix has " << linked;
    const std::string parent = linked.substr(0, linked.rfind('\\'));
    const std::string missing = TopMissingFolder(parent);
    if (!missing.empty()) madeFolders.push_back(missing);
    ASSERT_TRUE(MakeFolders(parent));
    ScratchFolder target;
    std::vector<std::string> reached;  // the traces as the link leads to them
    for (const std::string& trace : c.traces) {
        if (!below.empty() && trace.rfind(below + "\\", 0) != 0) continue;
        const std::string path = target.File(below.empty() ? trace : trace.substr(below.size() + 1));
        ASSERT_TRUE(MakeFolders(path.substr(0, path.rfind('\\'))));
        ASSERT_TRUE(WriteWholeFile(path, "another user's " + trace));
        reached.push_back(path);
    }
    ASSERT_FALSE(reached.empty());
    ASSERT_TRUE(MakeFolderLink(target.Path(), linked));
    links.push_back(linked);
    if (c.partKey != nullptr) {
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, c.partKey, "Disabled", "0"));
    }

    const CleanupCounts cleaned = Run(false);

    for (const std::string& path : reached) EXPECT_TRUE(FileExists(path)) << path;
    EXPECT_EQ(cleaned.files, 0);
    EXPECT_GE(cleaned.skipped, 1);
    bool warned = false;
    for (const RecordedEvent& event : sink.events) {
        warned |= event.type == kEventWarning && event.text.rfind("Skipped the folder " + linked, 0) == 0 &&
                  event.text.find(": it leads to " + target.Path()) != std::string::npos;
    }
    EXPECT_TRUE(warned) << ::testing::PrintToString(sink.events);
}

INSTANTIATE_TEST_SUITE_P(ShippedItems, WindowsFileTraces, ::testing::Range<size_t>(0, Cases().size()));
