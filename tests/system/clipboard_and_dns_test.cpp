// The Clipboard, Clipboard History and DNS Resolver Cache items run by the
// real program. The suite runs under a virtual X display, so Wine has a
// clipboard the test and the task process share; Wine has neither the
// clipboard history's class nor the DNS Client service.
#include "common/cleanupcounts.h"
#include "support/program_runner.h"
#include "support/registry_fixture.h"
#include "support/session_file.h"
#include "support/system_test.h"

#include <windows.h>

#include <cstring>
#include <gtest/gtest.h>

namespace {

const char kClipboardJob[] = "5CCC0BA7-C490-4DD0-B876-B3E8D684ADF0";
const char kClipboardHistoryJob[] = "DD03C957-48B9-4415-B795-98EFFAE53397";
const char kDnsCacheJob[] = "CF29FFBE-5910-4DA7-8933-DA18DCF9EC9D";
const char kDnsServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\Dnscache";
const char kText[] = "a password copied a moment ago";
const char kFinished[] = "Job 'Job under test' finished.";

// What a run says of one store cleared, in the program's own words.
std::string OneStoreEmptied(bool preview)
{
    CleanupCounts counts;
    counts.stores = 1;
    return DescribeCleanupCounts(counts, preview);
}

std::string NothingRemoved(bool preview, long long failed = 0)
{
    CleanupCounts counts;
    counts.failed = failed;
    return DescribeCleanupCounts(counts, preview);
}

// The clipboard, opened for the test; with an owner window, which
// SetClipboardData needs after EmptyClipboard.
class ClipboardOpened {
public:
    explicit ClipboardOpened(HWND owner)
    {
        for (int attempt = 0; attempt < 20 && !m_open; ++attempt) {
            if (attempt > 0) ::Sleep(50);
            m_open = ::OpenClipboard(owner) != FALSE;
        }
    }
    ~ClipboardOpened()
    {
        if (m_open) ::CloseClipboard();
    }
    ClipboardOpened(const ClipboardOpened&) = delete;
    ClipboardOpened& operator=(const ClipboardOpened&) = delete;
    bool IsOpen() const { return m_open; }

private:
    bool m_open = false;
};

class WindowsTraceJobs : public SystemTest {
protected:
    WindowsTraceJobs() : SystemTest("Jobs_") {}

    void SetUp() override
    {
        SystemTest::SetUp();
        owner = ::CreateWindowExA(0, "STATIC", "clipboard owner", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(owner, nullptr);
        EmptyTheClipboard();
    }
    void TearDown() override
    {
        EmptyTheClipboard();
        if (owner != nullptr) ::DestroyWindow(owner);
    }

    void EmptyTheClipboard() const
    {
        const ClipboardOpened clipboard(owner);
        ASSERT_TRUE(clipboard.IsOpen());
        ASSERT_TRUE(::EmptyClipboard());
    }
    void PutText(const char* text) const
    {
        const ClipboardOpened clipboard(owner);
        ASSERT_TRUE(clipboard.IsOpen());
        ASSERT_TRUE(::EmptyClipboard());
        const size_t size = std::strlen(text) + 1;
        HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
        ASSERT_NE(block, nullptr);
        std::memcpy(::GlobalLock(block), text, size);
        ::GlobalUnlock(block);
        // The clipboard owns the block once it takes it.
        if (::SetClipboardData(CF_TEXT, block) == nullptr) ::GlobalFree(block);
        ASSERT_EQ(ClipboardText(), text);
    }
    // The text on the clipboard; empty when it holds none.
    std::string ClipboardText() const
    {
        const ClipboardOpened clipboard(owner);
        if (!clipboard.IsOpen()) return "(the clipboard could not be opened)";
        HANDLE data = ::GetClipboardData(CF_TEXT);
        if (data == nullptr) return "";
        const char* text = static_cast<const char*>(::GlobalLock(data));
        std::string copy = text != nullptr ? text : "";
        ::GlobalUnlock(data);
        return copy;
    }

    std::vector<RawSessionRecord> Run(const char* classId, bool preview)
    {
        folder.WriteInventory({{TestItemGuid(1), "Job under test", "Sweepkit.dll", classId, ""}});
        folder.WriteTask(taskName, {TestItemGuid(1)});
        if (!preview) return folder.RunTask(taskName);
        std::vector<RawSessionRecord> records;
        DWORD exitCode = 1;
        EXPECT_TRUE(RunToEnd(folder.Program(), {"/preview", taskName}, 60000, &exitCode));
        EXPECT_TRUE(ReadSessionFile(folder.PreviewSessionFile(taskName), &records));
        return records;
    }

    HWND owner = nullptr;
};

using ClipboardJob = WindowsTraceJobs;
using ClipboardHistoryAndDnsCacheJobs = WindowsTraceJobs;

// The DNS Client service's key, laid in the test prefix for the test's
// length: to the job, the service is then there.
class DnsCacheJob : public WindowsTraceJobs {
protected:
    void SetUp() override
    {
        WindowsTraceJobs::SetUp();
        ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kDnsServiceKey)) << "this Wine has a DNS Client service";
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDnsServiceKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
        created = true;
    }
    void TearDown() override
    {
        if (created) {
            EXPECT_EQ(::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kDnsServiceKey), ERROR_SUCCESS);
        }
        WindowsTraceJobs::TearDown();
    }
    bool created = false;
};

