// The session data file reader following files written by another process
// (the development tool's writer, which uses the task runtime's writer), and
// files that are not what they should be.
#include "runtime/sessionlog.h"

#include "common/error.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/timeutil.h"
#include "support/eventually.h"
#include "support/program_runner.h"
#include "support/raised.h"
#include "support/text_file.h"
#include "support/trace_capture.h"
#include "tasks/taskfiles.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

namespace {

struct Row {
    std::string message;
    int type;
    bool restarted;
};

class SessionReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        taskName = std::string("UnitSession_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ::DeleteFileA(path().c_str());
        reader->Attach(taskName);
    }
    void TearDown() override
    {
        reader.reset();  // close before deleting
        ::SetFileAttributesA(path().c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path().c_str());
    }

    std::string path() const { return CSessionLog::FilePath(taskName); }

    // A session written by another process, beside this test program.
    void WriteSessionElsewhere(int records, int pauseMs = 0, bool wait = true)
    {
        ASSERT_TRUE(writer.Start(GetModuleFilePath("tw_dev_tool.exe"),
                                 {"write-session", taskName, std::to_string(records), std::to_string(pauseMs)}));
        if (wait) {
            ASSERT_TRUE(writer.Wait(60000));
            ASSERT_EQ(writer.ExitCode(), 0u);
        }
    }

    std::vector<Row> ReadAll()
    {
        std::vector<Row> rows;
        std::string message;
        int type = -1;
        time32 time = 0;
        bool restarted = false;
        while (reader->Read(&message, &type, &time, &restarted)) rows.push_back({message, type, restarted});
        return rows;
    }

    std::string taskName;
    std::unique_ptr<CSessionLogRead> reader = std::make_unique<CSessionLogRead>();
    ChildProcess writer;
};

SessionRecord MakeRecord(std::uint32_t sequence, const char* message)
{
    SessionRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(record.magic, "HOTW", 4);
    record.version = 1;
    record.sequence = sequence;
    record.type = 2;
    std::strncpy(record.message, message, sizeof record.message - 1);
    record.time = 1700000000;
    return record;
}

std::string Bytes(const SessionRecord& record)
{
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

}  // namespace

TEST_F(SessionReader, BeforeAnySessionTheFileIsMissingAndReadsAsEmpty)
{
    EXPECT_TRUE(reader->IsEmpty());
    EXPECT_TRUE(ReadAll().empty());
    WriteSessionElsewhere(0);
    EXPECT_FALSE(reader->IsEmpty());
    const std::vector<Row> rows = ReadAll();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].message, "Session started");
    EXPECT_TRUE(rows[0].restarted);  // the first read of a pass always starts over
}

TEST_F(SessionReader, FollowsAGrowingFileRecordByRecord)
{
    WriteSessionElsewhere(6, 250, false);
    std::vector<Row> rows;
    Eventually(
        [&] {
            const std::vector<Row> more = ReadAll();
            rows.insert(rows.end(), more.begin(), more.end());
            return rows.size() >= 7;
        },
        20000);
    ASSERT_TRUE(writer.Wait(30000));
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0].message, "Session started");
    EXPECT_TRUE(rows[0].restarted);
    for (int i = 1; i <= 6; ++i) {
        EXPECT_EQ(rows[i].message, "record " + std::to_string(i));
        EXPECT_FALSE(rows[i].restarted) << i;
        EXPECT_EQ(rows[i].type, 2);
    }
}

TEST_F(SessionReader, AShorterFileMeansANewSession)
{
    WriteSessionElsewhere(4);
    ASSERT_EQ(ReadAll().size(), 5u);
    WriteSessionElsewhere(1);
    const std::vector<Row> rows = ReadAll();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].message, "Session started");
    EXPECT_TRUE(rows[0].restarted);
    EXPECT_EQ(rows[1].message, "record 1");
}

TEST_F(SessionReader, TheSameSizeWithANewerWriteTimeMeansANewSession)
{
    WriteSessionElsewhere(2);
    ASSERT_EQ(ReadAll().size(), 3u);
    ::Sleep(1100);
    WriteSessionElsewhere(2);
    const std::vector<Row> rows = ReadAll();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].message, "Session started");
    EXPECT_TRUE(rows[0].restarted);
}

TEST_F(SessionReader, ASequenceThatDoesNotFollowMeansANewSession)
{
    WriteSessionElsewhere(1);
    ASSERT_EQ(ReadAll().size(), 2u);
    ::Sleep(1100);  // a later start time: the new session numbers its records differently
    WriteSessionElsewhere(4);
    const std::vector<Row> rows = ReadAll();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].message, "Session started");
    EXPECT_TRUE(rows[0].restarted);
    EXPECT_EQ(rows[4].message, "record 4");
}

TEST_F(SessionReader, AHalfWrittenRecordIsReadAgainWhenComplete)
{
    const std::string first = Bytes(MakeRecord(500, "first"));
    const std::string second = Bytes(MakeRecord(501, "second"));
    ASSERT_TRUE(WriteWholeFile(path(), first + second.substr(0, 100)));
    std::vector<Row> rows = ReadAll();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].message, "first");

    ASSERT_TRUE(WriteWholeFile(path(), first + second));
    rows = ReadAll();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].message, "second");
    EXPECT_FALSE(rows[0].restarted);
}

