// Benchmark: the temporary-folder job through the real program against a
// plain loop of the same Win32 calls, a lean loop (basic listing with large
// fetches, attributes reset only where they would stop the delete) and
// "cmd /c rd /s /q", each on an identical tree of 20,000 files in 1,000
// folders, all under this Wine.
//
//   delete_benchmark.exe <program folder>
//
// Prints files per second for each and the ratios. Asserts nothing.
#include "jobapi/extkeys.h"
#include "common/guid.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kFolders = 1000;
const int kFilesPerFolder = 20;
const int kFiles = kFolders * kFilesPerFolder;
const int kRounds = 5;

std::string TempBase()
{
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "tw-benchmark-" + std::to_string(::GetCurrentProcessId());
}

void MakeTree(const std::string& root)
{
    ::CreateDirectoryA(root.c_str(), nullptr);
    for (int f = 0; f < kFolders; ++f) {
        // Ten top folders of a hundred subfolders each: two levels to descend.
        const std::string top = root + "\\group" + std::to_string(f / 100);
        ::CreateDirectoryA(top.c_str(), nullptr);
        const std::string folder = top + "\\folder" + std::to_string(f);
        ::CreateDirectoryA(folder.c_str(), nullptr);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            const std::string file = folder + "\\file" + std::to_string(i) + ".tmp";
            HANDLE h = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD written = 0;
            ::WriteFile(h, "benchmark", 9, &written, nullptr);
            ::CloseHandle(h);
        }
    }
}

