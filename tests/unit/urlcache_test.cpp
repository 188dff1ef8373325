// The URL cache walk against the Wine prefix's own URL cache, filled through
// WinINet: cookies set with an expiry date become cookie entries, created
// and committed cache files become ordinary entries.
#include "common/codecs.h"
#include "jobapi/extkeys.h"
#include "common/handles.h"
#include "common/timeutil.h"
#include "plugin/engines/browsers/urlcache.h"
#include "plugin/jobs/builtinitems.h"
#include "support/fake_task_info.h"
#include "support/recording_sink.h"
#include "support/trace_capture.h"
#include "support/url_cache_fill.h"

#include <windows.h>
#include <shlobj.h>
#include <wininet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Reads the entry's INTERNET_CACHE_ENTRY_INFO record into the buffer; the
// record's size as the system names it, 0 when the entry cannot be read.
DWORD EntryInfo(const std::string& name, std::vector<char>* buffer)
{
    buffer->assign(64 * 1024, 0);
    DWORD size = static_cast<DWORD>(buffer->size());
    if (!::GetUrlCacheEntryInfoA(name.c_str(), reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer->data()), &size))
        return 0;
    return size;
}

// The URL cache as a test finds it: empty at the start and at the end.
class UrlCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        WipeCache();
        ASSERT_TRUE(ReadCache().empty()) << "the cache cannot be emptied";
    }
    void TearDown() override { WipeCache(); }

    // Three cookies and two ordinary entries.
    void FillMixed()
    {
        cookies = {AddCookie("alpha.example.com"), AddCookie("beta.example.org", "/shop/"),
                   AddCookie("gamma.example.net")};
        entries = {AddEntry("http://pages.example.com/index.html"), AddEntry("http://pages.example.com/logo.png")};
    }

    std::vector<std::string> cookies;
    std::vector<std::string> entries;
};

std::string ErrorText(IJob& job)
{
    char text[1024] = {};
    EXPECT_EQ(job.GetErrorText(text, sizeof text), kJobSuccess);
    return text;
}

// The traces of one job run at the progress level, and none at a finer level.
void ExpectTraces(const std::vector<std::string>& traced, const std::vector<std::string>& expected)
{
    std::vector<std::string> progress;
    for (const std::string& message : traced)
        if (message.find("Item::Run") != std::string::npos) progress.push_back(message);
    EXPECT_EQ(progress, expected);
}

}  // namespace

