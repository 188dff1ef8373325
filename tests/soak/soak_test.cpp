// Soak: the resident instance with its console open for a long run (30
// minutes unless TW_SOAK_SECONDS says otherwise) under Wine. Fifty tasks
// have run-once times spread over the run; while it runs, their task files
// are rewritten unchanged, a further task file is made and deleted again and
// again, and the console follows the task that ran last. At the end every
// task must have run exactly once at its time, every task and session file
// must be whole, and the program's handle count and memory must not have
// grown. It prints both at the start and at the end.
//
//   make soak
#include "../system/console_fixture.h"

#include "support/session_file.h"
#include "support/text_file.h"

#include <windows.h>
#include <psapi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

const char kNullJob[] = "4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2";
const int kTasks = 50;

time32 Now() { return static_cast<time32>(std::time(nullptr)); }

int SoakSeconds()
{
    const char* text = std::getenv("TW_SOAK_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds >= 300 ? seconds : 1800;
}

std::string TaskName(int i)
{
    char name[16];
    std::snprintf(name, sizeof name, "Soak%02d", i + 1);
    return name;
}

struct Usage {
    DWORD handles = 0;
    double committedMb = 0;
    double workingSetMb = 0;
};

// The handles a process holds, from the system's table of all handles
// (Wine's GetProcessHandleCount answers 0 for every process).
DWORD HandleCountOf(DWORD processId)
{
    struct Entry {
        ULONG ownerId;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    const ULONG kSystemHandleInformation = 16;
    std::vector<char> buffer(1 << 20);
    ULONG length = 0;
    LONG status = 0;
    while (query != nullptr &&
           (status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length)) ==
               static_cast<LONG>(0xC0000004L)) {  // the buffer is too small
        buffer.resize(buffer.size() * 2);
    }
    if (query == nullptr || status != 0) return 0;
    const Table* table = reinterpret_cast<const Table*>(buffer.data());
    DWORD count = 0;
    for (ULONG i = 0; i < table->count; ++i) {
        if (table->entries[i].ownerId == processId) ++count;
    }
    return count;
}

Usage UsageOf(HANDLE process, DWORD processId)
{
    Usage usage;
    usage.handles = HandleCountOf(processId);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(process, &memory, sizeof memory)) {
        usage.committedMb = memory.PagefileUsage / 1048576.0;
        usage.workingSetMb = memory.WorkingSetSize / 1048576.0;
    }
    return usage;
}

class Soak : public Console {};

}  // namespace

TEST_F(Soak, FiftyTasksRunOnceEachAndNothingIsLostOrGrows)
{
    const int seconds = SoakSeconds();
    settings.SetDword("DebugLogLevel", 20);  // the trace counts the runs
    settings.SetDword("TaskScheduleUpdatePeriod", 60);
    settings.SetDword("TaskScheduleExecutePeriod", 1);
    folder.WriteInventory({{TestItemGuid(1), "Nothing", "Sweepkit.dll", kNullJob, ""}});

    // Run-once times from a minute after the start to two minutes before the end.
    const time32 start = Now();
    std::vector<time32> when(kTasks);
    std::vector<std::string> taskFiles(kTasks);
    for (int i = 0; i < kTasks; ++i) {
        when[i] = start + 60 + static_cast<time32>(static_cast<long long>(seconds - 180) * i / (kTasks - 1));
        TaskSchedule schedule;
        schedule.enabled = true;
        schedule.type = 1;
        schedule.runOnce = when[i];
        folder.WriteScheduledTask(TaskName(i), TaskName(i), schedule, {TestItemGuid(1)});
        ASSERT_TRUE(ReadWholeFile(folder.File(TaskName(i) + ".tsk"), &taskFiles[i]));
    }

    OpenConsole();
    ASSERT_NE(console, nullptr);
    ::Sleep(30000);  // past start-up: what it holds now is its working set
    const Usage first = UsageOf(program.Handle(), program.Id());
    std::printf("start: %lu handles, %.1f MB committed, %.1f MB working set\n", first.handles, first.committedMb,
                first.workingSetMb);
    std::fflush(stdout);

    // The churn, every 20 seconds until the last run is a minute past.
    int round = 0;
    while (Now() < when[kTasks - 1] + 60) {
        ::Sleep(20000);
        ASSERT_EQ(program.Wait(0), false) << "the program ended during the soak";
        ++round;
        // A task file rewritten unchanged (a new write time): read again.
        const int rewritten = round % kTasks;
        ASSERT_TRUE(WriteWholeFile(folder.File(TaskName(rewritten) + ".tsk"), taskFiles[rewritten]));
        // A task made and gone again.
        if (round % 2 == 1) {
            folder.WriteTask("Churn", {TestItemGuid(1)});
        } else {
            ::DeleteFileA(folder.File("Churn.tsk").c_str());
        }
        // The console follows the task that ran last.
        for (int i = kTasks - 1; i >= 0; --i) {
            if (when[i] <= Now()) {
                ChooseTask(TaskName(i));
                break;
            }
        }
    }
    ::DeleteFileA(folder.File("Churn.tsk").c_str());
    ::Sleep(10000);
    const Usage last = UsageOf(program.Handle(), program.Id());
    std::printf("end:   %lu handles, %.1f MB committed, %.1f MB working set (after %d s)\n", last.handles,
                last.committedMb, last.workingSetMb, static_cast<int>(Now() - start));
    std::fflush(stdout);

    const std::string trace = folder.Trace();
    int ranOnce = 0;
    for (int i = 0; i < kTasks; ++i) {
        const std::string name = TaskName(i);
        const int runs = Occurrences(trace, "] Task name - " + name + "\r\n");
        EXPECT_EQ(runs, 1) << name;
        std::string content;
        ASSERT_TRUE(ReadWholeFile(folder.File("TS_LRT_" + name + ".dat"), &content)) << name;
        time32 lastRun = 0;
        if (content.size() >= 4) std::memcpy(&lastRun, content.data(), 4);
        EXPECT_EQ(lastRun, when[i]) << name;
        std::vector<RawSessionRecord> records;
        ASSERT_TRUE(ReadSessionFile(folder.SessionFile(name), &records)) << name;
        ASSERT_FALSE(records.empty()) << name;
        EXPECT_EQ(records.back().message, "Session finished") << name;
        ASSERT_TRUE(ReadWholeFile(folder.File(name + ".tsk"), &content)) << name;
        EXPECT_EQ(content, taskFiles[i]) << name;
        if (runs == 1) ++ranOnce;
    }
    std::printf("tasks run exactly once: %d of %d; task and session files whole: checked\n", ranOnce, kTasks);
    // Flat: a few handles and a few megabytes of slack for what Wine keeps.
    EXPECT_GT(first.handles, 0u);
    EXPECT_LE(last.handles, first.handles + 20);
    EXPECT_LE(last.committedMb, first.committedMb + 8.0);
}
