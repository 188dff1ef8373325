#include "common/tracer.h"

#include "support/scratch_folder.h"
#include "support/text_file.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace {

std::vector<std::string> TraceLines(const std::string& path)
{
    std::string content;
    EXPECT_TRUE(ReadWholeFile(path, &content));
    return SplitCrLfLines(content);
}

const std::regex kRecordPrefix(
    R"(^\(pid=0x[0-9A-F]{8}, tid=0x[0-9A-F]{8}\) \d{2}/\d{2}/\d{4} \d{2}:\d{2}:\d{2}  \| \[Unit\.exe\] )");
const std::regex kHeader(
    R"(^Hollowmere trace file \(Unit\.exe\)\. Created at \d{2}/\d{2}/\d{4} \d{2}:\d{2}:\d{2}\.$)");

}  // namespace

TEST(Tracer, FileRecordsCarryTheExactPrefixAndEndInCrLf)
{
    ScratchFolder folder;
    const std::string path = folder.File("trace.log");
    {
        CTracer tracer;
        tracer.SetModuleName("Unit.exe");
        ASSERT_TRUE(tracer.Open(CTracer::kFile, 10, path.c_str()));
        tracer.Trace(20, "progress %d of %s", 3, "five");
        tracer.Trace(9, "hidden below the threshold");
        tracer.Trace(10, "at the threshold");
        EXPECT_TRUE(tracer.Close());
    }
    std::string content;
    ASSERT_TRUE(ReadWholeFile(path, &content));
    EXPECT_EQ(content.find("\r\r"), std::string::npos);
    EXPECT_EQ(content.substr(content.size() - 2), "\r\n");

    const std::vector<std::string> lines = SplitCrLfLines(content);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_TRUE(std::regex_match(lines.front(), kHeader)) << lines.front();
    EXPECT_EQ(lines.back(), "Trace file closed.");

    std::vector<std::string> messages;
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        std::smatch prefix;
        ASSERT_TRUE(std::regex_search(lines[i], prefix, kRecordPrefix)) << lines[i];
        messages.push_back(prefix.suffix());
    }
    // The system lines come first, then the records that passed the filter.
    ASSERT_GE(messages.size(), 4u);
    EXPECT_TRUE(std::regex_match(messages[0], std::regex(R"(Windows \d+\.\d+\.\d+, .*, platform: \d+)"))) << messages[0];
    EXPECT_TRUE(messages[1].rfind("Internet Explorer version: ", 0) == 0 ||
                messages[1].rfind("Cannot obtain IE version", 0) == 0)
        << messages[1];
    EXPECT_EQ(messages[messages.size() - 2], "progress 3 of five");
    EXPECT_EQ(messages.back(), "at the threshold");
}

TEST(Tracer, ProcessAndThreadIdentifiersAreThoseOfTheCaller)
{
    ScratchFolder folder;
    const std::string path = folder.File("trace.log");
    CTracer tracer;
    tracer.SetModuleName("Unit.exe");
    ASSERT_TRUE(tracer.Open(CTracer::kFile, 41, path.c_str()));
    tracer.Trace(50, "mine");
    tracer.Close();

    char expected[64];
    std::snprintf(expected, sizeof expected, "(pid=0x%08X, tid=0x%08X) ", static_cast<unsigned>(::GetCurrentProcessId()),
                  static_cast<unsigned>(::GetCurrentThreadId()));
    const std::vector<std::string> lines = TraceLines(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].rfind(expected, 0), 0u) << lines[1];
}

TEST(Tracer, AMessageOfMoreThan4095CharactersIsRecordedAsRecordTooLong)
{
    ScratchFolder folder;
    const std::string path = folder.File("trace.log");
    CTracer tracer;
    tracer.SetModuleName("Unit.exe");
    ASSERT_TRUE(tracer.Open(CTracer::kFile, 41, path.c_str()));
    const std::string fits(4095, 'x');
    const std::string tooLong(4096, 'y');
    tracer.Trace(50, "%s", fits.c_str());
    tracer.Trace(50, "%s", tooLong.c_str());
    tracer.Close();

    const std::vector<std::string> lines = TraceLines(path);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].substr(lines[1].size() - 4095), fits);
    EXPECT_EQ(lines[2].substr(lines[2].size() - 17), "<record too long>");
}

