// The file deletion engine on real folder trees in the Wine prefix.
#include "plugin/engines/files/filecleanup.h"
#include "plugin/engines/files/folderwildcards.h"
#include "plugin/engines/files/wildcard.h"

#include "common/handles.h"

#include "build_paths.h"
#include "support/eventually.h"
#include "support/job_harness.h"
#include "support/raised.h"
#include "support/registry_fixture.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"
#include "support/unix_side.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

void MakeFile(const std::string& path, long long hoursAgo = 0)
{
    ASSERT_TRUE(WriteWholeFile(path, "trace")) << path;
    if (hoursAgo != 0) {
        ASSERT_TRUE(SetLastWriteHoursAgo(path, hoursAgo)) << path;
    }
}

void MakeFolder(const std::string& path)
{
    ASSERT_TRUE(::CreateDirectoryA(path.c_str(), nullptr)) << path;
}

time32 HoursAgo(int hours)
{
    return static_cast<time32>(std::time(nullptr)) - hours * 3600;
}

bool HasEvent(const EventOnlyJob& job, int type, const std::string& text)
{
    for (const RecordedEvent& e : job.sink.events)
        if (e.type == type && e.text == text) return true;
    return false;
}

class FileCleanup : public ::testing::Test {
protected:
    std::string Dir(const std::string& relative = std::string()) const
    {
        return relative.empty() ? scratch.Path() : scratch.File(relative);
    }
    ScratchFolder scratch;
    EventOnlyJob job;
};

}  // namespace

TEST_F(FileCleanup, WithoutDescendOnlyMatchingFilesOfTheFolderGo)
{
    MakeFile(Dir("a.txt"));
    MakeFile(Dir("b.log"));
    MakeFolder(Dir("sub.txt"));
    MakeFile(Dir("sub.txt\\c.txt"));
    DeleteFiles(Dir() + "\\*.txt", false, 0, job);
    EXPECT_FALSE(FileExists(Dir("a.txt")));
    EXPECT_TRUE(FileExists(Dir("b.log")));
    EXPECT_TRUE(FileExists(Dir("sub.txt\\c.txt")));
    EXPECT_TRUE(job.sink.events.empty());
}

TEST_F(FileCleanup, DescendsRemovingOldFilesAndEmptiedFoldersAndSparesRecentOnes)
{
    MakeFolder(Dir("tree"));
    MakeFile(Dir("tree\\old.tmp"), 72);
    MakeFile(Dir("tree\\new.tmp"), 1);
    MakeFolder(Dir("tree\\old-only"));
    MakeFile(Dir("tree\\old-only\\x.tmp"), 100);
    MakeFolder(Dir("tree\\old-only\\deeper"));
    MakeFile(Dir("tree\\old-only\\deeper\\y.tmp"), 100);
    MakeFolder(Dir("tree\\keeps"));
    MakeFile(Dir("tree\\keeps\\recent.tmp"), 2);
    MakeFile(Dir("tree\\keeps\\stale.tmp"), 49);

    DeleteFiles(Dir("tree") + "\\*", true, HoursAgo(48), job);

    EXPECT_FALSE(FileExists(Dir("tree\\old.tmp")));
    EXPECT_TRUE(FileExists(Dir("tree\\new.tmp")));
    EXPECT_FALSE(FileExists(Dir("tree\\old-only")));
    EXPECT_TRUE(FileExists(Dir("tree\\keeps\\recent.tmp")));
    EXPECT_FALSE(FileExists(Dir("tree\\keeps\\stale.tmp")));
    EXPECT_TRUE(FileExists(Dir("tree")));  // the pattern's own folder stays
    ASSERT_EQ(job.sink.events.size(), 1u);
    EXPECT_EQ(job.sink.events[0].type, kEventWarning);
    EXPECT_EQ(job.sink.events[0].text, "Cannot delete folder: " + Dir("tree\\keeps") + ". Error: 145");
}