// Defined first: the walk must be the first use of the URL cache in its
// process, before the cache's index is mapped (CTest runs every case in a
// process of its own).
TEST(UrlCacheUnreadable, EveryWalkFailsAndSoDoTheJobsThatRelyOnIt)
{
    if (!UnderWine()) GTEST_SKIP() << "the cache index is locked the way Wine keeps it";
    const std::string index = CookieIndexPath();
    ASSERT_FALSE(index.empty());
    // Held open without sharing, the cookie index cannot be opened by WinINet.
    UniqueHandle lock(::CreateFileA(index.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock) << index << " error " << ::GetLastError()
                                          << " (the cache was already open in this process)";

    StringList names = {"earlier"};
    EXPECT_FALSE(EnumUrlCache(kUrlCacheListCookies, 0, &names));
    EXPECT_FALSE(EnumUrlCache(kUrlCacheDeleteCookies, 0, nullptr));
    EXPECT_FALSE(EnumUrlCache(kUrlCacheDeleteTempEntries, 0, nullptr));
    EXPECT_EQ(DeleteCookies(0, nullptr), E_FAIL);
    EXPECT_EQ(DeleteTempCacheEntries(0, 0), E_FAIL);
    EXPECT_EQ(ListCookies(0, &names), E_FAIL);
    EXPECT_EQ(names, StringList{"earlier"});

    FakeTaskInfo task;
    task.Set(kCookieKeepListKey, EncodeStringList({"Cookie:someone@kept.example/"}));
    RecordingSink sink;
    {
        TraceCapture trace(20);
        CIECookiesItem cookiesJob;
        ASSERT_EQ(cookiesJob.Init(&task, "", &sink), kJobSuccess);
        EXPECT_EQ(cookiesJob.Run(), kJobFailure);
        EXPECT_EQ(ErrorText(cookiesJob), "Cookie cleanup failed. Error: -2147467259");
        CIETempFilesItem tempFilesJob;
        ASSERT_EQ(tempFilesJob.Init(&task, nullptr, &sink), kJobSuccess);
        EXPECT_EQ(tempFilesJob.Run(), kJobFailure);
        EXPECT_EQ(ErrorText(tempFilesJob), "Temp files cleanup failed. Error: -2147467259");
        ExpectTraces(trace.Messages(), {"CIECookiesItem::Run", "CIETempFilesItem::Run"});
    }
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(task.outstanding, 0);

    // Released, the same process walks the cache completely.
    lock.Reset();
    EXPECT_EQ(ListCookies(0, &names), S_OK);
    EXPECT_TRUE(EnumUrlCache(kUrlCacheListCookies, 0, nullptr));
}

TEST_F(UrlCache, AnEmptyCacheIsACompleteWalkInEveryMode)
{
    StringList list = {"earlier"};
    EXPECT_TRUE(EnumUrlCache(kUrlCacheDeleteCookies, 0, &list));
    EXPECT_TRUE(EnumUrlCache(kUrlCacheDeleteTempEntries, 0, &list));
    EXPECT_TRUE(EnumUrlCache(kUrlCacheDeleteTempEntries, 1000, nullptr));
    EXPECT_TRUE(EnumUrlCache(kUrlCacheListCookies, 0, &list));
    EXPECT_EQ(list, StringList{"earlier"});
    EXPECT_EQ(DeleteCookies(0, nullptr), S_OK);
    EXPECT_EQ(DeleteTempCacheEntries(0, 0), S_OK);
    EXPECT_EQ(ListCookies(0, &list), S_OK);
}

TEST_F(UrlCache, AnEmptyKeepListDeletesEveryCookieAndNothingElse)
{
    FillMixed();
    StringList keep;
    EXPECT_TRUE(EnumUrlCache(kUrlCacheDeleteCookies, 0, &keep));
    const CacheSnapshot after = ReadCache();
    EXPECT_TRUE(Names(after, true).empty());
    EXPECT_EQ(Names(after, false), Sorted(entries));
}

TEST_F(UrlCache, WithoutAKeepListEveryCookieIsDeleted)
{
    FillMixed();
    EXPECT_EQ(DeleteCookies(0, nullptr), S_OK);
    const CacheSnapshot after = ReadCache();
    EXPECT_TRUE(Names(after, true).empty());
    EXPECT_EQ(Names(after, false), Sorted(entries));
}

TEST_F(UrlCache, AKeepListOfTwoNamesKeepsExactlyThoseCookies)
{
    FillMixed();
    const std::string caseOnly = AddCookie("delta.example.com");
    const std::string prefixOnly = AddCookie("epsilon.example.com", "/deep/");
    const std::string longerOnly = AddCookie("zeta.example.com");

    std::string otherCase = caseOnly;
    otherCase.replace(0, 7, "COOKIE:");
    const StringList keep = {cookies[0], cookies[2],
                             otherCase,                                      // differs in case only
                             prefixOnly.substr(0, prefixOnly.size() - 1),    // a part of the name
                             longerOnly + "x",                               // the name and more
                             "Cookie:" + UserName() + "@unrelated.example/"};
    EXPECT_EQ(DeleteCookies(0, &keep), S_OK);

    const CacheSnapshot after = ReadCache();
    EXPECT_EQ(Names(after, true), Sorted({cookies[0], cookies[2]}));
    EXPECT_EQ(Names(after, false), Sorted(entries));
}

TEST_F(UrlCache, DeletingTemporaryEntriesNeverTouchesCookies)
{
    FillMixed();
    // The list means nothing to this mode, even when it names the entries.
    StringList list = {entries[0], entries[1]};
    EXPECT_TRUE(EnumUrlCache(kUrlCacheDeleteTempEntries, 0, &list));
    const CacheSnapshot after = ReadCache();
    EXPECT_EQ(Names(after, true), Sorted(cookies));
    EXPECT_TRUE(Names(after, false).empty());
    EXPECT_EQ(list, (StringList{entries[0], entries[1]}));
}

TEST_F(UrlCache, TheCutOffSparesEntriesSynchronisedAtOrAfterIt)
{
    FillMixed();
    const std::string fresh = entries[0];
    std::vector<char> info;
    ASSERT_TRUE(EntryInfo(fresh, &info));
    time32 synced = 0;
    ASSERT_TRUE(FileTimeToTime(reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(info.data())->LastSyncTime, &synced));
    ASSERT_GT(synced, 0);

    // An entry synchronised before 1970: its time cannot be converted and
    // counts as 0.
    const std::string ancient = AddEntry("http://pages.example.com/ancient.html");
    INTERNET_CACHE_ENTRY_INFOA change = {};
    change.dwStructSize = sizeof change;
    SYSTEMTIME longAgo = {};
    longAgo.wYear = 1965;
    longAgo.wMonth = 3;
    longAgo.wDay = 1;
    ASSERT_TRUE(::SystemTimeToFileTime(&longAgo, &change.LastSyncTime));
    ASSERT_TRUE(::SetUrlCacheEntryInfoA(ancient.c_str(), &change, CACHE_ENTRY_SYNCTIME_FC));
    ASSERT_TRUE(EntryInfo(ancient, &info));
    time32 ancientTime = 0;
    ASSERT_FALSE(FileTimeToTime(reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(info.data())->LastSyncTime, &ancientTime));

    // Entries synchronised at the cut-off or later stay.
    EXPECT_EQ(DeleteTempCacheEntries(0, synced), S_OK);
    CacheSnapshot after = ReadCache();
    EXPECT_EQ(after.count(fresh), 1u);
    EXPECT_EQ(after.count(ancient), 0u);
    EXPECT_EQ(Names(after, true), Sorted(cookies));

    // A cut-off one second after the last entry was synchronised takes them
    // all, cookies still excepted (filling the cache may cross a second).
    time32 latest = synced;
    for (const std::string& entry : entries) {
        time32 entrySynced = 0;
        ASSERT_TRUE(EntryInfo(entry, &info));
        ASSERT_TRUE(FileTimeToTime(reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(info.data())->LastSyncTime, &entrySynced));
        latest = std::max(latest, entrySynced);
    }
    EXPECT_EQ(DeleteTempCacheEntries(0, latest + 1), S_OK);
    after = ReadCache();
    EXPECT_TRUE(Names(after, false).empty());
    EXPECT_EQ(Names(after, true), Sorted(cookies));
}

TEST_F(UrlCache, ListingAppendsTheNameOfEveryCookieAndChangesNothing)
{
    FillMixed();
    const CacheSnapshot before = ReadCache();
    StringList list = {"earlier"};
    EXPECT_EQ(ListCookies(0, &list), S_OK);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.front(), "earlier");
    EXPECT_EQ(Sorted(StringList(list.begin() + 1, list.end())), Sorted(cookies));
    EXPECT_EQ(ReadCache(), before);
}