TEST_F(SessionReader, EitherMagicOrVersionMakesAGoodHeaderButNeitherIsInternalError28)
{
    SessionRecord versionTwo = MakeRecord(7, "version two");
    versionTwo.version = 2;
    SessionRecord foreignMagic = MakeRecord(8, "foreign magic");
    std::memcpy(foreignMagic.magic, "ABCD", 4);
    SessionRecord neither = MakeRecord(9, "neither");
    std::memcpy(neither.magic, "ABCD", 4);
    neither.version = 3;
    ASSERT_TRUE(WriteWholeFile(path(), Bytes(versionTwo) + Bytes(foreignMagic) + Bytes(neither)));

    std::string message;
    int type = 0;
    time32 time = 0;
    bool restarted = false;
    ASSERT_TRUE(reader->Read(&message, &type, &time, &restarted));
    EXPECT_EQ(message, "version two");
    EXPECT_EQ(time, 1700000000);
    ASSERT_TRUE(reader->Read(&message, &type, &time, &restarted));
    EXPECT_EQ(message, "foreign magic");
    EXPECT_EQ(RaisedText([&] { reader->Read(&message, &type, &time, &restarted); }),
              "Internal error 28 (details: 0). Write down this numbers and contact technical support.");
}

TEST_F(SessionReader, ARecordThatBreaksTheNumberingWithinASessionEndsTheDataWithoutRestarting)
{
    ASSERT_TRUE(WriteWholeFile(path(), Bytes(MakeRecord(500, "first")) + Bytes(MakeRecord(501, "second")) +
                                           Bytes(MakeRecord(777, "damaged"))));
    std::vector<Row> rows = ReadAll();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].message, "first");
    EXPECT_EQ(rows[1].message, "second");
    // Every later poll ends at the same place: no endless stream of restarts.
    for (int poll = 0; poll < 3; ++poll) EXPECT_TRUE(ReadAll().empty());

    // A real new session (a shorter file) is still noticed afterwards.
    ASSERT_TRUE(WriteWholeFile(path(), Bytes(MakeRecord(900, "new session"))));
    rows = ReadAll();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].message, "new session");
    EXPECT_TRUE(rows[0].restarted);
}

TEST_F(SessionReader, SequenceZeroIsARealNumberAndNeverMakesTheReaderLoop)
{
    ASSERT_TRUE(WriteWholeFile(path(), Bytes(MakeRecord(0, "zero")) + Bytes(MakeRecord(1, "one")) +
                                           Bytes(MakeRecord(0, "zero again"))));
    // Each poll is bounded by the test: a looping reader would hand out "zero" for ever.
    std::string message;
    int type = 0;
    time32 time = 0;
    bool restarted = false;
    std::vector<Row> rows;
    for (int i = 0; i < 10 && reader->Read(&message, &type, &time, &restarted); ++i) rows.push_back({message, type, restarted});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].message, "zero");
    EXPECT_EQ(rows[1].message, "one");
    for (int poll = 0; poll < 3; ++poll) EXPECT_FALSE(reader->Read(&message, &type, &time, &restarted));
}

TEST_F(SessionReader, GarbageAndTruncatedFilesNeverCrashTheReader)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 60; ++round) {
        std::string garbage(random() % 2000, '\0');
        for (char& c : garbage) c = static_cast<char>(random());
        if (round % 3 == 0 && garbage.size() >= 4) std::memcpy(&garbage[0], "HOTW", 4);
        reader = std::make_unique<CSessionLogRead>();
        reader->Attach(taskName);
        ASSERT_TRUE(WriteWholeFile(path(), garbage));
        int reads = 0;
        try {
            std::string message;
            int type = 0;
            time32 time = 0;
            bool restarted = false;
            while (reader->Read(&message, &type, &time, &restarted) && reads < 100) {
                EXPECT_LE(message.size(), 200u);
                ++reads;
            }
        } catch (const CError&) {
            // A bad header is reported as an error, never a crash.
        }
        EXPECT_LE(reads, static_cast<int>(garbage.size() / 272) + 1) << round;
    }
}

TEST_F(SessionReader, ATaskDeletedWhileItsFileIsHeldLosesTheFileOnceTheHoldersClose)
{
    WriteSessionElsewhere(1);
    ASSERT_EQ(ReadAll().size(), 2u);
    {
        // The run still writes and the console still reads when the task is deleted.
        CSessionLogWrite running;
        running.Create(taskName);
        TraceCapture trace;
        TaskFiles(taskName).DeleteAll();
        for (const std::string& m : trace.Messages()) EXPECT_EQ(m.rfind("Cannot delete session file - ", 0), std::string::npos) << m;
        reader.reset();
    }
    EXPECT_FALSE(FileExists(path()));
    // A new task of the same name starts with nothing to show.
    reader = std::make_unique<CSessionLogRead>();
    reader->Attach(taskName);
    EXPECT_TRUE(reader->IsEmpty());
    EXPECT_TRUE(ReadAll().empty());
}

