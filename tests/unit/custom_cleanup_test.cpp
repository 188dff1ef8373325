// The data-driven job with job settings files beside the running program.
#include "plugin/jobs/customcleanupitem.h"

#include "common/paths.h"
#include "support/job_harness.h"
#include "support/registry_fixture.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"

#include <windows.h>
#include <gtest/gtest.h>

namespace {

const char kBase[] = "Software\\TidewhistleTests\\CustomCleanup";

// A custom job whose settings file lies beside this test program.
class CustomJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        fileName = std::string("tw_test_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kBase);
        WriteRegString(HKEY_CURRENT_USER, std::string(kBase) + "\\first", "v", "trace");
        WriteRegString(HKEY_CURRENT_USER, std::string(kBase) + "\\second", "v", "trace");
        ASSERT_TRUE(WriteWholeFile(files.File("a.tmp"), "trace"));
    }
    void TearDown() override
    {
        ::DeleteFileA(GetModuleFilePath(fileName.c_str()).c_str());
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kBase);
    }

    void WriteSettings(const std::string& body)
    {
        ASSERT_TRUE(WriteWholeFile(GetModuleFilePath(fileName.c_str()), "[Settings]\r\n" + body));
    }
    std::string FirstKey() const { return std::string("HKCU\\") + kBase + "\\first"; }
    std::string SecondKey() const { return std::string("HKCU\\") + kBase + "\\second"; }
    std::string FilePattern() const { return files.Path() + "\\*.tmp"; }

    // Init then, if it succeeded, Run; the error text when either fails.
    std::string InitAndRun()
    {
        CCustomCleanupItem* job = new CCustomCleanupItem();
        std::string result = "ok";
        char text[1024] = {};
        if (job->Init(&info, fileName.c_str(), &sink) != kJobSuccess || job->Run() != kJobSuccess) {
            job->GetErrorText(text, sizeof text);
            result = text;
        }
        job->Release();
        return result;
    }
    bool NothingDeleted() const
    {
        return RegValueExists(HKEY_CURRENT_USER, std::string(kBase) + "\\first", "v") &&
               RegValueExists(HKEY_CURRENT_USER, std::string(kBase) + "\\second", "v") && FileExists(files.File("a.tmp"));
    }

    std::string fileName;
    ScratchFolder files;
    RecordingSink sink;
    FakeTaskInfo info;
};

}  // namespace

TEST_F(CustomJob, DeletesEveryListedEntryInOrder)
{
    WriteSettings("Name=Test traces\r\nRegKeyCount=2\r\nRegKey1=" + FirstKey() + "\r\nRegKey2=" + SecondKey() +
                  "\r\nFileCount=1\r\nFile1=" + FilePattern() + "\r\n");
    EXPECT_EQ(InitAndRun(), "ok");
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, std::string(kBase) + "\\first", "v"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, std::string(kBase) + "\\second", "v"));
    EXPECT_FALSE(FileExists(files.File("a.tmp")));
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(CustomJob, NoEntriesIsAValidJobThatDoesNothing)
{
    WriteSettings("Name=Empty\r\nRegKeyCount=0\r\nFileCount=-5\r\n");
    EXPECT_EQ(InitAndRun(), "ok");
    EXPECT_TRUE(NothingDeleted());
}

