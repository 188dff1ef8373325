// Task runs followed live in the console: started with its Start button or
// by the scheduler, the run state shown, the progress list filled from the
// session data file while the task works, and pictures of the console left
// as test artefacts.
#include "console_fixture.h"

#include "common/namedevent.h"
#include "common/timeutil.h"
#include "runtime/taskprocess.h"
#include "support/remote_controls.h"
#include "support/scratch_folder.h"
#include "support/session_file.h"
#include "support/text_file.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

namespace {

const char kReport[] = "7E570000-0000-4000-8000-000000000003";
const char kWait[] = "7E570000-0000-4000-8000-000000000004";

using Rows = std::vector<std::vector<std::string>>;

// The rows the progress list must show for the session data file: its
// records in order, each with its time, message and type.
Rows RowsOf(const std::vector<RawSessionRecord>& records)
{
    const char* const types[] = {"Error", "Warning", "Information"};
    Rows rows;
    for (const RawSessionRecord& record : records) {
        const std::string type = record.type >= 0 && record.type <= 2 ? types[record.type] : "Unknown";
        rows.push_back({FormatDateTime(static_cast<time32>(record.time)), record.message, type});
    }
    return rows;
}

std::vector<std::string> MessageColumn(const Rows& rows)
{
    std::vector<std::string> messages;
    for (const auto& row : rows) messages.push_back(row.size() > 1 ? row[1] : std::string());
    return messages;
}

class ConsoleProgress : public Console {
protected:
    // A job that reports, then one that keeps the task running for a while.
    void WriteReportAndWaitInventory(int waitMs)
    {
        folder.WriteInventory({{TestItemGuid(1), "Reporter", "twtestjobs.dll", kReport, "shown"},
                               {TestItemGuid(2), "Pause", "twtestjobs.dll", kWait, std::to_string(waitMs)}});
    }

    Rows ListRows() const { return ReadListRows(VisibleProgressList()); }

    bool ListEndsWith(const std::string& message) const
    {
        const Rows rows = ListRows();
        return !rows.empty() && rows.back().size() == 3 && rows.back()[1] == message;
    }

    bool ButtonsShowRunning(bool running) const
    {
        return ::IsWindowEnabled(Control(kStop)) == (running ? TRUE : FALSE) &&
               ::IsWindowEnabled(Control(kStart)) == (running ? FALSE : TRUE);
    }

    // Waits until the run is over in the console and checks that the list
    // shows the session data file's records, the last one "Session finished".
    // The list shows the whole of the task's last session: a clean's, or a preview's.
    void ExpectFinishedRunShown(const std::string& taskName, bool preview = false)
    {
        ASSERT_TRUE(Eventually([this] { return RunStatus() == "Stopped"; }, 20000)) << RunStatus();
        // The buttons follow once the start's own wait has ended, too.
        EXPECT_TRUE(Eventually([this] { return ButtonsShowRunning(false); }, kAppearTimeout));
        ASSERT_TRUE(Eventually([this] { return ListEndsWith("Session finished"); }, kAnswerTimeout))
            << ::testing::PrintToString(ListRows());
        std::vector<RawSessionRecord> records;
        ASSERT_TRUE(ReadSessionFile(preview ? folder.PreviewSessionFile(taskName) : folder.SessionFile(taskName), &records));
        EXPECT_EQ(ListRows(), RowsOf(records));
    }
};

const std::vector<std::string> kReportAndWaitMessages = {
    "Session started", "Loading job list.", "Starting cleanup jobs.", "Starting job: Reporter...",
    "warning from job", "error from job", "config=shown", "age=", std::string(199, 'L'), "Job 'Reporter' finished.",
    "Starting job: Pause...", "Job 'Pause' finished.", "Run totals: Removed nothing.", "Session finished"};

}  // namespace