TEST_F(FileCleanup, AFileWrittenExactlyAtTheCutOffIsSparedAndOneASecondOlderGoes)
{
    const time32 cutoff = HoursAgo(48);
    const auto writtenAt = [](const std::string& path, time32 when) {
        UniqueHandle file(::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ULARGE_INTEGER ticks;
        ticks.QuadPart = (static_cast<unsigned long long>(when) + 11644473600ull) * 10000000ull;
        const FILETIME time = {ticks.LowPart, ticks.HighPart};
        return file && ::SetFileTime(file.Get(), nullptr, nullptr, &time);
    };
    MakeFile(Dir("at.tmp"));
    MakeFile(Dir("before.tmp"));
    ASSERT_TRUE(writtenAt(Dir("at.tmp"), cutoff));
    ASSERT_TRUE(writtenAt(Dir("before.tmp"), cutoff - 1));
    DeleteFiles(Dir() + "\\*.tmp", false, cutoff, job);
    EXPECT_TRUE(FileExists(Dir("at.tmp")));
    EXPECT_FALSE(FileExists(Dir("before.tmp")));
}

TEST(Wildcards, MatchLongNamesAsTheSystemReadsThem)
{
    const struct {
        const wchar_t* pattern;
        const wchar_t* name;
        bool matches;
    } cases[] = {
        {L"*.log", L"x.log", true},           {L"*.log", L"X.LOG", true},          {L"*.log", L"x.log-old", false},
        {L"*.log", L"x.logx", false},         {L"*.log", L"data.log_backup", false}, {L"*.log", L"a.b.log", true},
        {L"*.log", L"x.log.bak", false},      {L"*.htm", L"y.html", false},        {L"*", L"anything.at.all", true},
        {L"*.*", L"noextension", true},       {L"x.*", L"x", true},                {L"x.*", L"x.txt", true},
        {L"x.*", L"xy", false},               {L"*.", L"noextension", true},       {L"*.", L"a.b", false},
        {L"a?.txt", L"ab.txt", true},         {L"a?.txt", L"a.txt", true},         {L"a?.txt", L"abc.txt", false},
        {L"a??", L"a", true},                 {L"a?b", L"a.b", false},             {L"?a", L"a", false},
        {L"file.txt", L"FILE.TXT", true},     {L"*.*.txt", L"a.b.txt", true},      {L"*.*.txt", L"a.txt", false},
        {L".*", L".profile", true},           {L"*x*y*", L"1x2y3", true},          {L"*x*y*", L"1y2x3", false},
        {L"s*.tmp", L"setup.tmp", true},      {L"s*.tmp", L"setup.tmpx", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
    // Many stars against a long name that does not match stay cheap.
    EXPECT_FALSE(MatchesWildcard(std::wstring(200, L'*') + L"z", std::wstring(250, L'a')));
}

TEST_F(FileCleanup, FilesDatedPast2038AreRecentNeverOld)
{
    const auto dated = [](const std::string& path, long long secondsSince1970) {
        UniqueHandle file(::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ULARGE_INTEGER ticks;
        ticks.QuadPart = (static_cast<unsigned long long>(secondsSince1970) + 11644473600ull) * 10000000ull;
        const FILETIME time = {ticks.LowPart, ticks.HighPart};
        return file && ::SetFileTime(file.Get(), nullptr, nullptr, &time);
    };
    // 2030, 2037, 2040 (past 2^31 seconds) and 2107 (past 2^32), and an old file.
    const std::pair<const char*, long long> files[] = {
        {"2030.tmp", 1893456000LL}, {"2037.tmp", 2114380800LL}, {"2040.tmp", 2208988800LL}, {"2107.tmp", 4354819200LL}};
    for (const auto& file : files) {
        MakeFile(Dir(file.first));
        ASSERT_TRUE(dated(Dir(file.first), file.second)) << file.first;
    }
    MakeFile(Dir("old.tmp"), 100);
    DeleteFiles(Dir() + "\\*", true, HoursAgo(48), job);
    for (const auto& file : files) EXPECT_TRUE(FileExists(Dir(file.first))) << file.first;
    EXPECT_FALSE(FileExists(Dir("old.tmp")));
}

TEST_F(FileCleanup, ReadOnlyHiddenAndSystemFilesAreDeleted)
{
    MakeFile(Dir("ro.tmp"));
    MakeFile(Dir("hidden.tmp"));
    MakeFile(Dir("system.tmp"));
    ::SetFileAttributesA(Dir("ro.tmp").c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesA(Dir("hidden.tmp").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesA(Dir("system.tmp").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    DeleteFiles(Dir() + "\\*.tmp", false, 0, job);
    EXPECT_FALSE(FileExists(Dir("ro.tmp")));
    EXPECT_FALSE(FileExists(Dir("hidden.tmp")));
    EXPECT_FALSE(FileExists(Dir("system.tmp")));
}

TEST_F(FileCleanup, EnvironmentVariablesAreExpandedInThePattern)
{
    MakeFile(Dir("expanded.tmp"));
    ::SetEnvironmentVariableA("TW_TEST_TRACE_DIR", Dir().c_str());
    DeleteFiles("%TW_TEST_TRACE_DIR%\\*.tmp", false, 0, job);
    EXPECT_FALSE(FileExists(Dir("expanded.tmp")));
}

TEST_F(FileCleanup, AFolderNamedLikeAVariableIsEmptiedAsItIsNamed)
{
    // Only the pattern is expanded: a folder found on disk whose name looks
    // like a variable must not lead the walk out of the tree.
    MakeFolder(Dir("tree"));
    MakeFolder(Dir("tree\\%TW_TEST_ELSEWHERE%"));
    MakeFile(Dir("tree\\%TW_TEST_ELSEWHERE%\\inside.tmp"));
    MakeFolder(Dir("victim"));
    MakeFile(Dir("victim\\outside.tmp"));
    ::SetEnvironmentVariableA("TW_TEST_ELSEWHERE", "..\\victim");

    DeleteFiles(Dir("tree") + "\\*", true, 0, job);
    ::SetEnvironmentVariableA("TW_TEST_ELSEWHERE", nullptr);
    EXPECT_TRUE(FileExists(Dir("victim\\outside.tmp")));
    EXPECT_FALSE(FileExists(Dir("tree\\%TW_TEST_ELSEWHERE%\\inside.tmp")));
    EXPECT_FALSE(FileExists(Dir("tree\\%TW_TEST_ELSEWHERE%")));
    EXPECT_TRUE(job.sink.events.empty());
}

TEST_F(FileCleanup, APatternThatMatchesNothingOrAMissingFolderCompletesSilently)
{
    MakeFile(Dir("kept.log"));
    DeleteFiles(Dir() + "\\*.none", true, 0, job);
    DeleteFiles(Dir("missing\\folder") + "\\*", true, 0, job);
    EXPECT_TRUE(FileExists(Dir("kept.log")));
    EXPECT_TRUE(job.sink.events.empty());
}

TEST_F(FileCleanup, AnUndefinedVariableLeavesARelativePatternThatIsRefused)
{
    EXPECT_EQ(RaisedText([&] { DeleteFiles("%TW_TEST_UNDEFINED_VARIABLE%\\*", true, 0, job); }),
              "File pattern refused: %TW_TEST_UNDEFINED_VARIABLE%\\* (the folder %TW_TEST_UNDEFINED_VARIABLE%\\ is "
              "not a full path).");
}

TEST_F(FileCleanup, AnInvalidPatternIsASearchError)
{
    MakeFile(Dir("a.txt"));
    // A file used as a folder.
    const std::string error = RaisedText([&] { DeleteFiles(Dir() + "\\a.txt\\*", false, 0, job); });
    EXPECT_EQ(error.rfind("File search error: ", 0), 0u) << error;
    EXPECT_NE(error.find("(" + Dir() + "\\a.txt\\*)"), std::string::npos);
}

TEST_F(FileCleanup, AFileInUseIsScheduledForDeletionAtRestart)
{
    const std::string locked = Dir("locked.tmp");
    MakeFile(locked);
    RegistryValuesOverride pending(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager");
    pending.Remove("PendingFileRenameOperations");  // put back as it was when the test ends

    UniqueHandle holder(::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    DeleteFiles(Dir() + "\\*.tmp", false, 0, job);
    holder.Reset();

    EXPECT_TRUE(FileExists(locked));
    ASSERT_EQ(job.sink.events.size(), 1u);
    EXPECT_EQ(job.sink.events[0].type, kEventInformation);
    EXPECT_EQ(job.sink.events[0].text, "The file '" + locked + "' will be deleted once you restart your computer.");
    RegValue operations;
    ASSERT_TRUE(ReadRegValue(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                             "PendingFileRenameOperations", &operations));
    const std::string data(operations.data.begin(), operations.data.end());
    EXPECT_NE(data.find("locked.tmp"), std::string::npos);
}

// A file in use outside the user's own profile, in a folder other accounts
// may write: by the restart a folder on its way could be a link to a file of
// their choice, which the restart would delete. It is kept, and said so.
TEST_F(FileCleanup, AFileInUseOutsideTheUsersProfileIsKeptNotLeftForTheRestart)
{
    RegistryValuesOverride pending(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager");
    pending.Remove("PendingFileRenameOperations");
    for (const char* shared : {"%ProgramData%", "%SystemRoot%\\Temp"}) {
        SCOPED_TRACE(shared);
        const std::string folder = ExpandEnvironment(shared) + "\\tw-test-in-use";
        RemoveTree(folder);
        MakeFolder(folder);
        const std::string locked = folder + "\\locked.tmp";
        MakeFile(locked);
        EventOnlyJob cleaning;
        UniqueHandle holder(::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        DeleteFiles(folder + "\\*.tmp", false, 0, cleaning);
        holder.Reset();

        EXPECT_TRUE(FileExists(locked));
        EXPECT_TRUE(HasEvent(cleaning, kEventInformation, "The file '" + locked + "' is in use, so it was kept."));
        EXPECT_EQ(cleaning.Counts().skipped, 1);
        EXPECT_EQ(cleaning.Counts().leftForRestart, 0);
        RegValue operations;
        EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                                  "PendingFileRenameOperations", &operations));
        RemoveTree(folder);
    }
}

TEST_F(FileCleanup, AFileInUseReachedThroughALinkIsNeverLeftForTheRestart)
{
    // The restart deletes by path, and a path follows the link to its target.
    ScratchFolder outside;
    const std::string target = outside.File("in-use.doc");
    MakeFile(target);
    MakeFolder(Dir("tree"));
    ASSERT_TRUE(MakeFileLink(target, Dir("tree"), "link.tmp"));
    RegistryValuesOverride pending(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager");
    pending.Remove("PendingFileRenameOperations");

    UniqueHandle holder(::CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    DeleteFiles(Dir("tree") + "\\*", true, 0, job);
    holder.Reset();

    EXPECT_TRUE(HasEvent(job, kEventWarning,
                         "Skipped an entry that leads outside the cleaned folder: " + Dir("tree\\link.tmp")));
    RegValue operations;
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                              "PendingFileRenameOperations", &operations));
    EXPECT_TRUE(FileExists(target));
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(Dir("tree")) + "/link.tmp\"");
    Eventually([&] { return !LongPathExists(Dir("tree\\link.tmp")); }, kAppearTimeout);
}

TEST_F(FileCleanup, AHardLinkGoesWithoutChangingTheAttributesOfTheFileItShares)
{
    ScratchFolder outside;
    const std::string shared = outside.File("shared.doc");
    MakeFile(shared);
    MakeFolder(Dir("tree"));
    ASSERT_TRUE(::CreateHardLinkA(Dir("tree\\shared.tmp").c_str(), shared.c_str(), nullptr));
    const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(::SetFileAttributesA(shared.c_str(), attributes));

    DeleteFiles(Dir("tree") + "\\*", true, 0, job);

    EXPECT_EQ(::GetFileAttributesA(shared.c_str()) &
                  (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              attributes);
    std::string content;
    EXPECT_TRUE(ReadWholeFile(shared, &content));
    EXPECT_EQ(content, "trace");
    ::SetFileAttributesA(shared.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::SetFileAttributesA(Dir("tree\\shared.tmp").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileCleanup, APatternFolderThatLeadsOutsideEveryDriveIsRefused)
{
    // Under Wine a link may lead to the host's own folders, which no drive
    // holds and no protected folder names.
    const std::string host = "/tmp/tw-outside-" + std::to_string(::GetCurrentProcessId());
    ASSERT_TRUE(RunUnixCommand(UnixTool("mkdir") + " -p \"" + host + "\""));
    const ScopeExit removeHost([&] { RunUnixCommand(UnixTool("rm") + " -rf \"" + host + "\""); });
    ASSERT_TRUE(RunUnixCommand(UnixTool("ln") + " -s \"" + host + "\" \"" + UnixPathOf(Dir()) + "/host\""));
    ASSERT_TRUE(Eventually([&] { return LongPathExists(Dir("host")); }, kAppearTimeout));
    ASSERT_TRUE(RunUnixCommand(UnixTool("touch") + " \"" + host + "/host-file\""));
    ASSERT_TRUE(Eventually([&] { return FileExists(Dir("host\\host-file")); }, kAppearTimeout));

    const std::string error = RaisedText([&] { DeleteFiles(Dir("host") + "\\*", true, 0, job); });

    EXPECT_EQ(error.rfind("File pattern refused: " + Dir("host") + "\\* (the folder " + Dir("host") + " leads to ", 0),
              0u)
        << error;
    EXPECT_TRUE(FileExists(Dir("host\\host-file")));
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(Dir()) + "/host\"");
    Eventually([&] { return !LongPathExists(Dir("host")); }, kAppearTimeout);
}

TEST_F(FileCleanup, ALastPartOfDotsIsRefusedAndNothingGoes)
{
    // "sub\.." would be answered with the name "tree", taken inside "sub".
    MakeFolder(Dir("tree"));
    MakeFolder(Dir("tree\\sub"));
    MakeFile(Dir("tree\\sub\\tree"));
    MakeFile(Dir("tree\\sub\\sub"));
    for (const std::string last : {"..", "."}) {
        const std::string pattern = Dir("tree\\sub\\") + last;
        EXPECT_EQ(RaisedText([&] { DeleteFiles(pattern, true, 0, job); }),
                  "File pattern refused: " + pattern + " (its last part " + last + " names no file).");
    }
    EXPECT_TRUE(FileExists(Dir("tree\\sub\\tree")));
    EXPECT_TRUE(FileExists(Dir("tree\\sub\\sub")));
}

TEST_F(FileCleanup, AFileTheSystemKeepsWhenItsHandleClosesIsNotCountedAsRemoved)
{
    // Under Wine a file goes when its handle closes, and a folder the user
    // may not change (here: append-only) keeps it then.
    MakeFolder(Dir("tree"));
    MakeFolder(Dir("tree\\locked"));
    MakeFile(Dir("tree\\locked\\kept.tmp"));
    MakeFolder(Dir("tree\\locked\\sub"));
    MakeFile(Dir("tree\\locked\\sub\\inner.tmp"));
    MakeFile(Dir("tree\\gone.tmp"));
    const std::string unixLocked = UnixPathOf(Dir("tree\\locked"));
    const std::string probe = Dir("tree\\locked\\probe.tmp");
    // A probe deleted by the plain file functions stays once the folder is
    // append-only (and they report success all the same).
    const auto probeStays = [&] {
        return WriteWholeFile(probe, "probe") && ::DeleteFileA(probe.c_str()) && FileExists(probe);
    };
    ASSERT_TRUE(RunUnixCommand(UnixTool("chattr") + " +a \"" + unixLocked + "\""));
    const ScopeExit unlock([&] {
        RunUnixCommand(UnixTool("chattr") + " -a \"" + unixLocked + "\"");
        Eventually([&] { return ::DeleteFileA(probe.c_str()) && !FileExists(probe); }, kAppearTimeout);
    });
    if (!Eventually(probeStays, kAppearTimeout)) GTEST_SKIP() << "folders cannot be made append-only here";

    DeleteFiles(Dir("tree") + "\\*", true, 0, job);

    EXPECT_TRUE(FileExists(Dir("tree\\locked\\kept.tmp")));
    EXPECT_FALSE(FileExists(Dir("tree\\gone.tmp")));
    EXPECT_TRUE(HasEvent(job, kEventWarning, "Cannot delete file: " + Dir("tree\\locked\\kept.tmp") + ". Error: 5"));
    // The emptied subfolder stays too; what went from it still counts.
    EXPECT_FALSE(FileExists(Dir("tree\\locked\\sub\\inner.tmp")));
    EXPECT_TRUE(HasEvent(job, kEventWarning, "Cannot delete folder: " + Dir("tree\\locked\\sub") + ". Error: 5"));
    EXPECT_EQ(job.Counts().files, 2);
    EXPECT_EQ(job.Counts().folders, 0);
    EXPECT_GE(job.Counts().failed, 3);  // kept.tmp, the probe and sub
}

TEST_F(FileCleanup, ALinkToAFolderOutsideTheTreeIsNeverFollowed)
{
    ScratchFolder outside;
    ASSERT_TRUE(WriteWholeFile(outside.File("precious.doc"), "keep me"));
    ASSERT_TRUE(::CreateDirectoryA(outside.File("nested").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(outside.File("nested\\also.doc"), "keep me too"));
    MakeFolder(Dir("tree"));
    MakeFile(Dir("tree\\trace.tmp"));
    ASSERT_TRUE(MakeFolderLink(outside.Path(), Dir("tree\\link")));

    DeleteFiles(Dir("tree") + "\\*", true, 0, job);

    EXPECT_FALSE(FileExists(Dir("tree\\trace.tmp")));
    EXPECT_TRUE(FileExists(outside.File("precious.doc")));
    EXPECT_TRUE(FileExists(outside.File("nested\\also.doc")));
    for (const RecordedEvent& e : job.sink.events) {
        EXPECT_EQ(e.text.find("precious"), std::string::npos) << e.text;
        EXPECT_EQ(e.text.find("also.doc"), std::string::npos) << e.text;
    }
    // Removing the link itself is allowed; under Wine the link is named by its
    // target, so it is skipped, and the job says so.
    if (FileExists(Dir("tree\\link"))) {
        EXPECT_TRUE(HasEvent(job, kEventWarning,
                             "Skipped an entry that leads outside the cleaned folder: " + Dir("tree\\link")));
        // The link's own Unix path: resolving the link itself would name its target.
        RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(Dir("tree")) + "/link\"");
        Eventually([&] { return !LongPathExists(Dir("tree\\link")); }, kAppearTimeout);
    }
}

TEST_F(FileCleanup, ALinkToTheSameNameOnAnotherDriveIsSkippedAndItsTargetKept)
{
    // The twin lies where the tree lies, but on the build's drive: a check
    // that compared paths without their drive would take the link for the
    // file it names and delete the twin through it.
    const std::string otherDrive = std::string(kTestArtefactFolder, 2);
    ASSERT_NE(otherDrive, Dir().substr(0, 2));
    MakeFolder(Dir("tree"));
    std::string twinFolder = otherDrive;
    const std::string relative = Dir("tree").substr(2);
    for (size_t at = 1; at <= relative.size(); ++at) {
        if (at == relative.size() || relative[at] == '\\') {
            twinFolder = otherDrive + relative.substr(0, at);
            ::CreateDirectoryA(twinFolder.c_str(), nullptr);
        }
    }
    const std::string twin = twinFolder + "\\twin.tmp";
    ASSERT_TRUE(WriteWholeFile(twin, "keep me"));
    const ScopeExit removeTwin([&] { RemoveTree(otherDrive + relative.substr(0, relative.find('\\', 1))); });
    ASSERT_TRUE(MakeFileLink(twin, Dir("tree"), "twin.tmp"));
    MakeFile(Dir("tree\\trace.tmp"));

    DeleteFiles(Dir("tree") + "\\*", true, 0, job);

    EXPECT_TRUE(HasEvent(job, kEventWarning,
                         "Skipped an entry that leads outside the cleaned folder: " + Dir("tree\\twin.tmp")));
    std::string content;
    EXPECT_TRUE(ReadWholeFile(twin, &content));
    EXPECT_EQ(content, "keep me");
    EXPECT_FALSE(FileExists(Dir("tree\\trace.tmp")));
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(Dir("tree")) + "/twin.tmp\"");
    Eventually([&] { return !LongPathExists(Dir("tree\\twin.tmp")); }, kAppearTimeout);
}

TEST_F(FileCleanup, ALinkToTheSamePathInOtherCapitalsIsSkippedAndItsTargetKept)
{
    // Under Wine the disk tells "tree" from "TREE": a check that ignored
    // case would take the link for the file it names.
    MakeFolder(Dir("tree"));
    const std::string unixScratch = UnixPathOf(Dir());
    ASSERT_TRUE(RunUnixCommand(UnixTool("mkdir") + " \"" + unixScratch + "/TREE\""));
    ASSERT_TRUE(Eventually([&] { return ListsExactly(Dir(), "TREE"); }, kAppearTimeout));
    ASSERT_TRUE(WriteWholeFile(Dir("TREE\\x.tmp"), "keep me"));
    ASSERT_TRUE(ListsExactly(Dir("TREE"), "x.tmp"));
    ASSERT_TRUE(RunUnixCommand(UnixTool("ln") + " -s \"" + unixScratch + "/TREE/x.tmp\" \"" + unixScratch +
                               "/tree/x.tmp\""));
    ASSERT_TRUE(Eventually([&] { return ListsExactly(Dir("tree"), "x.tmp"); }, kAppearTimeout));

    DeleteFiles(Dir("tree") + "\\*", true, 0, job);

    EXPECT_TRUE(HasEvent(job, kEventWarning,
                         "Skipped an entry that leads outside the cleaned folder: " + Dir("tree\\x.tmp")));
    EXPECT_TRUE(ListsExactly(Dir("TREE"), "x.tmp"));
    RunUnixCommand(UnixTool("rm") + " -rf \"" + unixScratch + "/tree\" \"" + unixScratch + "/TREE\"");
    Eventually([&] { return !ListsExactly(Dir(), "tree") && !ListsExactly(Dir(), "TREE"); }, kAppearTimeout);
}

TEST_F(FileCleanup, PathsLongerThanTheSystemAllowsAreRefusedAndNothingBeyondIsTouched)
{
    MakeFolder(Dir("tree"));
    std::string tail;  // below tree, as a Unix path
    while (Dir("tree").size() + tail.size() < 300) tail += "/" + std::string(40, 'd');
    const std::string unixTree = UnixPathOf(Dir("tree"));
    std::string deepFolder = Dir("tree") + tail;
    for (char& c : deepFolder)
        if (c == '/') c = '\\';
    const std::string deepFile = deepFolder + "\\deep.tmp";
    ASSERT_TRUE(RunUnixCommand(UnixTool("mkdir") + " -p \"" + unixTree + tail + "\""));
    ASSERT_TRUE(Eventually([&] { return LongPathExists(deepFolder); }, kAppearTimeout));
    ASSERT_TRUE(RunUnixCommand(UnixTool("touch") + " \"" + unixTree + tail + "/deep.tmp\""));
    ASSERT_TRUE(Eventually([&] { return LongPathExists(deepFile); }, kAppearTimeout));
    MakeFile(Dir("tree\\shallow.tmp"));

    DeleteFiles(Dir("tree") + "\\*", true, 0, job);

    EXPECT_FALSE(FileExists(Dir("tree\\shallow.tmp")));
    bool refused = false;
    for (const RecordedEvent& e : job.sink.events) refused |= e.text.find("Error: 206") != std::string::npos;
    EXPECT_TRUE(refused);
    EXPECT_TRUE(LongPathExists(deepFile));
    RunUnixCommand(UnixTool("rm") + " -rf \"" + unixTree + "\"");
    Eventually([&] { return !LongPathExists(Dir("tree")); }, kAppearTimeout);
}

// A rule's self-removing walk meets a link below the folder, or the folder
// itself is one: the link is never entered, what it leads to stays.
TEST_F(FileCleanup, ASelfRemovingMaskedWalkNeverEntersALink)
{
    const struct {
        const char* link;     // below tree
        const char* cleaned;  // the folder the walk removes
    } cases[] = {{"tree\\cache\\link", "tree\\cache"}, {"tree\\cache", "tree\\cache"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        ScratchFolder outside;
        ASSERT_TRUE(WriteWholeFile(outside.File("precious.tmp"), "keep me"));
        MakeFolder(Dir("tree"));
        if (std::string(c.link) != c.cleaned) {
            MakeFolder(Dir(c.cleaned));
            MakeFile(Dir(std::string(c.cleaned) + "\\trace.tmp"));
        }
        ASSERT_TRUE(MakeFolderLink(outside.Path(), Dir(c.link)));
        MaskedClean clean;
        clean.masks = {"*"};
        clean.everyDepth = true;
        clean.removeEmptied = true;
        DeleteMaskedFiles(Dir(c.cleaned), clean, job);

        EXPECT_TRUE(FileExists(outside.File("precious.tmp")));
        EXPECT_FALSE(FileExists(Dir(std::string(c.cleaned) + "\\trace.tmp")));
        // The link's own Unix path: resolving the link itself would name its target.
        const std::string link = c.link;
        const size_t slash = link.rfind('\\');
        RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(Dir(link.substr(0, slash))) + "/" + link.substr(slash + 1) + "\"");
        // The wine server may see the link a moment after it went.
        ASSERT_TRUE(Eventually([this] { return RemoveTree(Dir("tree")); }, kAppearTimeout));
    }
}

// A rule's folder that is a link, or lies below one, leads to what nobody
// chose: it is skipped, and what the link leads to stays.
TEST_F(FileCleanup, AMaskedWalkOnlyWhereNamedSkipsAFolderReachedThroughALink)
{
    ScratchFolder outside;
    ASSERT_TRUE(::CreateDirectoryA(outside.File("sub").c_str(), nullptr));
    for (const char* name : {"precious.tmp", "sub\\precious.tmp"}) ASSERT_TRUE(WriteWholeFile(outside.File(name), "keep me"));
    MakeFolder(Dir("tree"));
    ASSERT_TRUE(MakeFolderLink(outside.Path(), Dir("tree\\link")));
    for (const char* cleaned : {"tree\\link", "tree\\link\\sub"}) {
        MaskedClean clean;
        clean.masks = {"*"};
        clean.everyDepth = true;
        const long long skippedBefore = job.Counts().skipped;
        DeleteMaskedFiles(Dir(cleaned), clean, job);
        EXPECT_EQ(job.Counts().skipped, skippedBefore + 1) << cleaned;
    }
    EXPECT_TRUE(FileExists(outside.File("precious.tmp")));
    EXPECT_TRUE(FileExists(outside.File("sub\\precious.tmp")));
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(Dir("tree")) + "/link\"");
}

// A rule's folder with wildcards names the real folders that match, never a link.
TEST_F(FileCleanup, FolderWildcardsMatchRealFoldersOnly)
{
    ScratchFolder outside;
    ASSERT_TRUE(::CreateDirectoryA(outside.File("Cache").c_str(), nullptr));
    for (const char* folder : {"tree", "tree\\Vendor", "tree\\Vendor\\Cache", "tree\\Vx", "tree\\Vx\\Cache",
                               "tree\\Vendor2", "tree\\Other", "tree\\Other\\Cache"})
        MakeFolder(Dir(folder));
    MakeFile(Dir("tree\\Vfile"));
    ASSERT_TRUE(MakeFolderLink(outside.Path(), Dir("tree\\Vlink")));
    const struct {
        const char* path;
        std::vector<std::string> found;
    } cases[] = {
        {"tree\\V*\\Cache", {"tree\\Vendor\\Cache", "tree\\Vx\\Cache"}},
        {"tree\\V?", {"tree\\Vx"}},
        {"tree\\Vendor\\Cache", {"tree\\Vendor\\Cache"}},
        {"tree\\Missing*\\Cache", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> expected;
        for (const std::string& folder : c.found) expected.push_back(Dir(folder));
        std::vector<std::string> found = FoldersMatching(Dir(c.path));
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected) << c.path;
    }
    EXPECT_EQ(RaisedText([] { FoldersMatching("C:\\*\\Cache"); }),
              "Folder wildcards refused: C:\\*\\Cache (a wildcard right below the drive).");
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(Dir("tree")) + "/Vlink\"");
}
