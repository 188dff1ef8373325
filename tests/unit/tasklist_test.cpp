// The console's task list without its window: loading the default task
// (an unreadable one kept aside), switching, saving and deleting tasks, each
// in a data folder of its own.
#include "tasks/tasklist.h"

#include "common/guid.h"
#include "common/paths.h"
#include "common/settings.h"
#include "support/raised.h"
#include "support/registry_fixture.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"
#include "tasks/catalogueitems.h"
#include "tasks/taskfiles.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const GUID kItem = StringToGuid("AACEE220-9942-4E90-8CD0-F8A0FBAB496E");
const char kSettingsKey[] = "Software\\HollowmereTests\\TaskList";

class TaskList : public ::testing::Test {
protected:
    // The data folder is the scratch folder; there is no administrators' folder.
    void SetUp() override
    {
        WriteRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "DataFolder", data.Path());
        ASSERT_TRUE(OpenSettingsKey("HollowmereTests", "TaskList"));
        ASSERT_EQ(GetDataFolder(), data.Path());
    }
    void TearDown() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\HollowmereTests"); }

    std::string Content(const std::string& fileName) const
    {
        std::string content;
        return ReadWholeFile(data.File(fileName), &content) ? content : "(missing)";
    }
    // The files of the data folder whose names start with prefix.
    std::vector<std::string> FilesStartingWith(const std::string& prefix) const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        const HANDLE search = ::FindFirstFileA(data.File(prefix + "*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do names.push_back(found.cFileName);
        while (::FindNextFileA(search, &found));
        ::FindClose(search);
        return names;
    }

    ScratchFolder data;
    CCatalogueItems catalogue;
    CTaskList list;
};

}  // namespace

TEST_F(TaskList, LoadsTheDefaultTaskFirstAndTheOtherTasksAfterIt)
{
    CTaskList writer;
    writer.LoadDefaultTask(catalogue);
    for (const char* name : {"Evening", "Morning"}) writer.Add(CTaskName::Checked(name), catalogue);
    ASSERT_TRUE(WriteWholeFile(data.File("Broken.tsk"), "TaskName=Broken\r\nBaseScheduleTime=garbled\r\n"));

    EXPECT_TRUE(list.LoadDefaultTask(catalogue).empty());
    EXPECT_EQ(list.LoadOtherTasks().rfind("'Broken.tsk' (Error: ", 0), 0u);
    EXPECT_EQ(list.Names(), (std::vector<std::string>{"default", "Evening", "Morning"}));
    EXPECT_EQ(&list.At(0), &list.DefaultTask());
    EXPECT_EQ(list.Current(), nullptr);
}

TEST_F(TaskList, AnUnreadableDefaultTaskIsKeptAsideOrElseNeverSavedOver)
{
    const std::string damaged = "TaskName=default\r\nScheduleEnabled=0\r\nBaseScheduleTime=garbled\r\n";
    const struct {
        bool heldOpen;  // by a program that lets nobody move it
        bool error;
        const char* noticeStart;
    } cases[] = {
        {false, false, "The default task could not be read (Bad file format ("},
        {true, true, "The default task could not be read (Bad file format ("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.heldOpen ? "held open" : "free");
        for (const std::string& kept : FilesStartingWith("default.unreadable-")) ::DeleteFileA(data.File(kept).c_str());
        ASSERT_TRUE(WriteWholeFile(data.File("default.tsk"), damaged));
        HANDLE holder = c.heldOpen ? ::CreateFileA(data.File("default.tsk").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                   nullptr, OPEN_EXISTING, 0, nullptr)
                                   : INVALID_HANDLE_VALUE;
        CTaskList loaded;
        const std::vector<TaskListNotice> notices = loaded.LoadDefaultTask(catalogue);
        ASSERT_FALSE(notices.empty());
        EXPECT_EQ(notices.front().error, c.error);
        EXPECT_EQ(notices.front().text.rfind(c.noticeStart, 0), 0u) << notices.front().text;

        // Shown from memory and changed: saved only when the damaged file was kept.
        loaded.SwitchTo(&loaded.DefaultTask(), [](const std::string& failure) { ADD_FAILURE() << failure; });
        loaded.DefaultTask().EnableItem(kItem, true);
        EXPECT_NO_THROW(loaded.SaveCurrentIfModified());
        if (holder != INVALID_HANDLE_VALUE) ::CloseHandle(holder);
        const std::vector<std::string> kept = FilesStartingWith("default.unreadable-");
        if (c.heldOpen) {
            EXPECT_TRUE(kept.empty());
            EXPECT_EQ(Content("default.tsk"), damaged);
        } else {
            ASSERT_EQ(kept.size(), 1u);
            EXPECT_EQ(Content(kept.front()), damaged);
            EXPECT_NE(Content("default.tsk").find("EnabledTask=" + GuidToString(kItem)), std::string::npos);
        }
    }
}

