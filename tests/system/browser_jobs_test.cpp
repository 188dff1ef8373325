// The browser cache and history jobs run by the real program and plug-in in
// a scratch program folder, against the Wine prefix's URL cache: what the
// task process leaves in the cache and the session records it writes.
#include "common/codecs.h"
#include "support/program_runner.h"
#include "support/registry_fixture.h"
#include "support/scratch_folder.h"
#include "support/session_file.h"
#include "support/text_file.h"

#include <windows.h>
#include <shlobj.h>
#include <wininet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kInventoryEndMarker[] = "5D793A96-4BF6-495E-A8AF-299E203194B6";
const char kCookieKeepListKeyText[] = "F68EF1FD-5366-49C0-9C82-D59C73CC550D";

const char kCookiesClass[] = "20FA0A7E-605A-4bf1-8634-FD1700890FC9";
const char kHistoryClass[] = "92A35E74-E942-4B24-B82E-BBD19332FF7D";
const char kTempFilesClass[] = "5443B092-9ED6-47bb-8ADD-46949F8C909A";

// Item identifiers of these tests' own inventory.
const char kCookiesItem[] = "1EB00000-0000-4000-8000-000000000001";
const char kHistoryItem[] = "1EB00000-0000-4000-8000-000000000002";
const char kTempFilesItem[] = "1EB00000-0000-4000-8000-000000000003";

using CacheSnapshot = std::map<std::string, DWORD>;  // entry name -> entry type

bool UnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Every entry of the prefix's URL cache, read with a plain search.
CacheSnapshot ReadCache()
{
    CacheSnapshot entries;
    std::vector<char> buffer(1024);
    HANDLE search = nullptr;
    for (;;) {
        auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
        DWORD size = static_cast<DWORD>(buffer.size());
        BOOL fetched = FALSE;
        if (search == nullptr) {
            search = ::FindFirstUrlCacheEntryA(nullptr, entry, &size);
            fetched = search != nullptr;
        } else {
            fetched = ::FindNextUrlCacheEntryA(search, entry, &size);
        }
        if (fetched) {
            entries[entry->lpszSourceUrlName] = entry->CacheEntryType;
            continue;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_INSUFFICIENT_BUFFER && size > buffer.size()) {
            buffer.resize(size);
            continue;
        }
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_ITEMS)) << "cache search failed";
        break;
    }
    if (search != nullptr) ::FindCloseUrlCache(search);
    return entries;
}

