// The job interface across the module boundary: the plug-ins' factories and
// job base class, and the program's host objects.
#include "jobapi/jobapi.h"

#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "common/paths.h"
#include "runtime/jobhost.h"
#include "runtime/sessionlog.h"
#include "support/fake_task_info.h"
#include "support/recording_sink.h"
#include "support/text_file.h"
#include "tasks/taskconfig.h"
#include "build_paths.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

class Module {
public:
    explicit Module(const std::string& path) : m_module(::LoadLibraryA(path.c_str())) {}
    ~Module()
    {
        if (m_module) ::FreeLibrary(m_module);
    }
    TWCreateJobFunction Factory() const
    {
        return reinterpret_cast<TWCreateJobFunction>(
            reinterpret_cast<void*>(::GetProcAddress(m_module, kCreateJobExportName)));
    }
    HMODULE Get() const { return m_module; }

private:
    HMODULE m_module;
};

std::string Sweepkit() { return std::string(kBuiltProgramFolder) + "\\Sweepkit.dll"; }
std::string TestJobs() { return GetModuleFilePath("twtestjobs.dll"); }

// A task whose extended data cannot be read.
struct UnreadableTaskInfo : FakeTaskInfo {
    UnreadableTaskInfo() { failing = true; }
};

}  // namespace