TEST(Tracer, ThresholdAbove40LeavesOnlyHeaderAndClosingLine)
{
    ScratchFolder folder;
    const std::string path = folder.File("trace.log");
    CTracer tracer;
    tracer.SetModuleName("Unit.exe");
    ASSERT_TRUE(tracer.Open(CTracer::kFile, 41, path.c_str()));
    tracer.Trace(40, "error");
    tracer.Trace(20, "progress");
    tracer.Close();
    const std::vector<std::string> lines = TraceLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "Trace file closed.");
}

TEST(Tracer, SecondOpenClosesTheFileBetweenTheTwoHeaders)
{
    ScratchFolder folder;
    const std::string path = folder.File("trace.log");
    CTracer tracer;
    tracer.SetModuleName("Unit.exe");
    ASSERT_TRUE(tracer.Open(CTracer::kFile, 41, path.c_str()));
    ASSERT_TRUE(tracer.Open(CTracer::kFile, 41, path.c_str()));
    tracer.Close();
    const std::vector<std::string> lines = TraceLines(path);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(std::regex_match(lines[0], kHeader));
    EXPECT_EQ(lines[1], "Trace file closed.");
    EXPECT_TRUE(std::regex_match(lines[2], kHeader));
    EXPECT_EQ(lines[3], "Trace file closed.");
}

TEST(Tracer, CallerLastErrorSurvivesATraceCall)
{
    ScratchFolder folder;
    const std::string path = folder.File("trace.log");
    CTracer tracer;
    ASSERT_TRUE(tracer.Open(CTracer::kFile | CTracer::kDebugger, 0, path.c_str()));
    ::SetLastError(ERROR_SHARING_VIOLATION);
    tracer.Trace(40, "failed - %d", 32);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    ::SetLastError(ERROR_ACCESS_DENIED);
    tracer.Trace(-5, "below the threshold %d", 0);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(Tracer, AFileThatCannotBeOpenedTurnsIntoDebuggerOutputAndStillSucceeds)
{
    ScratchFolder folder;
    // A folder where the trace file should be: the file cannot be opened.
    const std::string path = folder.File("tw_debug.log");
    ASSERT_TRUE(::CreateDirectoryA(path.c_str(), nullptr));
    CTracer tracer;
    EXPECT_TRUE(tracer.Open(CTracer::kFile, 10, path.c_str()));
    EXPECT_EQ(tracer.GetFlags(), static_cast<unsigned>(CTracer::kDebugger));
    tracer.Trace(20, "goes to the debugger");
    EXPECT_TRUE(tracer.Close());
}

TEST(Tracer, OffMeansNoFileAndANullPathWithTheFileBitFails)
{
    ScratchFolder folder;
    const std::string path = folder.File("never.log");
    CTracer tracer;
    EXPECT_TRUE(tracer.Open(CTracer::kOff, 0, path.c_str()));
    tracer.Trace(40, "nowhere");
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(tracer.Open(CTracer::kFile, 0, nullptr));
    EXPECT_EQ(tracer.GetFlags(), static_cast<unsigned>(CTracer::kFile));
}

TEST(Tracer, RecordsFromSeveralThreadsNeverInterleaveInsideALine)
{
    ScratchFolder folder;
    const std::string path = folder.File("trace.log");
    CTracer tracer;
    tracer.SetModuleName("Unit.exe");
    ASSERT_TRUE(tracer.Open(CTracer::kFile, 41, path.c_str()));
    const std::string payload(1500, 'z');
    auto writer = [&]() {
        for (int i = 0; i < 200; ++i) tracer.Trace(50, "%s", payload.c_str());
    };
    std::thread a(writer), b(writer), c(writer);
    a.join();
    b.join();
    c.join();
    tracer.Close();

    const std::vector<std::string> lines = TraceLines(path);
    ASSERT_EQ(lines.size(), 602u);
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        std::smatch prefix;
        ASSERT_TRUE(std::regex_search(lines[i], prefix, kRecordPrefix)) << i;
        ASSERT_EQ(prefix.suffix().str(), payload) << i;
    }
}