std::vector<std::string> Names(const CacheSnapshot& entries, bool cookies)
{
    std::vector<std::string> names;
    for (const auto& [name, type] : entries)
        if (((type & COOKIE_CACHE_ENTRY) != 0) == cookies) names.push_back(name);
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

void WipeCache()
{
    for (const auto& entry : ReadCache()) ::DeleteUrlCacheEntryA(entry.first.c_str());
}

std::string UserName()
{
    char name[256] = {};
    DWORD size = sizeof name;
    EXPECT_TRUE(::GetUserNameA(name, &size));
    return name;
}

// A persistent cookie for http://host + path; returns its cache entry name.
std::string AddCookie(const std::string& host, const std::string& path = "/")
{
    const std::string url = "http://" + host + path;
    EXPECT_TRUE(::InternetSetCookieA(url.c_str(), "visit", "1; expires=Thu, 01-Jan-2037 00:00:00 GMT")) << url;
    const std::string name = "Cookie:" + UserName() + "@" + host + path;
    EXPECT_EQ(ReadCache().count(name), 1u) << "no cookie entry " << name;
    return name;
}

// A cached one-byte file for url, with header info of the given length.
std::string AddEntry(const std::string& url, size_t headerSize = 0)
{
    char file[MAX_PATH] = {};
    EXPECT_TRUE(::CreateUrlCacheEntryA(url.c_str(), 0, "html", file, 0)) << url;
    EXPECT_TRUE(WriteWholeFile(file, "x"));
    std::string header;
    if (headerSize > 0) header = "HTTP/1.1 200 OK\r\nX-Padding: " + std::string(headerSize, 'h') + "\r\n\r\n";
    const FILETIME none = {};
    EXPECT_TRUE(::CommitUrlCacheEntryA(url.c_str(), file, none, none, NORMAL_CACHE_ENTRY,
                                       header.empty() ? nullptr : reinterpret_cast<BYTE*>(&header[0]),
                                       static_cast<DWORD>(header.size()), "html", nullptr))
        << url;
    EXPECT_EQ(ReadCache().count(url), 1u) << "no cache entry " << url;
    return url;
}

// A scratch program folder whose inventory holds the three browser jobs.
class BrowserJobs : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.SetDword("AutoRun", 0);
        taskName = std::string("BrowserTask_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::vector<std::pair<std::string, std::pair<std::string, std::string>>> items = {
            {kCookiesItem, {"Browser cookies", kCookiesClass}},
            {kHistoryItem, {"Browser history", kHistoryClass}},
            {kTempFilesItem, {"Browser cache", kTempFilesClass}},
        };
        std::string text = "# browser jobs\r\n";
        for (const auto& [guid, item] : items) {
            text += "[ITEM]\r\nGUID=" + guid + "\r\nName=" + item.first +
                    "\r\nIcon=0\r\nModuleName=Sweepkit.dll\r\nCLSID=" + item.second + "\r\n";
        }
        text += "[ITEM]\r\n";
        ASSERT_TRUE(WriteWholeFile(folder.File("task_inventory.ini"), text));
    }

    void TearDown() override
    {
        if (wiped) WipeCache();
    }

    // Starts the test from an empty cache (the prefix's cache is the tests' own).
    void StartFromEmptyCache()
    {
        WipeCache();
        wiped = true;
        ASSERT_TRUE(ReadCache().empty()) << "the cache cannot be emptied";
    }

    void WriteTask(const std::vector<std::string>& enabled,
                   const std::vector<std::pair<std::string, std::string>>& extended = {})
    {
        std::string text = "TaskName=" + taskName +
                           "\r\nScheduleEnabled=0\r\nBaseScheduleTime=2026/ 1/ 1  9: 0: 0\r\n"
                           "RunOnceTime=2026/ 1/ 1  9: 0: 0\r\nRunAtStartup=0\r\nRunAtShutdown=0\r\nScheduleType=0\r\n"
                           "RunEveryNumber=1\r\nRunEveryUnit=1\r\nExtendedDataCount=" +
                           std::to_string(extended.size()) + "\r\n";
        for (const auto& [key, value] : extended)
            text += "ExtendedData_GUID=" + key + "\r\nExtendedData_Value=" + value + "\r\n";
        for (const std::string& guid : enabled) text += "EnabledTask=" + guid + "\r\n";
        text += std::string("EnabledTask=") + kInventoryEndMarker + "\r\n";
        ASSERT_TRUE(WriteWholeFile(folder.File(taskName + ".tsk"), text));
    }

    // Runs the task process to its end; the session records it wrote.
    std::vector<RawSessionRecord> RunTask()
    {
        DWORD exitCode = 1;
        EXPECT_TRUE(RunToEnd(folder.Program(), {taskName}, 60000, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        std::vector<RawSessionRecord> records;
        EXPECT_TRUE(ReadSessionFile(folder.File(taskName + ".log_file"), &records));
        return records;
    }

    // The records between "Starting cleanup jobs." and "Session finished".
    static std::vector<std::string> JobMessages(const std::vector<RawSessionRecord>& records)
    {
        std::vector<std::string> messages = Messages(records);
        const auto first = std::find(messages.begin(), messages.end(), "Starting cleanup jobs.");
        const auto last = std::find(messages.begin(), messages.end(), "Session finished");
        EXPECT_TRUE(first != messages.end() && last != messages.end()) << "the session is not complete";
        if (first == messages.end() || last == messages.end() || last < first) return messages;
        return std::vector<std::string>(first + 1, last);
    }

    ProgramFolder folder;
    ProgramSettings settings;
    std::string taskName;
    bool wiped = false;
};

}  // namespace

TEST_F(BrowserJobs, TheCookieJobKeepsExactlyTheCookiesOnTheTasksKeepList)
{
    StartFromEmptyCache();
    const std::string kept1 = AddCookie("kept.example.com");
    const std::string kept2 = AddCookie("shop.example.org", "/basket/");
    const std::string gone1 = AddCookie("tracker.example.net");
    const std::string gone2 = AddCookie("ads.example.com");
    std::string otherCase = gone2;
    otherCase.replace(0, 7, "COOKIE:");
    const std::string page = AddEntry("http://kept.example.com/index.html");
    WriteTask({kCookiesItem}, {{kCookieKeepListKeyText, EncodeStringList({kept1, kept2, otherCase})}});

    const std::vector<RawSessionRecord> records = RunTask();
    EXPECT_EQ(JobMessages(records), (std::vector<std::string>{"Starting job: Browser cookies...",
                                                              "Job 'Browser cookies' finished."}));
    const CacheSnapshot after = ReadCache();
    EXPECT_EQ(Names(after, true), Sorted({kept1, kept2}));
    EXPECT_EQ(Names(after, false), std::vector<std::string>{page});
}