TEST_F(SessionReader, CleanupWhileAnotherProgramHoldsTheFileOnlyTraces)
{
    WriteSessionElsewhere(1);
    UniqueHandle other(::CreateFileA(path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(other);
    TraceCapture trace;
    TaskFiles(taskName).DeleteAll();
    EXPECT_TRUE(FileExists(path()));
    bool traced = false;
    for (const std::string& m : trace.Messages()) traced |= m.rfind("Cannot delete session file - ", 0) == 0;
    EXPECT_TRUE(traced);

    other.Reset();
    TaskFiles(taskName).DeleteAll();
    EXPECT_FALSE(FileExists(path()));
}

TEST_F(SessionReader, SessionsReplacingEachOtherWithinOneSecondAreNeverMixed)
{
    // Start at the beginning of a second: the three sessions below begin in it.
    const time32 start = GetLocalNow();
    while (GetLocalNow() == start) ::Sleep(5);
    const time32 second = GetLocalNow();
    const auto session = [&](const std::string& name, int records) {
        CSessionLogWrite writer;
        writer.Create(taskName);
        for (int i = 1; i <= records; ++i) writer.Write(name + std::to_string(i), 2);
    };
    session("A", 3);
    std::vector<Row> rows = ReadAll();
    ASSERT_EQ(rows.size(), 4u);
    session("B", 6);
    const std::vector<Row> afterB = ReadAll();
    session("C", 8);
    const std::vector<Row> afterC = ReadAll();
    ASSERT_EQ(GetLocalNow(), second) << "the sessions did not start within one second";

    const auto messages = [](const std::vector<Row>& list) {
        std::vector<std::string> texts;
        for (const Row& row : list) texts.push_back(row.message);
        return texts;
    };
    ASSERT_EQ(messages(afterB), (std::vector<std::string>{"Session started", "B1", "B2", "B3", "B4", "B5", "B6"}));
    EXPECT_TRUE(afterB[0].restarted);
    ASSERT_EQ(afterC.size(), 9u);
    EXPECT_TRUE(afterC[0].restarted);
    EXPECT_EQ(afterC[8].message, "C8");
}

TEST(SessionWriter, WritesTheRecordLayoutAndCutsLongMessagesTo199Characters)
{
    const std::string taskName = "UnitSession_Writer";
    const std::string path = CSessionLog::FilePath(taskName);
    {
        CSessionLogWrite writer;
        writer.Create(taskName);
        writer.Write(std::string(250, 'x'), 1);
        writer.WriteFinished();
    }
    std::string content;
    ASSERT_TRUE(ReadWholeFile(path, &content));
    ASSERT_EQ(content.size(), 3u * 272);
    SessionRecord records[3];
    std::memcpy(records, content.data(), content.size());
    EXPECT_EQ(std::string(records[1].message), std::string(199, 'x'));
    EXPECT_EQ(records[1].type, 1);
    EXPECT_EQ(records[1].sequence, records[0].sequence + 1);
    EXPECT_EQ(records[2].sequence, records[0].sequence + 2);
    EXPECT_STREQ(records[2].message, "Session finished");
    EXPECT_TRUE(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
}

TEST(SessionWriter, ASessionAfterOneNumberedLaterNumbersOnFromIt)
{
    // The session before started "in the future" (the clock has since gone back).
    const std::string taskName = "UnitSession_ClockBack";
    const std::string path = CSessionLog::FilePath(taskName);
    const std::uint32_t later = static_cast<std::uint32_t>(GetLocalNow()) + 5000;
    ASSERT_TRUE(WriteWholeFile(path, Bytes(MakeRecord(later + 1, "Session started"))));
    {
        CSessionLogWrite writer;
        writer.Create(taskName);
    }
    std::string content;
    ASSERT_TRUE(ReadWholeFile(path, &content));
    ASSERT_EQ(content.size(), 272u);
    SessionRecord record;
    std::memcpy(&record, content.data(), sizeof record);
    EXPECT_EQ(record.sequence, later + 2);
    EXPECT_STREQ(record.message, "Session started");
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
}

TEST(SessionWriter, TheFirstRecordOfASessionCarriesItsStartTimePlusOne)
{
    const std::string taskName = "UnitSession_StartTime";
    const std::string path = CSessionLog::FilePath(taskName);
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
    const time32 before = GetLocalNow();
    {
        CSessionLogWrite writer;
        writer.Create(taskName);
    }
    const time32 after = GetLocalNow();
    std::string content;
    ASSERT_TRUE(ReadWholeFile(path, &content));
    ASSERT_EQ(content.size(), 272u);
    SessionRecord record;
    std::memcpy(&record, content.data(), sizeof record);
    EXPECT_GE(record.sequence, static_cast<std::uint32_t>(before) + 1);
    EXPECT_LE(record.sequence, static_cast<std::uint32_t>(after) + 1);
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
}
