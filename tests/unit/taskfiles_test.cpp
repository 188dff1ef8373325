// The names of a task's files, for a task of the user and one of the
// administrators; the longest part a name adds; the names an upgrade takes
// for a task's history.
#include "tasks/taskfiles.h"

#include "common/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

const std::string kMachine = "C:\\ProgramData\\Hollowmere\\Tidewhistle";

const struct {
    TaskFiles::File file;
    std::string name;  // in the data folder; a machine task's task file is in the administrators' folder
} kFiles[] = {
    {TaskFiles::Task, "Evening.tsk"},
    {TaskFiles::Saving, "Evening.tw-saving"},
    {TaskFiles::SessionData, "Evening.log_file"},
    {TaskFiles::PreviewSessionData, "Evening.preview_log"},
    {TaskFiles::Status, "Evening.run_time"},
    {TaskFiles::PreviewStatus, "Evening.preview_run"},
    {TaskFiles::PreviewReport, "Evening.preview.txt"},
    {TaskFiles::LastRun, "TS_LRT_Evening.dat"},
};

}  // namespace

TEST(TaskFiles, EveryFileOfAUserTaskAndOfAMachineTaskHasItsName)
{
    const std::string data = GetDataFolder();
    ASSERT_FALSE(data.empty());
    const TaskFiles user("Evening");
    const TaskFiles machine("Evening", kMachine);
    for (const auto& c : kFiles) {
        EXPECT_EQ(user.Path(c.file), data + "\\" + c.name);
        EXPECT_EQ(machine.Path(c.file), (c.file == TaskFiles::Task ? kMachine : data) + "\\" + c.name);
    }
    // A drive root keeps its own separator; without an administrators' folder there is no machine task file.
    EXPECT_EQ(TaskFiles("Evening", "D:\\").Path(TaskFiles::Task), "D:\\Evening.tsk");
    EXPECT_EQ(TaskFiles("Evening", "").Path(TaskFiles::Task), "");
    EXPECT_EQ(TaskFiles("Evening", "").Path(TaskFiles::SessionData), data + "\\Evening.log_file");
}

TEST(TaskFiles, TheLongestAdditionIsTheLongestFileNameLessTheTaskName)
{
    size_t longest = 0;
    for (const auto& c : kFiles) longest = std::max(longest, c.name.size() - std::string("Evening").size());
    EXPECT_EQ(longest, TaskFiles::kLongestAddition);
}

TEST(TaskFiles, HistoryNamesAreEveryTaskFileButTheTaskInAnyLetterCase)
{
    for (const auto& c : kFiles) EXPECT_EQ(TaskFiles::IsHistoryFileName(c.name), c.file != TaskFiles::Task) << c.name;
    const struct {
        std::string name;
        bool history;
    } cases[] = {
        {"EVENING.PREVIEW_LOG", true},  {"ts_lrt_Evening.DAT", true}, {".log_file", true},
        {"Evening.log_file.bak", false}, {"Evening.dat", false},       {"TS_LRT_Evening.txt", false},
        {"tw_debug.log", false},         {"Evening.TSK", false},
    };
    for (const auto& c : cases) EXPECT_EQ(TaskFiles::IsHistoryFileName(c.name), c.history) << c.name;
}