TEST_F(ConsoleProgress, ATaskStartedFromTheConsoleIsFollowedLiveAndASecondRunStartsTheListAfresh)
{
    const std::string name = "Live";
    WriteReportAndWaitInventory(2000);
    folder.WriteTask(name, {TestItemGuid(1), TestItemGuid(2)});
    tasksToStop.push_back(name);
    OpenConsole();
    ChooseTask(name);
    EXPECT_EQ(RunStatus(), "Stopped");
    EXPECT_TRUE(ButtonsShowRunning(false));
    EXPECT_TRUE(ListRows().empty());

    Press(kStart);
    ASSERT_TRUE(Eventually([this] { return RunStatus() == "Started"; }, 15000)) << RunStatus();
    EXPECT_TRUE(ButtonsShowRunning(true));
    // Rows come in while the task still works on its last job.
    EXPECT_TRUE(Eventually([this] { return ListEndsWith("Starting job: Pause..."); }, kAnswerTimeout))
        << ::testing::PrintToString(ListRows());
    EXPECT_TRUE(IsTaskRunning(name));
    KeepScreenshot(console, "console-task-running.bmp");

    ExpectFinishedRunShown(name);
    const Rows firstRun = ListRows();
    EXPECT_EQ(MessageColumn(firstRun), kReportAndWaitMessages);
    ASSERT_GE(firstRun.size(), 6u);
    EXPECT_EQ(firstRun[4][2], "Warning");
    EXPECT_EQ(firstRun[5][2], "Error");
    EXPECT_EQ(firstRun[0][2], "Information");
    KeepScreenshot(console, "console-progress-list.bmp");

    // The second session's rows replace the first's, not follow them.
    Press(kStart);
    ASSERT_TRUE(Eventually([this] { return RunStatus() == "Started"; }, 15000)) << RunStatus();
    ASSERT_TRUE(Eventually([this] { return ListEndsWith("Starting job: Pause..."); }, kAnswerTimeout))
        << ::testing::PrintToString(ListRows());
    EXPECT_EQ(MessageColumn(ListRows()),
              std::vector<std::string>(kReportAndWaitMessages.begin(), kReportAndWaitMessages.end() - 3));
    ExpectFinishedRunShown(name);
    EXPECT_EQ(MessageColumn(ListRows()), kReportAndWaitMessages);
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
}

TEST_F(ConsoleProgress, APreviewRunsFromTheConsoleAndTheLastCleanAndPreviewTotalsShowApart)
{
    const std::string name = "Previewed";
    ScratchFolder temp;
    ASSERT_TRUE(WriteWholeFile(temp.File("old.log"), std::string(5000, 'x')));
    ASSERT_TRUE(SetLastWriteHoursAgo(temp.File("old.log"), 100));
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_temp.ini"), "[Settings]\r\nName=Old logs\r\nRegKeyCount=0\r\n"
                                                               "FileCount=1\r\nFile1=" + temp.File("*.log") + "\r\n"));
    folder.WriteInventory({{TestItemGuid(1), "Old logs", "Sweepkit.dll", "46F1FFEA-6AAA-49C6-8773-17CCA2867A00",
                            "tw_test_temp.ini"},
                           {TestItemGuid(2), "Reporter", "twtestjobs.dll", kReport, "shown"}});
    folder.WriteTask(name, {TestItemGuid(1), TestItemGuid(2)});
    tasksToStop.push_back(name);
    OpenConsole();
    ChooseTask(name);
    EXPECT_EQ(ControlText(Control(IDC_LAST_TOTALS)), "");
    EXPECT_EQ(ControlText(Control(IDC_LAST_PREVIEW_TOTALS)), "");

    Press(IDC_PREVIEW);
    ExpectFinishedRunShown(name, true);
    const std::vector<std::string> preview = MessageColumn(ListRows());
    EXPECT_NE(std::find(preview.begin(), preview.end(),
                        "Job 'Reporter' cannot show what it would remove, so the preview did not run it."),
              preview.end());
    EXPECT_TRUE(FileExists(temp.File("old.log"))) << "a preview deletes nothing";
    EXPECT_TRUE(FileExists(folder.File(name + ".preview.txt")));
    const auto shows = [this](int label, const std::string& prefix) {
        return ControlText(Control(label)).rfind(prefix, 0) == 0;
    };
    EXPECT_TRUE(Eventually([&] { return shows(IDC_LAST_PREVIEW_TOTALS, "Preview totals: Would remove 1 file ("); },
                           kAnswerTimeout))
        << ControlText(Control(IDC_LAST_PREVIEW_TOTALS));
    EXPECT_EQ(ControlText(Control(IDC_LAST_TOTALS)), "") << "a preview is not the task's last clean";
    KeepScreenshot(console, "console-preview.bmp");

    // The preview's rows stay until the run's session begins; its totals stay beside the run's.
    Press(kStart);
    EXPECT_TRUE(Eventually([&] { return shows(IDC_LAST_TOTALS, "Run totals: Removed 1 file ("); }, 20000))
        << ControlText(Control(IDC_LAST_TOTALS));
    EXPECT_TRUE(shows(IDC_LAST_PREVIEW_TOTALS, "Preview totals: Would remove 1 file ("));
    ExpectFinishedRunShown(name);
    EXPECT_FALSE(FileExists(temp.File("old.log")));
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
}