TEST_F(TaskList, SwitchingAndSavingWriteTheTaskThatChangedOnly)
{
    list.LoadDefaultTask(catalogue);
    CTaskConfig& evening = list.Add(CTaskName::Checked("Evening"), catalogue);
    const std::string defaultBefore = Content("default.tsk");
    std::vector<std::string> failures;
    const auto report = [&failures](const std::string& failure) { failures.push_back(failure); };
    const std::string enabled = "EnabledTask=" + GuidToString(kItem);

    // Each step, then whether Evening's file holds the item and the default task's file is unchanged.
    const struct {
        const char* step;
        bool enable;
        bool byLeaving;  // otherwise by the save of every second
        bool savedHoldsItem;
    } steps[] = {
        {"switch to Evening", false, true, false},
        {"tick in Evening, then leave it", true, true, true},
        {"back to Evening, untick, save", false, false, false},
    };
    list.SwitchTo(&list.DefaultTask(), report);
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        if (list.Current() != &evening) list.SwitchTo(&evening, report);
        evening.EnableItem(kItem, s.enable);
        if (s.byLeaving) list.SwitchTo(&list.DefaultTask(), report);
        else list.SaveCurrentIfModified();
        EXPECT_FALSE(evening.IsModified());
        EXPECT_EQ(Content("Evening.tsk").find(enabled) != std::string::npos, s.savedHoldsItem);
        EXPECT_EQ(Content("default.tsk"), defaultBefore);
    }
    EXPECT_TRUE(failures.empty());

    // A save that fails is reported while the task is still the one left; the switch goes on.
    list.SwitchTo(&evening, report);
    evening.EnableItem(kItem, true);
    const HANDLE holder = ::CreateFileA(data.File("Evening.tsk").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    CTaskConfig* currentWhenReported = nullptr;
    list.SwitchTo(&list.DefaultTask(), [&](const std::string& failure) {
        currentWhenReported = list.Current();
        failures.push_back(failure);
    });
    ::CloseHandle(holder);
    EXPECT_EQ(currentWhenReported, &evening);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures.front().rfind("Can't write file ", 0), 0u) << failures.front();
    EXPECT_EQ(list.Current(), &list.DefaultTask());
    EXPECT_TRUE(evening.IsModified());
}

TEST_F(TaskList, DeletingRemovesTheTaskAndItsFilesButNeverTheDefaultTask)
{
    list.LoadDefaultTask(catalogue);
    CTaskConfig& evening = list.Add(CTaskName::Checked("Evening"), catalogue);
    list.Add(CTaskName::Checked("Morning"), catalogue);
    for (const char* history : {"Evening.log_file", "Evening.preview_log", "Evening.preview.txt", "TS_LRT_Evening.dat"})
        ASSERT_TRUE(WriteWholeFile(data.File(history), "x"));
    list.SwitchTo(&evening, [](const std::string& failure) { ADD_FAILURE() << failure; });
    evening.EnableItem(kItem, true);  // a task being deleted is not saved

    EXPECT_EQ(RaisedText([&] { list.Delete(list.DefaultTask()); }), "Default task cannot be deleted");
    list.Delete(evening);
    EXPECT_EQ(list.Names(), (std::vector<std::string>{"default", "Morning"}));
    EXPECT_EQ(list.Current(), &list.DefaultTask());
    EXPECT_TRUE(FilesStartingWith("Evening").empty());
    EXPECT_TRUE(FilesStartingWith("TS_LRT_").empty());
    EXPECT_TRUE(FileExists(data.File("default.tsk")));
    EXPECT_TRUE(FileExists(data.File("Morning.tsk")));
    // A task file of a name not listed is the user's and is never replaced.
    ASSERT_TRUE(WriteWholeFile(data.File("Hidden.tsk"), "TaskName=Other\r\n"));
    EXPECT_EQ(RaisedText([&] { list.Add(CTaskName::Checked("Hidden"), catalogue); }),
              "the file " + data.File("Hidden.tsk") + " already exists and is kept");
    EXPECT_EQ(list.Names(), (std::vector<std::string>{"default", "Morning"}));
    EXPECT_EQ(Content("Hidden.tsk"), "TaskName=Other\r\n");
}
