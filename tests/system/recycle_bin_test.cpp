// The Recycle Bin item run by the real program against the user's Recycle
// Bin folder on C:, laid out as the system lays it out. The run's
// XDG_DATA_HOME is a scratch folder in the build folder (set where the test
// is registered), where Wine's shell would keep its trash: it must stay
// empty, since the item never goes through the shell.
#include "common/codecs.h"
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "support/eventually.h"
#include "support/program_runner.h"
#include "support/recycle_records.h"
#include "support/session_file.h"
#include "support/scratch_folder.h"
#include "support/system_test.h"
#include "support/text_file.h"
#include "support/unix_side.h"

#include <windows.h>
#include <sddl.h>

#include <memory>
#include <gtest/gtest.h>

namespace {

const char kRecycleBinJob[] = "3DFF6430-585A-4F71-BB1F-F0680032F6C0";
const std::string kAgeKey = GuidToString(kRecycleBinAgeKey);
const char kPreviewTotals[] = "Preview totals: ";
const char kTrashHome[] = "T:\\tests\\xdg-data";

std::string UserSid()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
    BYTE buffer[256] = {};
    DWORD size = 0;
    char* text = nullptr;
    std::string sid;
    if (::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) &&
        ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        sid = text;
        ::LocalFree(text);
    }
    ::CloseHandle(token);
    return sid;
}

bool FolderIsEmpty(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") empty = false;
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return empty;
}

// A Recycle Bin folder of pairs deleted 40 days ago (a file, a folder, a
// version 1 record), one deleted 2 days ago, one whose record is damaged,
// one whose data is a link to a file outside, and the folder's desktop.ini.
class RecycleBinJob : public SystemTest {
protected:
    RecycleBinJob() : SystemTest("Jobs_") {}

    void SetUp() override
    {
        SystemTest::SetUp();
        const std::string sid = UserSid();
        ASSERT_FALSE(sid.empty());
        bin = "C:\\$Recycle.Bin\\" + sid;
        ASSERT_TRUE(MakeFolders(bin));
        ASSERT_TRUE(MakeFolders(kTrashHome));
        ASSERT_TRUE(FolderIsEmpty(kTrashHome));
        char trashHome[MAX_PATH] = {};
        ASSERT_GT(::GetEnvironmentVariableA("XDG_DATA_HOME", trashHome, MAX_PATH), 0u) << "set where the test is registered";

        Pair("$IOLDFILE.txt", RecordV2(5, FileTimeDaysAgo(40), u"C:\\Users\\me\\old.txt"), "$ROLDFILE.txt");
        Pair("$IOLDDIR", RecordV2(5, FileTimeDaysAgo(40), u"C:\\Users\\me\\Old folder"), "");
        ASSERT_TRUE(MakeFolders(File("$ROLDDIR\\inner")));
        ASSERT_TRUE(WriteWholeFile(File("$ROLDDIR\\inner\\kept by nobody.txt"), "trace"));
        Pair("$IVISTA.doc", RecordV1(5, FileTimeDaysAgo(40), u"C:\\Users\\me\\letter.doc"), "$RVISTA.doc");
        Pair("$INEWFILE.txt", RecordV2(5, FileTimeDaysAgo(2), u"C:\\Users\\me\\new.txt"), "$RNEWFILE.txt");
        Pair("$IDAMAGED.txt", RecordV2(5, FileTimeDaysAgo(40), u"C:\\x").substr(0, 30), "$RDAMAGED.txt");
        Pair("$ILINKED.txt", RecordV2(5, FileTimeDaysAgo(40), u"C:\\Users\\me\\linked.txt"), "");
        ASSERT_TRUE(WriteWholeFile(outside.File("canary.txt"), "keep me"));
        ASSERT_TRUE(MakeFileLink(outside.File("canary.txt"), bin, "$RLINKED.txt"));
        ASSERT_TRUE(WriteWholeFile(File("desktop.ini"), "[.ShellClassInfo]"));
    }
    void TearDown() override
    {
        // The link from the Linux side, where it is only a link, before the tree goes.
        const std::string link = File("$RLINKED.txt");
        if (LongPathExists(link) && RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(link) + "\"")) {
            Eventually([&] { return !LongPathExists(link); }, 10000);
        }
        RemoveTree("C:\\$Recycle.Bin");
        RemoveTree(kTrashHome);
    }

    std::string File(const std::string& name) const { return bin + "\\" + name; }
    void Pair(const std::string& record, const std::string& bytes, const std::string& data)
    {
        ASSERT_TRUE(WriteWholeFile(File(record), bytes));
        if (!data.empty()) {
            ASSERT_TRUE(WriteWholeFile(File(data), "deleted " + data));
        }
    }
    std::vector<RawSessionRecord> Run(const std::vector<std::pair<std::string, std::string>>& extended)
    {
        folder.WriteInventory({{TestItemGuid(1), "Job under test", "Sweepkit.dll", kRecycleBinJob, ""}});
        folder.WriteTask(taskName, {TestItemGuid(1)}, extended);
        return folder.RunTask(taskName);
    }
    // What every run must leave: the damaged pair (with a warning), the
    // link's target, the folder's own file, and an untouched trash.
    void ExpectKept(const std::vector<RawSessionRecord>& records)
    {
        EXPECT_TRUE(FileExists(File("$IDAMAGED.txt")));
        EXPECT_TRUE(FileExists(File("$RDAMAGED.txt")));
        EXPECT_TRUE(FileExists(File("desktop.ini")));
        std::string canary;
        EXPECT_TRUE(ReadWholeFile(outside.File("canary.txt"), &canary));
        EXPECT_EQ(canary, "keep me");
        EXPECT_TRUE(FolderIsEmpty(kTrashHome));
        bool warned = false;
        for (const RawSessionRecord& r : records) {
            warned |= r.type == 1 && r.message == "Kept a Recycle Bin entry (its record cannot be read: path length does "
                                                  "not match the record's size): " + File("$IDAMAGED.txt");
        }
        EXPECT_TRUE(warned);
    }

    std::string bin;
    ScratchFolder outside;
};

}  // namespace