TEST_F(ConsoleProgress, ATaskTheSchedulerStartsIsFollowedLiveByTheOpenConsole)
{
    settings.SetDword("DebugLogLevel", 20);
    settings.SetDword("TaskScheduleUpdatePeriod", 1);
    settings.SetDword("TaskScheduleExecutePeriod", 1);
    const std::string name = "Timed";
    WriteReportAndWaitInventory(2000);
    TaskSchedule once;
    once.enabled = true;
    once.type = 1;
    once.runOnce = static_cast<time32>(std::time(nullptr)) + 6;  // the console is open by then
    folder.WriteScheduledTask(name, name, once, {TestItemGuid(1), TestItemGuid(2)});
    tasksToStop.push_back(name);
    OpenConsole();
    ChooseTask(name);
    EXPECT_EQ(RunStatus(), "Stopped");
    EXPECT_TRUE(ListRows().empty());

    ASSERT_TRUE(Eventually([this] { return RunStatus() == "Started"; }, 30000)) << folder.Trace();
    EXPECT_TRUE(ButtonsShowRunning(true));
    EXPECT_TRUE(Eventually([this] { return ListEndsWith("Starting job: Pause..."); }, kAnswerTimeout))
        << ::testing::PrintToString(ListRows());
    ExpectFinishedRunShown(name);
    EXPECT_EQ(MessageColumn(ListRows()), kReportAndWaitMessages);
}

namespace {

// True when the window's thread answers a message within a second.
bool Answers(HWND window)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

// A task that seems to run and never ends when asked to: the session event
// held by this test process stands for a task process stuck in a job.
class StuckTask {
public:
    explicit StuckTask(const std::string& name)
        : m_name(name), m_event(CreateNamedEvent(SessionEventName(name), true, false))
    {
    }
    const std::string& Name() const { return m_name; }
    bool IsValid() const { return m_event.IsValid(); }
    bool StopRequested() const { return ::WaitForSingleObject(m_event.Get(), 0) == WAIT_OBJECT_0; }
    void End() { m_event.Reset(); }

private:
    std::string m_name;
    UniqueHandle m_event;
};

class ConsoleStop : public ConsoleProgress {
protected:
    // Opens the console on the stuck task and presses Stop, with the stop
    // time-out given, until the task has been asked to stop.
    void StopStuckTask(const StuckTask& task, int timeoutSeconds)
    {
        settings.SetDword("TaskStopTimeout", timeoutSeconds);
        WriteReportAndWaitInventory(1000);
        folder.WriteTask(task.Name(), {TestItemGuid(1)});
        ASSERT_TRUE(task.IsValid());
        OpenConsole();
        ChooseTask(task.Name());
        ASSERT_EQ(RunStatus(), "Started");
        Press(kStop);
        ASSERT_TRUE(Eventually([&] { return task.StopRequested(); }, kAnswerTimeout));
    }
};

}  // namespace

TEST_F(ConsoleStop, TheConsoleAnswersWhileAStuckTaskIsBeingStoppedAndTellsWhenTheStopTimesOut)
{
    StuckTask task("Stuck");
    ASSERT_NO_FATAL_FAILURE(StopStuckTask(task, 6));
    // Throughout the wait the console (the resident instance's thread) answers.
    for (int second = 0; second < 3; ++second) {
        EXPECT_TRUE(Answers(console)) << "second " << second;
        EXPECT_EQ(RunStatus(), "Started");
        EXPECT_FALSE(::IsWindowEnabled(Control(kStop)));
        EXPECT_FALSE(::IsWindowEnabled(Control(kStart)));
        ::Sleep(1000);
    }
    const HWND box = WaitForBox(kConsoleCaption, 15000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(StaticTextOf(box), "Task cannot be stopped in a timely fashion.");
    Dismiss(box);
    EXPECT_TRUE(ButtonsShowRunning(true));

    // A stop that the task obeys ends without a word.
    Press(kStop);
    ASSERT_TRUE(Eventually([this] { return !::IsWindowEnabled(Control(kStop)); }, kAnswerTimeout));
    task.End();
    EXPECT_TRUE(Eventually([this] { return RunStatus() == "Stopped" && ButtonsShowRunning(false); }, kAppearTimeout))
        << RunStatus();
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
}

TEST_F(ConsoleStop, ShutdownEndsTheProgramWhileTheConsoleWaitsForAStuckTaskToStop)
{
    StuckTask task("Stuck");
    ASSERT_NO_FATAL_FAILURE(StopStuckTask(task, 3600));

    DWORD exitCode = 1;
    ASSERT_TRUE(RunToEnd(folder.Program(), {"/shutdown"}, 30000, &exitCode));
    EXPECT_TRUE(program.Wait(15000)) << "the resident instance outlives /shutdown";
}