TEST_F(BrowserJobs, TheCookieJobOfATaskWithoutAKeepListDeletesEveryCookie)
{
    StartFromEmptyCache();
    AddCookie("one.example.com");
    AddCookie("two.example.com", "/deep/path/");
    const std::string page = AddEntry("http://one.example.com/index.html");
    WriteTask({kCookiesItem});

    EXPECT_EQ(JobMessages(RunTask()), (std::vector<std::string>{"Starting job: Browser cookies...",
                                                                "Job 'Browser cookies' finished."}));
    const CacheSnapshot after = ReadCache();
    EXPECT_TRUE(Names(after, true).empty());
    EXPECT_EQ(Names(after, false), std::vector<std::string>{page});
}

TEST_F(BrowserJobs, TheTempFilesJobDeletesOrdinaryEntriesAndLeavesCookies)
{
    StartFromEmptyCache();
    const std::vector<std::string> cookies = {AddCookie("stay.example.com"), AddCookie("stay.example.org", "/a/")};
    AddEntry("http://pages.example.com/index.html");
    AddEntry("http://pages.example.com/style.css");
    AddEntry("http://pages.example.com/large.html", 6000);  // larger than the walk's first buffer
    AddEntry("http://pages.example.com/" + std::string(5000, 'q') + ".html");
    WriteTask({kTempFilesItem});

    EXPECT_EQ(JobMessages(RunTask()),
              (std::vector<std::string>{"Starting job: Browser cache...", "Job 'Browser cache' finished."}));
    const CacheSnapshot after = ReadCache();
    EXPECT_TRUE(Names(after, false).empty());
    EXPECT_EQ(Names(after, true), Sorted(cookies));
}

TEST_F(BrowserJobs, TheHistoryJobReportsWhatTheHistoryObjectAnswers)
{
    WriteTask({kHistoryItem});
    const std::vector<RawSessionRecord> records = RunTask();
    const std::vector<std::string> messages = JobMessages(records);
    if (UnderWine()) {
        // Wine's history object does not implement clearing: one Error record.
        ASSERT_EQ(messages, (std::vector<std::string>{
                                "Starting job: Browser history...",
                                "Job execution failure (-2147483648: History cleanup failed. Error: -2147467263)."}));
        const auto failure = std::find_if(records.begin(), records.end(), [](const RawSessionRecord& r) {
            return r.message.rfind("Job execution failure", 0) == 0;
        });
        ASSERT_NE(failure, records.end());
        EXPECT_EQ(failure->type, 0);
    } else {
        EXPECT_EQ(messages, (std::vector<std::string>{"Starting job: Browser history...",
                                                      "Job 'Browser history' finished."}));
    }
}

TEST_F(BrowserJobs, AllThreeJobsRunInOneTaskInInventoryOrder)
{
    StartFromEmptyCache();
    const std::string kept = AddCookie("kept.example.com");
    AddCookie("gone.example.com");
    AddEntry("http://kept.example.com/index.html");
    WriteTask({kTempFilesItem, kHistoryItem, kCookiesItem}, {{kCookieKeepListKeyText, EncodeStringList({kept})}});

    const std::vector<std::string> messages = JobMessages(RunTask());
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[0], "Starting job: Browser cookies...");
    EXPECT_EQ(messages[1], "Job 'Browser cookies' finished.");
    EXPECT_EQ(messages[2], "Starting job: Browser history...");
    EXPECT_EQ(messages[4], "Starting job: Browser cache...");
    EXPECT_EQ(messages[5], "Job 'Browser cache' finished.");
    const CacheSnapshot after = ReadCache();
    EXPECT_EQ(Names(after, true), std::vector<std::string>{kept});
    EXPECT_TRUE(Names(after, false).empty());
}

// The test process must not have opened the URL cache before it locks the
// cookie index (CTest runs every case in a process of its own).
TEST_F(BrowserJobs, CacheJobsReportAWalkThatCannotReadTheCache)
{
    if (!UnderWine()) GTEST_SKIP() << "the cache index is locked the way Wine keeps it";
    char cookieFolder[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_COOKIES, nullptr, SHGFP_TYPE_CURRENT, cookieFolder)));
    const std::string index = std::string(cookieFolder) + "\\index.dat";
    HANDLE lock = ::CreateFileA(index.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE) << index << " error " << ::GetLastError();
    WriteTask({kCookiesItem, kTempFilesItem});

    const std::vector<RawSessionRecord> records = RunTask();
    ::CloseHandle(lock);
    EXPECT_EQ(JobMessages(records),
              (std::vector<std::string>{"Starting job: Browser cookies...",
                                        "Job execution failure (-2147483648: Cookie cleanup failed. Error: -2147467259).",
                                        "Starting job: Browser cache...",
                                        "Job execution failure (-2147483648: Temp files cleanup failed. Error: "
                                        "-2147467259)."}));
}
