// The jump list items run by the real program against the user's Recent
// folder in the test prefix, laid out as the system lays it out: Quick
// Access's list, an application's list without pins and one with pins, a
// damaged list, one whose DestList is cut short, a link to a list outside,
// an application's own list, and files of other names beside them.
#include "common/handles.h"
#include "support/jump_list_files.h"
#include "support/program_runner.h"
#include "support/scratch_folder.h"
#include "support/session_file.h"
#include "support/system_test.h"
#include "support/text_file.h"
#include "support/unix_side.h"
#include "support/eventually.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

namespace {

const char kJumpListsJob[] = "0F43589D-7905-404C-B639-2107469EC0D4";

const char kQuickAccess[] = "AutomaticDestinations\\f01b4d95cf55d32a.automaticDestinations-ms";
const char kUnpinned[] = "AutomaticDestinations\\5f7b5f1e01b83767.automaticDestinations-ms";
const char kPinned[] = "AutomaticDestinations\\9b9cdc69c1c24e2b.automaticDestinations-ms";
const char kDamaged[] = "AutomaticDestinations\\1bc392b8e104a00e.automaticDestinations-ms";
const char kCutShort[] = "AutomaticDestinations\\28c8b86deab549a1.automaticDestinations-ms";
const char kInUse[] = "AutomaticDestinations\\a7bd71699cd38d1c.automaticDestinations-ms";
const char kLinked[] = "AutomaticDestinations\\7e4dca80246863e3.automaticDestinations-ms";
const char kCustom[] = "CustomDestinations\\5f7b5f1e01b83767.customDestinations-ms";
// Never named by either item, whichever runs.
const char* const kOtherNames[] = {"AutomaticDestinations\\notes.txt",
                                   "CustomDestinations\\5f7b5f1e01b83767.customDestinations-ms.bak"};

std::string RecentFolder()
{
    char folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_RECENT, nullptr, SHGFP_TYPE_CURRENT, folder))) return "";
    return folder;
}

// The totals' counts, the verb and the sizes left out: what a preview and a clean must share.
std::string CountsOf(const std::vector<RawSessionRecord>& records, const std::string& totalsPrefix)
{
    for (const RawSessionRecord& r : records) {
        if (r.message.rfind(totalsPrefix, 0) != 0) continue;
        std::string text = r.message.substr(totalsPrefix.size());
        for (const char* verb : {"Would remove ", "Removed "})
            if (text.rfind(verb, 0) == 0) text.erase(0, std::string(verb).size());
        const size_t size = text.find(" (");
        if (size != std::string::npos) text.erase(size, text.find(')', size) + 1 - size);
        return text;
    }
    return "no totals";
}

// A record of the type that says message, as far as a record holds it.
bool HasRecord(const std::vector<RawSessionRecord>& records, int type, const std::string& message)
{
    const size_t kRecordRoom = 199;
    for (const RawSessionRecord& r : records)
        if (r.type == type && r.message == message.substr(0, kRecordRoom)) return true;
    return false;
}

class JumpListsJob : public SystemTest {
protected:
    JumpListsJob() : SystemTest("Jobs_") {}

    void SetUp() override
    {
        SystemTest::SetUp();
        recent = RecentFolder();
        ASSERT_FALSE(recent.empty());
        RemoveFolders();
        ASSERT_TRUE(MakeFolders(File("AutomaticDestinations")));
        ASSERT_TRUE(MakeFolders(File("CustomDestinations")));
        ASSERT_TRUE(WriteJumpListFile(File(kQuickAccess), DestListHeader(4, 0)));
        ASSERT_TRUE(WriteJumpListFile(File(kUnpinned), DestListHeader(6, 0)));
        ASSERT_TRUE(WriteJumpListFile(File(kPinned), DestListHeader(6, 3)));
        ASSERT_TRUE(WriteWholeFile(File(kDamaged), std::string(700, 'x')));
        ASSERT_TRUE(WriteJumpListFile(File(kCutShort), DestListHeader(6, 0).substr(0, 10)));
        ASSERT_TRUE(WriteJumpListFile(File(kInUse), DestListHeader(6, 0)));
        ASSERT_TRUE(WriteWholeFile(File(kCustom), "an application's tasks"));
        for (const char* name : kOtherNames) ASSERT_TRUE(WriteWholeFile(File(name), "keep me"));
        ASSERT_TRUE(WriteJumpListFile(outside.File("target.automaticDestinations-ms"), DestListHeader(1, 0)));
        const std::string linked = File(kLinked);
        ASSERT_TRUE(MakeFileLink(outside.File("target.automaticDestinations-ms"), linked.substr(0, linked.rfind('\\')),
                                 linked.substr(linked.rfind('\\') + 1)));
    }
    void TearDown() override { RemoveFolders(); }

