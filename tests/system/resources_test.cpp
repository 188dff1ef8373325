// The resources built into Tidewhistle.exe: every numbered message of the
// string table, the icon, the version and the application manifest.
#include "program_image.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <map>

namespace {

class ProgramResources : public ProgramImage {};

}  // namespace

TEST_F(ProgramResources, StringTableHoldsEveryNumberedMessage)
{
    const std::map<UINT, std::string> expected = {
        {1, "Tidewhistle"},
        {2, "Hollowmere"},
        {3, "<default>"},
        {4, "<create new...>"},
        {5, "Cannot read task inventory (Error: %d). Please contact technical support."},
        {6, "Failed to start application. Reason: %s."},
        {8, "Hollowmere Tidewhistle"},
        {9, "One or more tasks failed to load, please contact technical support. List of tasks:\n%s."},
        {10, "'%s' (Error: %s)\n"},
        {11, "Can't open file %s (Error: %s)."},
        {12, "Can't write file %s (Error: %s)."},
        {13, "Can't read file %s (Error: %s)."},
        {14, "Bad file format (%s)."},
        {15, "Bad date/time format (file: %s)."},
        {16, "Cannot create new task (Error: %s)."},
        {17, "Cannot delete task '%s' data from disk (Error: %d)."},
        {18, "Wrong number of arguments\n\nHollowmere Tidewhistle command line usage:\n\ntidewhistle.exe\n\t"
             "run configuration console\ntidewhistle.exe \"taskname\"\n\trun designated task"},
        {19, "Error"},
        {20, "Warning"},
        {21, "Information"},
        {22, "Unknown"},
        {23, "Cannot run task (error %d). Please contact technical support."},
        {24, "Started"},
        {25, "Stopped"},
        {26, "Cannot stop task (error %d). Please contact technical support."},
        {27, "Task cannot be stopped in a timely fashion."},
        {28, "Task initialization failure (Error %d)."},
        {29, "Failed to load extension module (error %d)."},
        {30, "Loading job list."},
        {31, "Starting cleanup jobs."},
        {32, "Invalid task information - %d."},
        {33, "Cannot create job (%d)."},
        {34, "Job execution failure (%s)."},
        {35, "Starting job: %s..."},
        {36, "Job '%s' finished."},
        {37, "%d: %s"},
        {38, "%d: %s"},
        {39, "Failed to obtain current cookie list. Error: %s."},
        {45, "Hollowmere Tidewhistle is already running."},
        {46, "Failed to modify automatic startup settings (Error: %d). Please contact technical support."},
    };
    for (const auto& [id, text] : expected) EXPECT_EQ(String(id), text) << "entry " << id;
}

TEST_F(ProgramResources, CarriesIcon128)
{
    EXPECT_NE(::FindResourceA(module, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */), nullptr);
}

TEST_F(ProgramResources, ManifestAsksForUtf8Comctl6AndAsInvoker)
{
    const std::vector<BYTE> data = Resource(1, MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
    ASSERT_FALSE(data.empty());
    const std::string manifest(data.begin(), data.end());
    EXPECT_NE(manifest.find("<activeCodePage"), std::string::npos);
    EXPECT_NE(manifest.find(">UTF-8</activeCodePage>"), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
}

TEST_F(ProgramResources, VersionIs1042)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(folder.Program().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoA(folder.Program().c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length));
    EXPECT_EQ(info->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(info->dwFileVersionLS, 0x00040002u);
}