namespace {

size_t SizeOf(const std::string& path)
{
    std::string content;
    return ReadWholeFile(path, &content) ? content.size() : 0;
}

}  // namespace

TEST(TraceSizeLimit, AFullFileIsMovedAsideAndTheTraceGoesOnInANewOneWithItsHeader)
{
    ScratchFolder folder;
    const std::string path = folder.File("tw_debug.log");
    const std::string previous = path + ".1";
    const std::string payload(480, 'p');
    CTracer tracer;
    tracer.SetModuleName("Unit.exe");
    tracer.SetSizeLimit(20000);
    ASSERT_TRUE(tracer.Open(CTracer::kFile, 10, path.c_str()));
    for (int i = 0; i < 300; ++i) tracer.Trace(20, "record %03d %s", i, payload.c_str());
    tracer.Trace(20, "the last record");
    EXPECT_TRUE(tracer.Close());

    // About 150 KB were traced: two files of at most the limit and one record remain.
    const size_t record = 600;
    EXPECT_LE(SizeOf(path), 20000 + record);
    EXPECT_GE(SizeOf(previous), 20000u);
    EXPECT_LE(SizeOf(previous), 20000 + record);
    const std::vector<std::string> lines = TraceLines(path);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines.front(), kHeader)) << lines.front();
    EXPECT_NE(lines[lines.size() - 2].find("the last record"), std::string::npos);
    // The previous generation ends where the current one begins.
    const std::vector<std::string> older = TraceLines(previous);
    ASSERT_FALSE(older.empty());
    const std::string lastOlder = older.back().substr(older.back().find("record "), 10);
    const std::string firstNewer = lines[1].substr(lines[1].find("record "), 10);
    EXPECT_EQ(std::stoi(firstNewer.substr(7)), std::stoi(lastOlder.substr(7)) + 1);
}

TEST(TraceSizeLimit, AFileFoundFullAtOpeningIsMovedAsideFirst)
{
    ScratchFolder folder;
    const std::string path = folder.File("tw_debug.log");
    ASSERT_TRUE(WriteWholeFile(path, std::string(30000, 'o') + "\r\n"));
    CTracer tracer;
    tracer.SetModuleName("Unit.exe");
    tracer.SetSizeLimit(20000);
    ASSERT_TRUE(tracer.Open(CTracer::kFile, 10, path.c_str()));
    tracer.Close();
    EXPECT_EQ(SizeOf(path + ".1"), 30002u);
    const std::vector<std::string> lines = TraceLines(path);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(std::regex_match(lines.front(), kHeader)) << lines.front();
}

TEST(TraceSizeLimit, WritersSharingTheFileMoveItAsideOnceAndFollowEachOther)
{
    // Two tracers on one file stand for two processes appending to it.
    ScratchFolder folder;
    const std::string path = folder.File("tw_debug.log");
    const std::string payload(480, 'q');
    CTracer first;
    CTracer second;
    first.SetModuleName("Unit.exe");
    second.SetModuleName("Unit.exe");
    first.SetSizeLimit(20000);
    second.SetSizeLimit(20000);
    ASSERT_TRUE(first.Open(CTracer::kFile, 10, path.c_str()));
    ASSERT_TRUE(second.Open(CTracer::kFile, 10, path.c_str()));
    for (int i = 0; i < 100; ++i) {
        first.Trace(20, "first %s", payload.c_str());
        second.Trace(20, "second %s", payload.c_str());
    }
    first.Close();
    second.Close();

    // Each writer adds at most one record after the other moved the file.
    const size_t record = 600;
    EXPECT_LE(SizeOf(path), 20000 + 2 * record);
    EXPECT_LE(SizeOf(path + ".1"), 20000 + 2 * record);
    std::string current;
    ASSERT_TRUE(ReadWholeFile(path, &current));
    EXPECT_GT(Occurrences(current, "] first q"), 0);
    EXPECT_GT(Occurrences(current, "] second q"), 0);
    EXPECT_EQ(Occurrences(current, "Hollowmere trace file"), 1);
}
