// The browser cache and history jobs run by the real program and plug-in in
// a scratch program folder, against the Wine prefix's URL cache: what the
// task process leaves in the cache and the session records it writes.
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "common/codecs.h"
#include "support/session_file.h"
#include "support/system_test.h"
#include "support/url_cache_fill.h"

#include <windows.h>
#include <shlobj.h>
#include <wininet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kCookieKeepListKeyText = GuidToString(kCookieKeepListKey);

const char kCookiesClass[] = "20FA0A7E-605A-4bf1-8634-FD1700890FC9";
const char kHistoryClass[] = "92A35E74-E942-4B24-B82E-BBD19332FF7D";
const char kTempFilesClass[] = "5443B092-9ED6-47bb-8ADD-46949F8C909A";

// Item identifiers of these tests' own inventory.
const char kCookiesItem[] = "1EB00000-0000-4000-8000-000000000001";
const char kHistoryItem[] = "1EB00000-0000-4000-8000-000000000002";
const char kTempFilesItem[] = "1EB00000-0000-4000-8000-000000000003";


// A scratch program folder whose inventory holds the three browser jobs.
class BrowserJobs : public SystemTest {
protected:
    BrowserJobs() : SystemTest("BrowserTask_") {}

    void SetUp() override
    {
        SystemTest::SetUp();
        folder.WriteInventory({{kCookiesItem, "Browser cookies", "Sweepkit.dll", kCookiesClass, ""},
                               {kHistoryItem, "Browser history", "Sweepkit.dll", kHistoryClass, ""},
                               {kTempFilesItem, "Browser cache", "Sweepkit.dll", kTempFilesClass, ""}});
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
        folder.WriteTask(taskName, enabled, extended);
    }

    std::vector<RawSessionRecord> RunTask() { return folder.RunTask(taskName); }

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
    EXPECT_EQ(JobMessages(records),
              (std::vector<std::string>{"Starting job: Browser cookies...", "Removed 2 cookies.",
                                        "Job 'Browser cookies' finished.", "Run totals: Removed 2 cookies."}));
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

    EXPECT_EQ(JobMessages(RunTask()),
              (std::vector<std::string>{"Starting job: Browser cookies...", "Removed 2 cookies.",
                                        "Job 'Browser cookies' finished.", "Run totals: Removed 2 cookies."}));
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
              (std::vector<std::string>{"Starting job: Browser cache...", "Removed 4 cache entries.",
                                        "Job 'Browser cache' finished.", "Run totals: Removed 4 cache entries."}));
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
                                "Starting job: Browser history...", "Removed nothing; 1 failed.",
                                "Job execution failure (-2147483648: History cleanup failed. Error: -2147467263).",
                                "Run totals: Removed nothing; 1 failed."}));
        const auto failure = std::find_if(records.begin(), records.end(), [](const RawSessionRecord& r) {
            return r.message.rfind("Job execution failure", 0) == 0;
        });
        ASSERT_NE(failure, records.end());
        EXPECT_EQ(failure->type, 0);
    } else {
        EXPECT_EQ(messages, (std::vector<std::string>{"Starting job: Browser history...", "Removed 1 browser history.",
                                                      "Job 'Browser history' finished.",
                                                      "Run totals: Removed 1 browser history."}));
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
    ASSERT_EQ(messages.size(), 10u);
    EXPECT_EQ(messages[0], "Starting job: Browser cookies...");
    EXPECT_EQ(messages[1], "Removed 1 cookie.");
    EXPECT_EQ(messages[2], "Job 'Browser cookies' finished.");
    EXPECT_EQ(messages[3], "Starting job: Browser history...");
    EXPECT_EQ(messages[6], "Starting job: Browser cache...");
    EXPECT_EQ(messages[7], "Removed 1 cache entry.");
    EXPECT_EQ(messages[8], "Job 'Browser cache' finished.");
    // Under Wine the history item fails and says so: one failure in the totals.
    EXPECT_EQ(messages[9], UnderWine() ? "Run totals: Removed 1 cache entry, 1 cookie; 1 failed."
                                       : "Run totals: Removed 1 cache entry, 1 cookie, 1 browser history.");
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
              (std::vector<std::string>{"Starting job: Browser cookies...", "Removed nothing.",
                                        "Job execution failure (-2147483648: Cookie cleanup failed. Error: -2147467259).",
                                        "Starting job: Browser cache...", "Removed nothing.",
                                        "Job execution failure (-2147483648: Temp files cleanup failed. Error: "
                                        "-2147467259).",
                                        "Run totals: Removed nothing; 2 failed."}));
}