TEST_F(RecycleBinJob, WithTheAgeOnOnlyWhatWasDeletedEarlierGoes)
{
    const std::vector<RawSessionRecord> records = Run({{kAgeKey, EncodeFlagAndNumber(true, 30)}});
    ExpectKept(records);
    for (const char* gone : {"$IOLDFILE.txt", "$ROLDFILE.txt", "$IOLDDIR", "$ROLDDIR", "$IVISTA.doc", "$RVISTA.doc"}) {
        EXPECT_FALSE(FileExists(File(gone))) << gone;
    }
    // The link at the data's name is not removed through, so its record
    // stays too: data never outlives the record that says what it is.
    EXPECT_TRUE(FileExists(File("$ILINKED.txt")));
    EXPECT_TRUE(FileExists(File("$INEWFILE.txt")));
    EXPECT_TRUE(FileExists(File("$RNEWFILE.txt")));
}

TEST_F(RecycleBinJob, WithoutASettingEveryReadablePairGoes)
{
    const std::vector<RawSessionRecord> records = Run({});
    ExpectKept(records);
    for (const char* gone : {"$IOLDFILE.txt", "$ROLDFILE.txt", "$ROLDDIR", "$IVISTA.doc", "$INEWFILE.txt", "$RNEWFILE.txt"}) {
        EXPECT_FALSE(FileExists(File(gone))) << gone;
    }
}

// Two pairs whose names differ in case only, deleted 30 days and an hour
// ago: each goes or stays by its own age.
TEST_F(RecycleBinJob, OfTwoPairsWhoseNamesDifferInCaseOnlyEachGoesByItsOwnAge)
{
    Pair("$ICASE.txt", RecordV2(5, FileTimeDaysAgo(30), u"C:\\Users\\me\\old case.txt"), "$RCASE.txt");
    Pair("twin record.tmp", RecordV2(5, FileTimeDaysAgo(1.0 / 24), u"C:\\Users\\me\\new case.txt"), "twin data.tmp");
    ASSERT_TRUE(RenameFromUnixSide(File("twin record.tmp"), "$Icase.txt"));
    ASSERT_TRUE(RenameFromUnixSide(File("twin data.tmp"), "$Rcase.txt"));

    ExpectKept(Run({{kAgeKey, EncodeFlagAndNumber(true, 7)}}));

    EXPECT_FALSE(ListsExactly(bin, "$ICASE.txt"));
    EXPECT_FALSE(ListsExactly(bin, "$RCASE.txt"));
    EXPECT_TRUE(ListsExactly(bin, "$Icase.txt"));
    std::string data;
    EXPECT_TRUE(ListsExactly(bin, "$Rcase.txt") && ReadWholeFile(File("$Rcase.txt"), &data));
    EXPECT_EQ(data, "deleted twin data.tmp");
}