TEST_F(UrlCache, ListingWithoutAListCollectsNothingAndChangesNothing)
{
    FillMixed();
    const CacheSnapshot before = ReadCache();
    EXPECT_TRUE(EnumUrlCache(kUrlCacheListCookies, 0, nullptr));
    EXPECT_EQ(ReadCache(), before);
}

TEST_F(UrlCache, AnUnknownModeWalksTheCacheAndTouchesNothing)
{
    FillMixed();
    const CacheSnapshot before = ReadCache();
    StringList list;
    EXPECT_TRUE(EnumUrlCache(0, 0, &list));
    EXPECT_TRUE(EnumUrlCache(4, 5, &list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(ReadCache(), before);
}

TEST_F(UrlCache, EntriesLargerThanTheFirstBufferAreWalkedInEveryMode)
{
    FillMixed();
    const std::string bigHeader = AddEntry("http://pages.example.com/big-header.html", 6000);
    const std::string longUrl = AddEntry("http://pages.example.com/" + std::string(5000, 'u') + ".html");
    const std::string longCookie = AddCookie("long.example.com", "/" + std::string(4500, 'p') + "/");
    const std::string small = AddEntry("http://pages.example.com/small.html");
    const std::string lateCookie = AddCookie("late.example.com");
    std::vector<char> info;
    for (const std::string& name : {bigHeader, longUrl, longCookie})
        ASSERT_GT(EntryInfo(name, &info), kUrlCacheInitialEntryBufferSize) << name.substr(0, 60);

    const std::vector<std::string> allCookies = {cookies[0], cookies[1], cookies[2], longCookie, lateCookie};
    StringList listed;
    EXPECT_EQ(ListCookies(0, &listed), S_OK);
    EXPECT_EQ(Sorted(listed), Sorted(allCookies));

    // The long cookie is kept by its whole name; every other cookie goes.
    const StringList keep = {longCookie};
    EXPECT_EQ(DeleteCookies(0, &keep), S_OK);
    CacheSnapshot after = ReadCache();
    EXPECT_EQ(Names(after, true), StringList{longCookie});
    EXPECT_EQ(Names(after, false), Sorted({entries[0], entries[1], bigHeader, longUrl, small}));

    EXPECT_EQ(DeleteTempCacheEntries(0, 0), S_OK);
    after = ReadCache();
    EXPECT_TRUE(Names(after, false).empty());
    EXPECT_EQ(Names(after, true), StringList{longCookie});
}

TEST_F(UrlCache, AReservedArgumentOtherThanZeroIsRefusedAndTouchesNothing)
{
    FillMixed();
    const CacheSnapshot before = ReadCache();
    StringList list = {"earlier"};
    EXPECT_EQ(DeleteCookies(1, nullptr), E_INVALIDARG);
    EXPECT_EQ(DeleteCookies(-1, &list), E_INVALIDARG);
    EXPECT_EQ(DeleteTempCacheEntries(1, 0), E_INVALIDARG);
    EXPECT_EQ(ListCookies(2, &list), E_INVALIDARG);
    EXPECT_EQ(ClearUrlHistory(1), E_INVALIDARG);
    EXPECT_EQ(list, StringList{"earlier"});
    EXPECT_EQ(ReadCache(), before);
}

TEST(UrlHistory, ClearingAnswersTheHistoryObjectsResult)
{
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const HRESULT result = ClearUrlHistory(0);
    // Wine's history object does not implement clearing.
    EXPECT_EQ(result, UnderWine() ? static_cast<HRESULT>(0x80004001) : S_OK);
    ::CoUninitialize();
}

TEST(UrlHistory, WithoutComTheObjectsCreationFailureIsAnswered)
{
    EXPECT_EQ(ClearUrlHistory(0), CO_E_NOTINITIALIZED);
}

namespace {

// The browser cache jobs, run in this process against the prefix's cache.
class CacheJobItems : public UrlCache {
protected:
    FakeTaskInfo task;
    RecordingSink sink;
};

}  // namespace

TEST_F(CacheJobItems, TheCookieJobKeepsTheCookiesOnTheTasksKeepList)
{
    FillMixed();
    task.Set(kCookieKeepListKey, EncodeStringList({cookies[1], cookies[2]}));
    TraceCapture trace(20);
    CIECookiesItem job;
    ASSERT_EQ(job.Init(&task, "", &sink), kJobSuccess);
    EXPECT_EQ(job.Run(), kJobSuccess);

    const CacheSnapshot after = ReadCache();
    EXPECT_EQ(Names(after, true), Sorted({cookies[1], cookies[2]}));
    EXPECT_EQ(Names(after, false), Sorted(entries));
    ExpectTraces(trace.Messages(), {"CIECookiesItem::Run", "CIECookiesItem::Run - done"});
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(task.requests, 2) << "the run mode, then the keep list";
    EXPECT_EQ(task.outstanding, 0) << "the keep list buffer was not given back";
}

TEST_F(CacheJobItems, TheCookieJobWithoutAKeepListDeletesEveryCookie)
{
    FillMixed();
    CIECookiesItem job;
    ASSERT_EQ(job.Init(&task, nullptr, &sink), kJobSuccess);
    EXPECT_EQ(job.Run(), kJobSuccess);
    const CacheSnapshot after = ReadCache();
    EXPECT_TRUE(Names(after, true).empty());
    EXPECT_EQ(Names(after, false), Sorted(entries));
}

TEST_F(CacheJobItems, TheCookieJobFailsWithoutDeletingWhenTheTaskDataCannotBeRead)
{
    FillMixed();
    task.failing = true;
    TraceCapture trace(20);
    CIECookiesItem job;
    ASSERT_EQ(job.Init(&task, "", &sink), kJobSuccess);
    EXPECT_EQ(job.Run(), kJobFailure);
    EXPECT_EQ(ErrorText(job), "Task configuration error. Please contact technical support.");
    EXPECT_EQ(Names(ReadCache(), true), Sorted(cookies));
    ExpectTraces(trace.Messages(), {"CIECookiesItem::Run"});
}

TEST_F(CacheJobItems, TheTempFilesJobDeletesEveryEntryButTheCookies)
{
    FillMixed();
    AddEntry("http://pages.example.com/big-header.html", 6000);
    TraceCapture trace(20);
    CIETempFilesItem job;
    ASSERT_EQ(job.Init(&task, "", &sink), kJobSuccess);
    EXPECT_EQ(job.Run(), kJobSuccess);
    const CacheSnapshot after = ReadCache();
    EXPECT_TRUE(Names(after, false).empty());
    EXPECT_EQ(Names(after, true), Sorted(cookies));
    ExpectTraces(trace.Messages(), {"CIETempFilesItem::Run", "CIETempFilesItem::Run - done"});
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(task.requests, 1) << "the run mode only";
}

TEST_F(CacheJobItems, JobProgressIsTracedAtLevelTwentyAndNoFiner)
{
    FillMixed();
    TraceCapture trace(21);
    CIETempFilesItem tempFilesJob;
    ASSERT_EQ(tempFilesJob.Init(&task, "", &sink), kJobSuccess);
    EXPECT_EQ(tempFilesJob.Run(), kJobSuccess);
    CIECookiesItem cookiesJob;
    ASSERT_EQ(cookiesJob.Init(&task, "", &sink), kJobSuccess);
    EXPECT_EQ(cookiesJob.Run(), kJobSuccess);
    ExpectTraces(trace.Messages(), {});
    EXPECT_TRUE(ReadCache().empty());
}

TEST_F(CacheJobItems, TheHistoryJobReportsTheHistoryObjectsAnswer)
{
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        TraceCapture trace(20);
        CIEHistoryItem job;
        ASSERT_EQ(job.Init(&task, "", &sink), kJobSuccess);
        if (UnderWine()) {
            EXPECT_EQ(job.Run(), kJobFailure);
            EXPECT_EQ(ErrorText(job), "History cleanup failed. Error: -2147467263");
            ExpectTraces(trace.Messages(), {"CIEHistoryItem::Run"});
        } else {
            EXPECT_EQ(job.Run(), kJobSuccess);
            ExpectTraces(trace.Messages(), {"CIEHistoryItem::Run", "CIEHistoryItem::Run - done"});
        }
    }
    EXPECT_TRUE(sink.events.empty());
    ::CoUninitialize();
}

TEST_F(CacheJobItems, TheHistoryJobWithoutComReportsTheCreationFailure)
{
    CIEHistoryItem job;
    ASSERT_EQ(job.Init(&task, "", &sink), kJobSuccess);
    EXPECT_EQ(job.Run(), kJobFailure);
    EXPECT_EQ(ErrorText(job), "History cleanup failed. Error: -2147221008");  // CO_E_NOTINITIALIZED
}
