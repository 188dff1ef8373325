// Benchmark: the console of the real program at scale. It prints how long
// the console takes from its start until its window shows with everything
// in it, and the memory the program then uses, for a task whose session data
// file holds 10,000 and 100,000 records, for 1,000 task files and for
// 4,000 community rules beside the program.
//
//   console_scale_benchmark.exe
#include "../system/console_fixture.h"

#include "support/text_file.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// The session data file's record, as the program writes it.
#pragma pack(push, 1)
struct Record {
    char magic[4];
    std::uint32_t version;
    std::uint32_t sequence;
    std::int32_t type;
    char message[200];
    std::int32_t time;
    std::uint8_t reserved[52];
};
#pragma pack(pop)
static_assert(sizeof(Record) == 272, "session records are 272 bytes");

std::string SessionOf(int records)
{
    std::string bytes(static_cast<size_t>(records) * sizeof(Record), '\0');
    for (int i = 0; i < records; ++i) {
        Record record = {};
        std::memcpy(record.magic, "HOTW", 4);
        record.version = 1;
        record.sequence = static_cast<std::uint32_t>(i + 1);
        record.type = 2;
        const std::string message = i == 0 ? "Session started" : "Removed file C:\\Temp\\old" + std::to_string(i) + ".tmp";
        std::strncpy(record.message, message.c_str(), sizeof record.message - 1);
        record.time = 1767254400 + i;
        std::memcpy(&bytes[static_cast<size_t>(i) * sizeof(Record)], &record, sizeof record);
    }
    return bytes;
}

class ConsoleScale : public Console {
protected:
    // Starts the console and waits until the condition holds of its window.
    template <typename Filled>
    void Measure(const char* what, Filled filled)
    {
        const Clock::time_point start = Clock::now();
        ASSERT_TRUE(program.Start(folder.Program(), {}));
        const HWND window = WaitForWindow(program.Id(), "#32770", kConsoleCaption, 30 * 60 * 1000);
        ASSERT_NE(window, nullptr) << what;
        console = window;  // the fixture's controls are those of this window
        const DWORD began = ::GetTickCount();
        while (!::IsWindowVisible(window) || !filled(window)) {
            ASSERT_LT(::GetTickCount() - began, 30u * 60 * 1000) << what;
            ::Sleep(5);
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof memory;
        ::GetProcessMemoryInfo(program.Handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
        std::printf("%-24s window with everything in it after %6.3f s; memory %6.1f MB committed, %6.1f MB working set\n",
                    what, seconds, memory.PagefileUsage / 1048576.0, memory.WorkingSetSize / 1048576.0);
        std::fflush(stdout);
    }

    void MeasureSession(int records)
    {
        ASSERT_TRUE(WriteWholeFile(folder.File("default.log_file"), SessionOf(records)));
        Measure((std::to_string(records) + " session records:").c_str(), [&](HWND window) {
            const HWND list = VisibleProgressList();
            return list != nullptr && ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == records;
        });
    }
};

}  // namespace

TEST_F(ConsoleScale, TenThousandRecords) { MeasureSession(10000); }
TEST_F(ConsoleScale, AHundredThousandRecords) { MeasureSession(100000); }

TEST_F(ConsoleScale, AThousandTasks)
{
    const int tasks = 1000;
    for (int i = 0; i < tasks; ++i) folder.WriteTask("Task" + std::to_string(10000 + i), {});
    Measure("1000 task files:", [&](HWND window) {
        return ::SendMessageW(::GetDlgItem(window, kTaskBox), CB_GETCOUNT, 0, 0) == tasks + 2;
    });
}

// 4,000 community rules beside the program, each there (no detection keys)
// and none refused: all in the job tree, under five groups.
TEST_F(ConsoleScale, FourThousandCommunityRules)
{
    const int entries = 4000;
    std::string rules;
    for (int i = 0; i < entries; ++i) {
        const std::string app = "BenchApp" + std::to_string(i);
        rules += "[" + app + " Cache *]\r\nLangSecRef=" + std::to_string(3021 + i % 5) + "\r\nFileKey1=%LocalAppData%\\" +
                 app + "\\Cache|*.*|RECURSE\r\nRegKey1=HKCU\\Software\\" + app + "\\Recent\r\n";
    }
    ASSERT_TRUE(WriteWholeFile(folder.File("winapp2.ini"), rules));
    // The shipped catalogue's items, the rules' groups and their entries.
    Measure("4000 community rules:", [&](HWND window) {
        return ::SendMessageW(::GetDlgItem(window, kJobTree), TVM_GETCOUNT, 0, 0) >= entries + 6;
    });
}