// The plain loop: find, set attributes, delete, remove folder.
void PlainDelete(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            PlainDelete(path);
            ::RemoveDirectoryA(path.c_str());
        } else {
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(path.c_str());
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

// The least a loop can do: no short names, large fetches, and attributes
// changed only on the files whose attributes would refuse the delete.
void LeanDelete(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileExA((folder + "\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const char* name = found.cFileName;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        const std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            LeanDelete(path);
            ::RemoveDirectoryA(path.c_str());
        } else {
            if (found.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(path.c_str());
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

bool RunAndWait(std::string commandLine, const char* environmentTemp = nullptr)
{
    if (environmentTemp != nullptr) {
        ::SetEnvironmentVariableA("TEMP", environmentTemp);
        ::SetEnvironmentVariableA("TMP", environmentTemp);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    ::WaitForSingleObject(info.hProcess, INFINITE);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return true;
}

bool WriteText(const std::string& path, const std::string& text)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(h);
    return written == text.size();
}

bool CopyProgramFolder(const std::string& from, const std::string& to)
{
    ::CreateDirectoryA(to.c_str(), nullptr);
    for (const char* name : {"Tidewhistle.exe", "Sweepkit.dll"}) {
        if (!::CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE)) return false;
    }
    const std::string inventory =
        "[ITEM]\r\nGUID=1E000000-0000-4000-8000-00000000BE00\r\nName=Temporary Folder\r\nIcon=7\r\n"
        "ModuleName=Sweepkit.dll\r\nCLSID=BE32D7AC-BD92-4DF7-ABFC-120BEDAAD0C0\r\n[ITEM]\r\n";
    const std::string task =
        "TaskName=bench\r\nScheduleEnabled=0\r\nBaseScheduleTime=2026/ 1/ 1  9: 0: 0\r\nRunOnceTime=2026/ 1/ 1  9: 0: 0\r\n"
        "RunAtStartup=0\r\nRunAtShutdown=0\r\nScheduleType=0\r\nRunEveryNumber=1\r\nRunEveryUnit=1\r\n"
        "ExtendedDataCount=1\r\nExtendedData_GUID=" + GuidToString(kTempFilesAgeKey) + "\r\nExtendedData_Value=0 48\r\n"
        "EnabledTask=1E000000-0000-4000-8000-00000000BE00\r\nEnabledTask=5D793A96-4BF6-495E-A8AF-299E203194B6\r\n";
    return WriteText(to + "\\task_inventory.ini", inventory) && WriteText(to + "\\bench.tsk", task);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

bool TreeGone(const std::string& root)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((root + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    int entries = 0;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") ++entries;
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return entries == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: delete_benchmark <program folder>\n");
        return 2;
    }
    const std::string base = TempBase();
    ::CreateDirectoryA(base.c_str(), nullptr);
    const std::string program = base + "\\program";
    if (!CopyProgramFolder(argv[1], program)) {
        std::fprintf(stderr, "cannot lay out the program folder from %s\n", argv[1]);
        return 1;
    }

    // Five rounds, alternating, each on a fresh tree: the best time of each
    // counts, so that neither side pays for the other's caches nor for a
    // moment when the machine was busy elsewhere. Every round is printed,
    // and the median of the rounds' own ratios is the steadier figure on a
    // machine whose disk is noisy.
    double jobSeconds = 1e9;
    double plainSeconds = 1e9;
    double leanSeconds = 1e9;
    bool jobComplete = true;
    std::vector<double> toPlain;
    std::vector<double> toLean;
    for (int round = 0; round < kRounds; ++round) {
        // The job through the real program: its temporary folder is the tree.
        const std::string jobTree = base + "\\job-tree" + std::to_string(round);
        MakeTree(jobTree);
        auto start = std::chrono::steady_clock::now();
        RunAndWait("\"" + program + "\\Tidewhistle.exe\" bench", jobTree.c_str());
        const double jobRound = Seconds(std::chrono::steady_clock::now() - start);
        jobSeconds = std::min(jobSeconds, jobRound);
        jobComplete = jobComplete && TreeGone(jobTree);

        const std::string plainTree = base + "\\plain-tree" + std::to_string(round);
        MakeTree(plainTree);
        start = std::chrono::steady_clock::now();
        PlainDelete(plainTree);
        const double plainRound = Seconds(std::chrono::steady_clock::now() - start);
        plainSeconds = std::min(plainSeconds, plainRound);

        const std::string leanTree = base + "\\lean-tree" + std::to_string(round);
        MakeTree(leanTree);
        start = std::chrono::steady_clock::now();
        LeanDelete(leanTree);
        const double leanRound = Seconds(std::chrono::steady_clock::now() - start);
        leanSeconds = std::min(leanSeconds, leanRound);
        toPlain.push_back(jobRound / plainRound);
        toLean.push_back(jobRound / leanRound);
        std::printf("  round %d: job %.2f s, plain %.2f s, lean %.2f s (job/plain %.2f, job/lean %.2f)\n", round + 1,
                    jobRound, plainRound, leanRound, toPlain.back(), toLean.back());
        std::fflush(stdout);
    }

    const std::string rdTree = base + "\\rd-tree";
    MakeTree(rdTree);
    const auto start = std::chrono::steady_clock::now();
    RunAndWait("cmd /c rd /s /q \"" + rdTree + "\"");
    const double rdSeconds = Seconds(std::chrono::steady_clock::now() - start);

    std::printf("Deleting %d files in %d folders under Wine (best of %d rounds)\n", kFiles, kFolders, kRounds);
    std::printf("  temporary-folder job (real program): %7.2f s  %9.0f files/s%s\n", jobSeconds, kFiles / jobSeconds,
                jobComplete ? "" : "  (tree not empty afterwards!)");
    std::printf("  plain Win32 loop:                    %7.2f s  %9.0f files/s\n", plainSeconds, kFiles / plainSeconds);
    std::printf("  lean Win32 loop:                     %7.2f s  %9.0f files/s\n", leanSeconds, kFiles / leanSeconds);
    std::printf("  cmd /c rd /s /q:                     %7.2f s  %9.0f files/s\n", rdSeconds, kFiles / rdSeconds);
    std::printf("  job / plain loop: %.2f best against best, %.2f median of the rounds (goal: at most 1)\n",
                jobSeconds / plainSeconds, Median(toPlain));
    std::printf("  job / lean loop:  %.2f best against best, %.2f median of the rounds (goal: at most 1.25)\n",
                jobSeconds / leanSeconds, Median(toLean));
    std::printf("  job / rd /s /q:   %.2f (goal: below 1)\n", jobSeconds / rdSeconds);

    PlainDelete(base);
    ::RemoveDirectoryA(base.c_str());
    return 0;
}
