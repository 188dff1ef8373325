#include "task_folder.h"

#include "build_paths.h"
#include "program_runner.h"
#include "text_file.h"

#include "jobapi/extkeys.h"
#include "common/guid.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

const char kEndMarker[] = "5D793A96-4BF6-495E-A8AF-299E203194B6";

}  // namespace

std::string TestItemGuid(int n)
{
    char text[40];
    std::snprintf(text, sizeof text, "1E000000-0000-4000-8000-%012d", n);
    return text;
}

TaskProgramFolder::TaskProgramFolder()
{
    const std::string testJobs = std::string(kBuiltProgramFolder) + "\\..\\tests\\twtestjobs.dll";
    EXPECT_TRUE(::CopyFileA(testJobs.c_str(), File("twtestjobs.dll").c_str(), FALSE));
}

void TaskProgramFolder::WriteInventory(const std::vector<InventoryEntry>& items) const
{
    std::string text = "# test inventory\r\n";
    for (const InventoryEntry& item : items) {
        text += "[ITEM]\r\nGUID=" + item.guid + "\r\nName=" + item.name + "\r\nIcon=0\r\nModuleName=" + item.module +
                "\r\nCLSID=" + item.classId + "\r\n";
        if (!item.config.empty()) text += "Config=" + item.config + "\r\n";
        if (item.needsAdministrator) text += "NeedsAdministrator=1\r\n";
    }
    text += "[ITEM]\r\n";
    ASSERT_TRUE(WriteWholeFile(File("task_inventory.ini"), text));
}

void TaskProgramFolder::WriteTask(const std::string& name, const std::vector<std::string>& enabled,
                                  const std::vector<std::pair<std::string, std::string>>& extended) const
{
    std::string text = "TaskName=" + name +
                       "\r\nScheduleEnabled=0\r\nBaseScheduleTime=2026/ 1/ 1  9: 0: 0\r\n"
                       "RunOnceTime=2026/ 1/ 1  9: 0: 0\r\nRunAtStartup=0\r\nRunAtShutdown=0\r\nScheduleType=0\r\n"
                       "RunEveryNumber=1\r\nRunEveryUnit=1\r\nExtendedDataCount=" +
                       std::to_string(extended.size()) + "\r\n";
    for (const auto& [key, value] : extended)
        text += "ExtendedData_GUID=" + key + "\r\nExtendedData_Value=" + value + "\r\n";
    for (const std::string& guid : enabled) text += "EnabledTask=" + guid + "\r\n";
    text += std::string("EnabledTask=") + kEndMarker + "\r\n";
    ASSERT_TRUE(WriteWholeFile(File(name + ".tsk"), text));
}

namespace {

std::string TimeLine(time32 t)
{
    LocalTime local;
    TimeToLocal(t, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%4d/%2d/%2d %2d:%2d:%2d", local.year, local.month, local.day, local.hour,
                  local.minute, local.second);
    return text;
}

}  // namespace

void TaskProgramFolder::WriteScheduledTask(const std::string& fileName, const std::string& name,
                                           const TaskSchedule& schedule, const std::vector<std::string>& enabled) const
{
    std::string text = "TaskName=" + name + "\r\nScheduleEnabled=" + (schedule.enabled ? "1" : "0") +
                       "\r\nBaseScheduleTime=" + TimeLine(schedule.base) + "\r\nRunOnceTime=" + TimeLine(schedule.runOnce) +
                       "\r\nRunAtStartup=" + (schedule.atStartup ? "1" : "0") +
                       "\r\nRunAtShutdown=" + (schedule.atShutdown ? "1" : "0") +
                       "\r\nScheduleType=" + std::to_string(schedule.type) +
                       "\r\nRunEveryNumber=" + std::to_string(schedule.number) +
                       "\r\nRunEveryUnit=" + std::to_string(schedule.unit);
    if (schedule.atBrowserClose.empty()) {
        text += "\r\nExtendedDataCount=0\r\n";
    } else {
        text += "\r\nExtendedDataCount=1\r\nExtendedData_GUID=" + GuidToString(kRunAtBrowserCloseKey) +
                "\r\nExtendedData_Value=" + schedule.atBrowserClose + "\r\n";
    }
    for (const std::string& guid : enabled) text += "EnabledTask=" + guid + "\r\n";
    text += std::string("EnabledTask=") + kEndMarker + "\r\n";
    ASSERT_TRUE(WriteWholeFile(File(fileName + ".tsk"), text));
}

std::vector<RawSessionRecord> TaskProgramFolder::RunTask(const std::string& name, bool standardUser) const
{
    DWORD exitCode = 1;
    EXPECT_TRUE(standardUser ? RunToEndAsStandardUser(Program(), {name}, 120000, &exitCode)
                             : RunToEnd(Program(), {name}, 120000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    std::vector<RawSessionRecord> records;
    EXPECT_TRUE(ReadSessionFile(SessionFile(name), &records));
    return records;
}

std::string TaskProgramFolder::Trace() const
{
    std::string content;
    ReadWholeFile(File("tw_debug.log"), &content);
    return content;
}