std::vector<std::string> Warnings(const std::vector<RawSessionRecord>& records)
{
    std::vector<std::string> warnings;
    for (const RawSessionRecord& r : records)
        if (r.type != 2) warnings.push_back(r.message);
    return warnings;
}

bool Says(const std::vector<RawSessionRecord>& records, const std::string& message)
{
    for (const RawSessionRecord& r : records)
        if (r.message == message) return true;
    return false;
}

}  // namespace

TEST_F(ClipboardJob, APreviewCountsTheTextACleanEmptiesTheClipboardAndAnEmptyOneCountsNothing)
{
    struct Case {
        bool preview;
        bool withText;
        std::string results;
        std::string textAfter;
    };
    const Case cases[] = {
        {true, true, OneStoreEmptied(true), kText},
        {false, true, OneStoreEmptied(false), ""},
        {true, false, NothingRemoved(true), ""},
        {false, false, NothingRemoved(false), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.preview ? "preview" : "clean") + (c.withText ? " of text" : " of nothing"));
        if (c.withText) PutText(kText);
        const std::vector<RawSessionRecord> records = Run(kClipboardJob, c.preview);
        EXPECT_TRUE(Says(records, c.results)) << ::testing::PrintToString(Messages(records));
        EXPECT_TRUE(Says(records, kFinished));
        EXPECT_EQ(Warnings(records), std::vector<std::string>());
        EXPECT_EQ(ClipboardText(), c.textAfter);
        if (c.textAfter.empty()) {
            EXPECT_EQ(::CountClipboardFormats(), 0);
        }
    }
}

TEST_F(ClipboardJob, WhileAnotherProgramHoldsItTheJobWarnsAndTheTextStays)
{
    PutText(kText);
    std::vector<RawSessionRecord> records;
    {
        const ClipboardOpened held(owner);
        ASSERT_TRUE(held.IsOpen());
        records = Run(kClipboardJob, false);
    }
    EXPECT_TRUE(Says(records, NothingRemoved(false, 1))) << ::testing::PrintToString(Messages(records));
    const std::vector<std::string> warnings = Warnings(records);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("The clipboard was not emptied: another program holds it", 0), 0u) << warnings[0];
    EXPECT_EQ(ClipboardText(), kText);
}

// Wine has neither: each job says so in place of its counts, changes
// nothing (the clipboard's text stays) and runs nothing.
TEST_F(ClipboardHistoryAndDnsCacheJobs, SayWhatTheyCleanIsNotPresentUnderWine)
{
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kDnsServiceKey)) << "this Wine has a DNS Client service";
    struct Case {
        const char* classId;
        const char* part;
    };
    const Case cases[] = {
        {kClipboardHistoryJob, "the clipboard history"},
        {kDnsCacheJob, "the DNS Client service"},
    };
    for (const Case& c : cases) {
        for (const bool preview : {true, false}) {
            SCOPED_TRACE(std::string(c.part) + (preview ? ", preview" : ", clean"));
            PutText(kText);
            const std::vector<RawSessionRecord> records = Run(c.classId, preview);
            const std::string notPresent =
                std::string("Job 'Job under test' cleaned nothing: ") + c.part + " is not present on this system.";
            EXPECT_TRUE(Says(records, notPresent)) << ::testing::PrintToString(Messages(records));
            EXPECT_FALSE(Says(records, kFinished));
            EXPECT_FALSE(Says(records, NothingRemoved(preview)));
            EXPECT_EQ(Warnings(records), std::vector<std::string>());
            EXPECT_EQ(ClipboardText(), kText);
        }
    }
}

// Wine's ipconfig knows only /all: it refuses /flushdns and ends with 1,
// which a clean reports as it would the service's refusal. A preview runs
// nothing and counts the flush.
TEST_F(DnsCacheJob, APreviewCountsTheFlushAndACleanReportsWhatIpconfigSaid)
{
    struct Case {
        bool preview;
        std::string results;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {true, OneStoreEmptied(true), {}},
        {false, NothingRemoved(false, 1),
         {"The DNS resolver cache was not flushed: ipconfig ended with 1: Error: Unknown or invalid command line "
          "parameters specified"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preview ? "preview" : "clean");
        const std::vector<RawSessionRecord> records = Run(kDnsCacheJob, c.preview);
        EXPECT_TRUE(Says(records, c.results)) << ::testing::PrintToString(Messages(records));
        EXPECT_TRUE(Says(records, kFinished));
        EXPECT_EQ(Warnings(records), c.warnings);
    }
}