TEST(PluginModule, ExportsExactlyTheJobFactoryAndTheCookieHostListing)
{
    HMODULE module = ::LoadLibraryExA(Sweepkit().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(module, nullptr);
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(directory.VirtualAddress, 0u);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    EXPECT_EQ(exports->NumberOfFunctions, 2u);
    ASSERT_EQ(exports->NumberOfNames, 2u);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    // The name table is sorted.
    EXPECT_STREQ(reinterpret_cast<const char*>(base + names[0]), "TWCreateJob");
    EXPECT_STREQ(reinterpret_cast<const char*>(base + names[1]), "TWListCookieHosts");
    ::FreeLibrary(module);
}

TEST(PluginFactory, FindsIdentifiersByTheirBytesAndRefusesUnknownOnes)
{
    Module plugin(Sweepkit());
    ASSERT_NE(plugin.Factory(), nullptr);

    IJob* job = nullptr;
    const GUID nullJob = StringToGuid("4d6a9d0c-84aa-457E-b3ea-be99fffa4fc2");  // other letter case
    ASSERT_EQ(plugin.Factory()(&nullJob, &job), kJobSuccess);
    ASSERT_NE(job, nullptr);
    RecordingSink sink;
    UnreadableTaskInfo info;
    EXPECT_EQ(job->Init(&info, nullptr, &sink), kJobSuccess);
    EXPECT_EQ(job->Run(), kJobSuccess);
    EXPECT_EQ(job->Stop(), kJobSuccess);
    EXPECT_TRUE(sink.events.empty());  // the null job logs nothing
    char text[16] = "unchanged";
    EXPECT_EQ(job->GetErrorText(text, sizeof text), kJobSuccess);
    EXPECT_STREQ(text, "");
    job->Release();

    IJob* untouched = reinterpret_cast<IJob*>(0x1234);
    const GUID unknown = StringToGuid("0BADC1A5-0000-4000-8000-000000000000");
    EXPECT_EQ(plugin.Factory()(&unknown, &untouched), kJobFailure);
    EXPECT_EQ(untouched, reinterpret_cast<IJob*>(0x1234));
}

TEST(JobBase, ErrorTextIsCutToTheBufferAndAlwaysEndsInNul)
{
    Module plugin(TestJobs());
    IJob* job = nullptr;
    const GUID failInit = StringToGuid("7E570000-0000-4000-8000-000000000001");
    ASSERT_EQ(plugin.Factory()(&failInit, &job), kJobSuccess);
    RecordingSink sink;
    UnreadableTaskInfo info;
    EXPECT_EQ(job->Init(&info, "cfg", &sink), kJobFailure);

    char full[64];
    EXPECT_EQ(job->GetErrorText(full, sizeof full), kJobSuccess);
    EXPECT_STREQ(full, "test settings are invalid");
    char shortBuffer[5];
    std::memset(shortBuffer, 'z', sizeof shortBuffer);
    EXPECT_EQ(job->GetErrorText(shortBuffer, sizeof shortBuffer), kJobSuccess);
    EXPECT_STREQ(shortBuffer, "test");
    EXPECT_EQ(job->GetErrorText(nullptr, 10), kJobFailure);
    char untouched[4] = "abc";
    EXPECT_EQ(job->GetErrorText(untouched, 0), kJobFailure);
    EXPECT_STREQ(untouched, "abc");
    job->Release();
}

TEST(JobBase, AFailingSinkEndsTheRunWithTheSinksMessageOrUnknownSessionError)
{
    Module plugin(TestJobs());
    const GUID report = StringToGuid("7E570000-0000-4000-8000-000000000003");
    UnreadableTaskInfo info;

    IJob* job = nullptr;
    ASSERT_EQ(plugin.Factory()(&report, &job), kJobSuccess);
    RecordingSink failing;
    failing.failing = true;
    ASSERT_EQ(job->Init(&info, "", &failing), kJobSuccess);
    EXPECT_EQ(job->Run(), kJobFailure);
    char text[64];
    job->GetErrorText(text, sizeof text);
    EXPECT_STREQ(text, "sink is broken");
    EXPECT_EQ(failing.events.size(), 1u);  // the run stopped at the first event
    job->Release();

    // The task information cannot be read: the job's own message.
    ASSERT_EQ(plugin.Factory()(&report, &job), kJobSuccess);
    RecordingSink sink;
    ASSERT_EQ(job->Init(&info, "", &sink), kJobSuccess);
    EXPECT_EQ(job->Run(), kJobFailure);
    job->GetErrorText(text, sizeof text);
    EXPECT_STREQ(text, "Task configuration error. Please contact technical support.");
    job->Release();
}

TEST(JobBase, RecordsOfOneKindStopAfterTwentyAndTheRestAreCountedInOne)
{
    Module plugin(TestJobs());
    const GUID flood = StringToGuid("7E570000-0000-4000-8000-000000000008");
    UnreadableTaskInfo info;
    for (const int written : {20, 25, 1000}) {
        IJob* job = nullptr;
        ASSERT_EQ(plugin.Factory()(&flood, &job), kJobSuccess);
        RecordingSink sink;
        ASSERT_EQ(job->Init(&info, std::to_string(written).c_str(), &sink), kJobSuccess);
        EXPECT_EQ(job->Run(), kJobSuccess);
        job->Release();
        std::vector<RecordedEvent> expected;
        for (int i = written; i > written - 20; --i) expected.push_back({kEventWarning, "warning " + std::to_string(i)});
        const std::string leftOut = " more records of this kind: test warnings.";
        if (written == 25) expected.push_back({kEventWarning, "Left out 5" + leftOut});
        if (written == 1000) expected.push_back({kEventWarning, "Left out 980" + leftOut});
        EXPECT_EQ(sink.events, expected) << written;
    }
}

TEST(HostObjects, TaskInfoHandsOutCopiesAndRefusesNullPointers)
{
    CTaskConfig task;
    const GUID key = kCookieKeepListKey;
    task.SetExtendedData(key, "616200");
    CJobTaskInfo info(task);

    char* buffer = nullptr;
    int size = 0;
    ASSERT_EQ(info.GetExtendedData(&key, &buffer, &size), kJobSuccess);
    EXPECT_STREQ(buffer, "616200");
    EXPECT_EQ(size, 7);
    EXPECT_EQ(info.FreeBuffer(buffer), kJobSuccess);

    const GUID absent = kTempFilesAgeKey;
    ASSERT_EQ(info.GetExtendedData(&absent, &buffer, &size), kJobSuccess);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(size, 1);
    info.FreeBuffer(buffer);

    EXPECT_EQ(info.GetExtendedData(&key, nullptr, &size), kJobFailure);
    EXPECT_EQ(info.GetExtendedData(&key, &buffer, nullptr), kJobFailure);
    EXPECT_EQ(info.FreeBuffer(nullptr), kJobFailure);
    char text[8] = "same";
    EXPECT_EQ(info.GetErrorText(text, sizeof text), kJobFailure);
    EXPECT_STREQ(text, "same");
}

TEST(HostObjects, EventSinkMapsTypesAndReportsAFailedWrite)
{
    const std::string taskName = "UnitSink";
    auto log = std::make_unique<CSessionLogWrite>();
    log->Create(taskName);
    CJobEventSink sink(*log);
    EXPECT_EQ(sink.LogEvent("error", 0), kJobSuccess);
    EXPECT_EQ(sink.LogEvent("warning", 1), kJobSuccess);
    EXPECT_EQ(sink.LogEvent("other", 7), kJobSuccess);
    EXPECT_EQ(sink.LogEvent("negative", -1), kJobSuccess);

    std::string content;
    ASSERT_TRUE(ReadWholeFile(CSessionLog::FilePath(taskName), &content));
    ASSERT_EQ(content.size(), 5u * 272);
    SessionRecord records[5];
    std::memcpy(records, content.data(), content.size());
    EXPECT_EQ(records[1].type, 0);
    EXPECT_EQ(records[2].type, 1);
    EXPECT_EQ(records[3].type, 2);
    EXPECT_EQ(records[4].type, 2);

    // A writer whose file is gone: the write fails, the sink keeps the message.
    CSessionLogWrite broken;
    CJobEventSink failing(broken);
    EXPECT_EQ(failing.LogEvent("lost", 2), kJobFailure);
    char text[200];
    EXPECT_EQ(failing.GetErrorText(text, sizeof text), kJobSuccess);
    EXPECT_EQ(std::string(text).rfind("Internal error 10 (details: ", 0), 0u) << text;

    log.reset();
    const std::string path = CSessionLog::FilePath(taskName);
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
}