// This user's bin a link to another user's: refused as a whole, and
// nothing of the other user's goes.
TEST_F(RecycleBinJob, ABinThatIsALinkToAnotherUsersBinIsRefused)
{
    const std::string other = "C:\\$Recycle.Bin\\S-1-5-21-0-0-0-1001";
    ASSERT_TRUE(MakeFolders(other));
    ASSERT_TRUE(WriteWholeFile(other + "\\$IOTHER.txt", RecordV2(5, FileTimeDaysAgo(40), u"C:\\Users\\other\\a.txt")));
    ASSERT_TRUE(WriteWholeFile(other + "\\$ROTHER.txt", "another user's file"));
    // The fixture's bin set aside (its file link removed first, from the
    // Linux side), and a link in its place; the link goes from there too.
    const std::string unixBins = UnixPathOf("C:\\$Recycle.Bin");
    const std::string sid = bin.substr(bin.rfind('\\') + 1);
    ASSERT_TRUE(RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(bin) + "/$RLINKED.txt\""));
    ASSERT_TRUE(Eventually([&] { return !LongPathExists(File("$RLINKED.txt")); }, kAppearTimeout));
    ASSERT_TRUE(::MoveFileA(bin.c_str(), "C:\\$Recycle.Bin\\set aside"));
    const struct LinkRemover {
        std::string unixLink, link;
        ~LinkRemover()
        {
            RunUnixCommand(UnixTool("rm") + " -f \"" + unixLink + "\"");
            Eventually([&] { return !LongPathExists(link); }, kAppearTimeout);
        }
    } removeLink{unixBins + "/" + sid, bin};
    ASSERT_TRUE(MakeFolderLink(other, bin));

    const std::vector<RawSessionRecord> records = Run({});

    EXPECT_TRUE(ListsExactly(other, "$IOTHER.txt"));
    EXPECT_TRUE(ListsExactly(other, "$ROTHER.txt"));
    bool refused = false;
    for (const RawSessionRecord& r : records) {
        refused |= r.type == 0 && r.message.rfind("Recycle Bin folder refused: " + bin + " (it leads to ", 0) == 0;
    }
    EXPECT_TRUE(refused) << ::testing::PrintToString(Messages(records));
}

TEST_F(RecycleBinJob, APreviewCountsThePairsAndChangesNothing)
{
    folder.WriteInventory({{TestItemGuid(1), "Job under test", "Sweepkit.dll", kRecycleBinJob, ""}});
    folder.WriteTask(taskName, {TestItemGuid(1)}, {{kAgeKey, EncodeFlagAndNumber(true, 30)}});
    DWORD exitCode = 1;
    ASSERT_TRUE(RunToEnd(folder.Program(), {"/preview", taskName}, 60000, &exitCode));
    std::vector<RawSessionRecord> records;
    ASSERT_TRUE(ReadSessionFile(folder.PreviewSessionFile(taskName), &records));
    for (const char* kept : {"$IOLDFILE.txt", "$ROLDFILE.txt", "$ROLDDIR\\inner\\kept by nobody.txt", "$IVISTA.doc"}) {
        EXPECT_TRUE(FileExists(File(kept))) << kept;
    }
    ExpectKept(records);
    // Three old pairs (one a folder of a folder and a file); the linked
    // pair stays whole, its link skipped like the damaged pair.
    std::string totals;
    for (const RawSessionRecord& r : records) {
        if (r.message.rfind(kPreviewTotals, 0) == 0) totals = r.message;
    }
    EXPECT_EQ(totals.substr(0, totals.find(" (")), "Preview totals: Would remove 6 files") << totals;
}