TEST_F(CustomJob, EachSettingsFileErrorFailsInitBeforeAnythingIsDeleted)
{
    const std::string regKeys = "RegKeyCount=2\r\nRegKey1=" + FirstKey() + "\r\nRegKey2=" + SecondKey() + "\r\n";
    const std::string fileEntries = "FileCount=1\r\nFile1=" + FilePattern() + "\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {regKeys + fileEntries, "Job configuration is invalid (Missing job name)"},
        {"Name=x\r\n" + fileEntries, "Job configuration is invalid (Missing or invalid RegKeyCount)"},
        {"Name=x\r\nRegKeyCount=3\r\nRegKey1=" + FirstKey() + "\r\nRegKey3=" + SecondKey() + "\r\n" + fileEntries,
         "Job configuration is invalid (One of the RegKey entries are missing)"},
        {"Name=x\r\n" + regKeys, "Job configuration is invalid (Missing or invalid FileCount)"},
        {"Name=x\r\n" + regKeys + "RegValuesCount=1\r\n" + fileEntries,
         "Job configuration is invalid (One of the RegValues entries are missing)"},
        {"Name=x\r\n" + regKeys + "FileCount=2\r\nFile1=" + FilePattern() + "\r\n",
         "Job configuration is invalid (One of the File entries are missing)"},
    };
    for (const auto& [body, message] : cases) {
        WriteSettings(body);
        EXPECT_EQ(InitAndRun(), message);
        EXPECT_TRUE(NothingDeleted()) << message;
    }
    ::DeleteFileA(GetModuleFilePath(fileName.c_str()).c_str());
    EXPECT_EQ(InitAndRun(), "Job configuration is invalid (Missing job name)");  // no settings file at all
}

TEST_F(CustomJob, ACountThatIsNotANumberReadsAsZero)
{
    WriteSettings("Name=x\r\nRegKeyCount=many\r\nFileCount=1\r\nFile1=" + FilePattern() + "\r\n");
    EXPECT_EQ(InitAndRun(), "ok");
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, std::string(kBase) + "\\first", "v"));
    EXPECT_FALSE(FileExists(files.File("a.tmp")));
}

TEST_F(CustomJob, AFailingEntryIsAWarningAndTheNextEntriesStillRun)
{
    const std::string badRoot = std::string("hkcu\\") + kBase + "\\first";
    const std::string badPattern = files.Path() + "\\a.tmp\\*";  // a file used as a folder
    WriteSettings("Name=x\r\nRegKeyCount=2\r\nRegKey1=" + badRoot + "\r\nRegKey2=" + SecondKey() +
                  "\r\nFileCount=2\r\nFile1=" + badPattern + "\r\nFile2=" + FilePattern() + "\r\n");
    EXPECT_EQ(InitAndRun(), "ok");
    ASSERT_EQ(sink.events.size(), 2u);
    EXPECT_EQ(sink.events[0].type, kEventWarning);
    EXPECT_EQ(sink.events[0].text, "Registry key cleanup failure: " + badRoot +
                                       " (Error: Unknown root registry key name: " + badRoot + ".).");
    EXPECT_EQ(sink.events[1].type, kEventWarning);
    EXPECT_EQ(sink.events[1].text.rfind("File cleanup failure: " + badPattern + " (Error: File search error: ", 0), 0u)
        << sink.events[1].text;
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, std::string(kBase) + "\\first", "v"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, std::string(kBase) + "\\second", "v"));
    EXPECT_FALSE(FileExists(files.File("a.tmp")));
}

TEST_F(CustomJob, ASettingsFileNamedByAPathIsRefusedBeforeItIsRead)
{
    // A sound settings file that the path would reach, beside the program's folder.
    const std::string escaping = "..\\" + fileName;
    const std::string reached = GetModuleFilePath(escaping.c_str());
    ASSERT_TRUE(WriteWholeFile(reached, "[Settings]\r\nName=x\r\nRegKeyCount=0\r\nFileCount=1\r\nFile1=" +
                                            FilePattern() + "\r\n"));
    for (const std::string& name : {escaping, reached, std::string("sub\\") + fileName}) {
        CCustomCleanupItem* job = new CCustomCleanupItem();
        char text[1024] = {};
        EXPECT_NE(job->Init(&info, name.c_str(), &sink), kJobSuccess) << name;
        job->GetErrorText(text, sizeof text);
        EXPECT_EQ(std::string(text), "Job configuration is invalid (settings file name refused: " + name + ")");
        job->Release();
        EXPECT_TRUE(NothingDeleted()) << name;
    }
    ::DeleteFileA(reached.c_str());
}