    void RemoveFolders()
    {
        // The link from the Linux side, where it is only a link, before the tree goes.
        const std::string link = File(kLinked);
        if (LongPathExists(link) && RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(link) + "\"")) {
            Eventually([&] { return !LongPathExists(link); }, 10000);
        }
        RemoveTree(File("AutomaticDestinations"));
        RemoveTree(File("CustomDestinations"));
    }

    std::string File(const std::string& name) const { return recent + "\\" + name; }

    void WriteTask(const std::string& config)
    {
        folder.WriteInventory({{TestItemGuid(1), "Job under test", "Sweepkit.dll", kJumpListsJob, config}});
        folder.WriteTask(taskName, {TestItemGuid(1)});
    }
    std::vector<RawSessionRecord> Preview(const std::string& config)
    {
        WriteTask(config);
        DWORD exitCode = 1;
        std::vector<RawSessionRecord> records;
        EXPECT_TRUE(RunToEnd(folder.Program(), {"/preview", taskName}, 60000, &exitCode));
        EXPECT_TRUE(ReadSessionFile(folder.PreviewSessionFile(taskName), &records));
        return records;
    }
    std::vector<RawSessionRecord> Clean(const std::string& config)
    {
        WriteTask(config);
        return folder.RunTask(taskName);
    }
    // What every run must leave: the other names and the link's target.
    void ExpectOthersKept()
    {
        for (const char* name : kOtherNames) EXPECT_TRUE(FileExists(File(name))) << name;
        EXPECT_TRUE(FileExists(outside.File("target.automaticDestinations-ms")));
    }

    std::string recent;
    ScratchFolder outside;
};

}  // namespace

TEST_F(JumpListsJob, KeepsQuickAccessPinnedAndUnreadableListsAndAPreviewCountsTheSame)
{
    // Held open by another program, which lets nobody else read it.
    const UniqueHandle inUse(::CreateFileA(File(kInUse).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(inUse);
    const std::vector<RawSessionRecord> preview = Preview("");
    for (const char* name : {kQuickAccess, kUnpinned, kPinned, kDamaged, kCutShort, kCustom}) {
        EXPECT_TRUE(FileExists(File(name))) << "a preview changes nothing: " << name;
    }
    const std::vector<RawSessionRecord> records = Clean("");
    EXPECT_EQ(CountsOf(records, "Run totals: "), CountsOf(preview, "Preview totals: "));
    // Two lists go; the pinned, damaged, cut short, in use and linked lists are skipped.
    EXPECT_EQ(CountsOf(records, "Run totals: "), "2 files; 5 skipped for safety.");
    EXPECT_FALSE(FileExists(File(kUnpinned)));
    EXPECT_FALSE(FileExists(File(kCustom)));
    for (const char* kept : {kQuickAccess, kPinned, kDamaged, kCutShort, kInUse}) EXPECT_TRUE(FileExists(File(kept))) << kept;
    ExpectOthersKept();

    const struct {
        int type;
        std::string message;
    } notes[] = {
        {2, "Kept a jump list that holds 3 pinned items: " + File(kPinned)},
        {1, "Kept a jump list whose pins cannot be counted (it is not a compound file): " + File(kDamaged)},
        {1, "Kept a jump list whose pins cannot be counted (its DestList is shorter than its header): " + File(kCutShort)},
        {1, "Kept a jump list whose pins cannot be counted (it is a link): " + File(kLinked)},
        {1, "Kept a jump list whose pins cannot be counted (it is in use): " + File(kInUse)},
    };
    for (const auto& note : notes) {
        EXPECT_TRUE(HasRecord(records, note.type, note.message)) << note.message << " among "
                                                                 << ::testing::PrintToString(Messages(records));
    }
}

// Two lists whose names differ in case only, one without pins and one with
// three: the decision about each acts on that list alone.
TEST_F(JumpListsJob, OfTwoListsWhoseNamesDifferInCaseOnlyThePinnedOneStays)
{
    const std::string automatic = File("AutomaticDestinations");
    const std::string twin = "5F7B5F1E01B83767.automaticDestinations-ms";  // kUnpinned in capitals
    ASSERT_TRUE(WriteJumpListFile(automatic + "\\twin.tmp", DestListHeader(6, 3)));
    ASSERT_TRUE(RenameFromUnixSide(automatic + "\\twin.tmp", twin));

    const std::vector<RawSessionRecord> records = Clean("");

    EXPECT_TRUE(ListsExactly(automatic, twin));
    EXPECT_FALSE(ListsExactly(automatic, std::string(kUnpinned).substr(std::string(kUnpinned).rfind('\\') + 1)));
    EXPECT_TRUE(HasRecord(records, 2, "Kept a jump list that holds 3 pinned items: " + automatic + "\\" + twin))
        << ::testing::PrintToString(Messages(records));
    ExpectOthersKept();
}

TEST_F(JumpListsJob, WithPinsEveryListGoesAndNothingElse)
{
    const std::vector<RawSessionRecord> preview = Preview("pins");
    const std::vector<RawSessionRecord> records = Clean("pins");
    EXPECT_EQ(CountsOf(records, "Run totals: "), CountsOf(preview, "Preview totals: "));
    EXPECT_EQ(CountsOf(records, "Run totals: "), "7 files; 1 skipped for safety.") << "the link is never followed";
    for (const char* gone : {kQuickAccess, kUnpinned, kPinned, kDamaged, kCutShort, kInUse, kCustom}) {
        EXPECT_FALSE(FileExists(File(gone))) << gone;
    }
    ExpectOthersKept();
}

TEST_F(JumpListsJob, AnUnknownSettingFailsAndRemovesNothing)
{
    const std::vector<RawSessionRecord> records = Clean("all");
    bool refused = false;
    for (const RawSessionRecord& r : records) {
        refused |= r.message.find("Job configuration is invalid (a jump list item takes no setting but \"pins\": all)") !=
                   std::string::npos;
    }
    EXPECT_TRUE(refused);
    for (const char* kept : {kQuickAccess, kUnpinned, kPinned, kCustom}) EXPECT_TRUE(FileExists(File(kept))) << kept;
}
