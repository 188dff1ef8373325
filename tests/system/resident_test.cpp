// The resident role of the real program under Wine and Xvfb: single
// instance, tray window, shutdown signal, and the scheduler starting tasks
// by their schedules, at its start and at its stop.
#include "runtime/taskprocess.h"
#include "scheduler/taskscheduler.h"
#include "common/namedevent.h"
#include "build_paths.h"
#include "support/eventually.h"
#include "support/foreign_event.h"
#include "support/message_box_probe.h"
#include "support/program_runner.h"
#include "support/scratch_folder.h"
#include "support/session_file.h"
#include "support/system_test.h"
#include "support/text_file.h"

#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <ctime>
#include <thread>

namespace {

const char kNullJob[] = "4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2";
const char kTrayClass[] = "TidewhistleTrayWnd";

time32 Now()
{
    return static_cast<time32>(std::time(nullptr));
}

class ResidentInstance : public SystemTest {
protected:
    void SetUp() override
    {
        SystemTest::SetUp();
        settings.SetDword("DebugLogLevel", 20);
        settings.SetDword("TaskScheduleUpdatePeriod", 1);
        settings.SetDword("TaskScheduleExecutePeriod", 1);
        folder.WriteInventory({{TestItemGuid(1), "Nothing", "Sweepkit.dll", kNullJob, ""}});
    }

    void TearDown() override
    {
        if (resident.Handle() != nullptr && !resident.Wait(0)) {
            Shutdown();
            if (!resident.Wait(30000)) resident.Kill();
        }
    }

    void StartResident()
    {
        ASSERT_TRUE(resident.Start(folder.Program(), {"/tray"}));
        ASSERT_TRUE(Eventually([this] { return FindProcessWindow(resident.Id(), kTrayClass) != nullptr; }, kAppearTimeout))
            << "no tray window";
    }

    void Shutdown()
    {
        DWORD exitCode = 1;
        EXPECT_TRUE(RunToEnd(folder.Program(), {"/shutdown"}, 30000, &exitCode));
    }

    void RunOnce(const std::string& fileName, const std::string& name, time32 when)
    {
        TaskSchedule schedule;
        schedule.enabled = true;
        schedule.type = 1;
        schedule.runOnce = when;
        folder.WriteScheduledTask(fileName, name, schedule, {TestItemGuid(1)});
    }

    bool WaitForSessionEnd(const std::string& name, int seconds)
    {
        const bool finished = Eventually(
            [&] {
                std::vector<RawSessionRecord> records;
                return ReadSessionFile(folder.SessionFile(name), &records) && !records.empty() &&
                       records.back().message == "Session finished" && !IsTaskRunning(name);
            },
            seconds * 1000);
        if (!finished) ADD_FAILURE() << "no finished session of " << name << "; the trace:\n" << folder.Trace();
        return finished;
    }

    time32 LastRunTime(const std::string& name) const
    {
        std::string content;
        if (!ReadWholeFile(folder.File("TS_LRT_" + name + ".dat"), &content) || content.size() < 4) return 0;
        time32 t = 0;
        std::memcpy(&t, content.data(), 4);
        return t;
    }

    int Runs(const std::string& name) const { return Occurrences(folder.Trace(), "] Task name - " + name + "\r\n"); }

    ChildProcess resident;
};

}  // namespace

TEST_F(ResidentInstance, TrayRoleStartsTheSchedulerWithoutAConsoleAndShutdownEndsIt)
{
    StartResident();
    EXPECT_EQ(WaitForWindow(resident.Id(), "#32770", "Hollowmere Tidewhistle", 1000), nullptr);
    Shutdown();
    ASSERT_TRUE(resident.Wait(30000));
    EXPECT_EQ(resident.ExitCode(), 0u);
    const std::string trace = folder.Trace();
    for (const char* line : {"CTaskScheduler::Start - done", "CTaskScheduler::Thread - done",
                             "CTaskScheduler::Stop - done", "CTidewhistleApp::RunGUI - done"}) {
        EXPECT_NE(trace.find(std::string("] ") + line + "\r\n"), std::string::npos) << line;
    }
}

TEST_F(ResidentInstance, ShutdownEndsItEvenWhenTheInventoryCannotBeRead)
{
    // As during an upgrade that replaced the data files first.
    StartResident();
    ASSERT_TRUE(::DeleteFileA(folder.File("task_inventory.ini").c_str()));
    Shutdown();
    EXPECT_TRUE(resident.Wait(30000));
}

TEST_F(ResidentInstance, TheTrayIconComesBackWhenTheTaskbarStartsAgain)
{
    StartResident();
    const HWND tray = FindProcessWindow(resident.Id(), kTrayClass);
    ASSERT_NE(tray, nullptr);
    NOTIFYICONDATAA icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = tray;
    icon.uID = 0;
    icon.uFlags = NIF_TIP;
    std::strcpy(icon.szTip, "probe");
    // The tray window is made before its icon is added: the icon is there
    // once the notification area takes a change to it.
    ASSERT_TRUE(Eventually([&] { return ::Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE; }, kAppearTimeout))
        << "no tray icon";
    // The notification area forgets the icon, as when Explorer ends...
    ASSERT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &icon));
    ASSERT_FALSE(::Shell_NotifyIconA(NIM_MODIFY, &icon));
    // ...and starts again.
    ::PostMessageA(tray, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(Eventually([&] { return ::Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE; }, kAppearTimeout));
}

TEST_F(ResidentInstance, AtTheEndOfTheSessionShutdownTasksRunToTheirEndBeforeItAnswers)
{
    // A shutdown task that takes three seconds.
    folder.WriteInventory({{TestItemGuid(1), "Slow", "twtestjobs.dll", "7E570000-0000-4000-8000-000000000004", "3000"}});
    TaskSchedule shutdown;
    shutdown.atShutdown = true;
    folder.WriteScheduledTask("AtLogoff", "AtLogoff", shutdown, {TestItemGuid(1)});
    StartResident();

    // As at logoff: every window gets WM_QUERYENDSESSION and WM_ENDSESSION,
    // and wineboot waits for the answers.
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    DWORD exitCode = 1;
    ASSERT_TRUE(RunToEnd(std::string(system) + "\\wineboot.exe", {"--end-session"}, 120000, &exitCode));

    // By the time the session end was answered, the task had finished.
    std::vector<RawSessionRecord> records;
    ASSERT_TRUE(ReadSessionFile(folder.SessionFile("AtLogoff"), &records));
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().message, "Session finished");
    EXPECT_NE(LastRunTime("AtLogoff"), 0);
    EXPECT_TRUE(resident.Wait(30000));  // the resident copy ends with the session
}

TEST_F(ResidentInstance, ShutdownEndsAPassOfManyDueTasksAtOnce)
{
    const time32 when = Now() + 3;
    for (int i = 0; i < 20; ++i) RunOnce("Due" + std::to_string(i), "Due" + std::to_string(i), when);
    StartResident();
    ASSERT_TRUE(Eventually([&] { return FileExists(folder.SessionFile("Due0")); }, 20000));
    const DWORD asked = ::GetTickCount();
    Shutdown();
    ASSERT_TRUE(resident.Wait(30000));
    // One start a second would take twenty seconds; the pass ends at the request.
    EXPECT_LT(::GetTickCount() - asked, 8000u);
    int started = 0;
    for (int i = 0; i < 20; ++i) started += FileExists(folder.SessionFile("Due" + std::to_string(i))) ? 1 : 0;
    EXPECT_LT(started, 20);
}

TEST_F(ResidentInstance, StartupTasksRunWhenItStartsAndShutdownTasksWhenItStops)
{
    TaskSchedule startup;
    startup.atStartup = true;  // timed runs off: only at startup
    folder.WriteScheduledTask("AtStartup", "AtStartup", startup, {TestItemGuid(1)});
    TaskSchedule shutdown;
    shutdown.atShutdown = true;
    folder.WriteScheduledTask("AtShutdown", "AtShutdown", shutdown, {TestItemGuid(1)});

    const time32 before = Now();
    StartResident();
    ASSERT_TRUE(WaitForSessionEnd("AtStartup", 20));
    const time32 recorded = LastRunTime("AtStartup");
    EXPECT_GE(recorded, before - 3600);  // local-time round trip of "now"
    EXPECT_LE(recorded, Now());
    EXPECT_FALSE(FileExists(folder.SessionFile("AtShutdown")));

    Shutdown();
    ASSERT_TRUE(resident.Wait(30000));
    EXPECT_TRUE(WaitForSessionEnd("AtShutdown", 20));
    EXPECT_EQ(Runs("AtStartup"), 1);
    EXPECT_EQ(Runs("AtShutdown"), 1);
}

TEST_F(ResidentInstance, ARunOnceTaskRunsOnceAndRecordsItsScheduledTime)
{
    const time32 when = Now() + 4;
    RunOnce("Once", "Once", when);
    StartResident();
    ASSERT_TRUE(WaitForSessionEnd("Once", 30));
    EXPECT_EQ(LastRunTime("Once"), when);
    ::Sleep(3000);
    EXPECT_EQ(Runs("Once"), 1);
}

TEST_F(ResidentInstance, ARunThatCannotStartBecauseTheTaskStillRunsIsNotRecorded)
{
    // Started at startup, still running when its run-once moment comes.
    folder.WriteInventory({{TestItemGuid(1), "Slow", "twtestjobs.dll", "7E570000-0000-4000-8000-000000000004", "8000"}});
    TaskSchedule schedule;
    schedule.enabled = true;
    schedule.type = 1;
    schedule.atStartup = true;
    schedule.runOnce = Now() + 4;
    folder.WriteScheduledTask("Busy", "Busy", schedule, {TestItemGuid(1)});
    StartResident();
    ASSERT_TRUE(WaitForSessionEnd("Busy", 30));
    EXPECT_NE(LastRunTime("Busy"), schedule.runOnce);  // the startup run's time stays
    EXPECT_EQ(Runs("Busy"), 1);
}

TEST_F(ResidentInstance, ARecurringTaskRunsAtItsGridPointAndNotAgainBeforeTheNext)
{
    TaskSchedule hourly;
    hourly.enabled = true;
    hourly.unit = 0;
    hourly.base = Now() - 3600 + 5;  // the next grid point is five seconds away
    folder.WriteScheduledTask("Hourly", "Hourly", hourly, {TestItemGuid(1)});
    StartResident();
    ASSERT_TRUE(WaitForSessionEnd("Hourly", 30));
    EXPECT_EQ(LastRunTime("Hourly"), hourly.base + 3600);
    ::Sleep(3000);
    EXPECT_EQ(Runs("Hourly"), 1);
}

TEST_F(ResidentInstance, ANewTaskFileIsTakenUpAtTheNextRescan)
{
    StartResident();
    RunOnce("Later", "Later", Now() + 3);
    EXPECT_TRUE(WaitForSessionEnd("Later", 30));
}

TEST_F(ResidentInstance, SignalScheduleChangeRescansAtOnce)
{
    settings.SetDword("TaskScheduleUpdatePeriod", 3600);
    StartResident();
    ::Sleep(1500);  // past the first rescan
    RunOnce("Signalled", "Signalled", Now() + 2);
    CTaskScheduler::SignalScheduleChange();
    EXPECT_TRUE(WaitForSessionEnd("Signalled", 20));
}

// Idle, the scheduler sleeps until its next run or a change of the task
// files, not for a fixed period: with both periods an hour, a task file
// written while it sleeps still runs at its time.
TEST_F(ResidentInstance, ATaskFileWrittenWhileItSleepsRunsAtItsTimeWithoutWaitingForARescan)
{
    settings.SetDword("TaskScheduleUpdatePeriod", 3600);
    settings.SetDword("TaskScheduleExecutePeriod", 3600);
    StartResident();
    ::Sleep(1500);  // past the first rescan
    const time32 when = Now() + 4;
    RunOnce("Noticed", "Noticed", when);
    ASSERT_TRUE(WaitForSessionEnd("Noticed", 30));
    EXPECT_EQ(LastRunTime("Noticed"), when);
    std::vector<RawSessionRecord> records;
    ASSERT_TRUE(ReadSessionFile(folder.SessionFile("Noticed"), &records));
    ASSERT_FALSE(records.empty());
    EXPECT_GE(records.front().time, when);
    EXPECT_LE(records.front().time, when + 2);  // a second's start-up of the task process allowed
}

TEST_F(ResidentInstance, TheEarliestOfSeveralTimedRunsWakesItAndTheLaterOnesStillRun)
{
    settings.SetDword("TaskScheduleUpdatePeriod", 3600);
    settings.SetDword("TaskScheduleExecutePeriod", 3600);
    const time32 first = Now() + 4;
    RunOnce("First", "First", first);
    RunOnce("Second", "Second", first + 6);
    StartResident();
    ASSERT_TRUE(WaitForSessionEnd("First", 30));
    ASSERT_TRUE(WaitForSessionEnd("Second", 30));
    EXPECT_EQ(LastRunTime("First"), first);
    EXPECT_EQ(LastRunTime("Second"), first + 6);
    EXPECT_EQ(Runs("First"), 1);
    EXPECT_EQ(Runs("Second"), 1);
}

TEST_F(ResidentInstance, DeletedAndUnloadableTaskFilesDropOutAndComeBackWhenTheyLoad)
{
    settings.SetDword("DebugLogLevel", 10);
    const time32 when = Now() + 6;
    RunOnce("Deleted", "Deleted", when);
    RunOnce("Broken", "Broken", when);
    StartResident();
    ::Sleep(1500);
    ASSERT_TRUE(::DeleteFileA(folder.File("Deleted.tsk").c_str()));
    ASSERT_TRUE(WriteWholeFile(folder.File("Broken.tsk"), "TaskName=Broken\r\nScheduleEnabled=yes, broken\r\n"));
    while (Now() <= when + 3) ::Sleep(200);
    EXPECT_EQ(Runs("Deleted"), 0);
    EXPECT_EQ(Runs("Broken"), 0);
    EXPECT_NE(folder.Trace().find("Failed to load task configuration from file Broken.tsk"), std::string::npos);

    RunOnce("Broken", "Broken", Now() + 2);  // loads again: back in the schedule
    EXPECT_TRUE(WaitForSessionEnd("Broken", 20));
}

TEST_F(ResidentInstance, ACopyOfATaskFileUnderAnotherNameIsNeverRunAsThatTask)
{
    // Copy.tsk holds the task "Evening": it is not the task Evening.tsk.
    folder.WriteScheduledTask("Evening", "Evening", TaskSchedule(), {TestItemGuid(1)});
    RunOnce("Copy", "Evening", Now() + 2);
    RunOnce("After", "After", Now() + 4);
    StartResident();
    ASSERT_TRUE(WaitForSessionEnd("After", 30));
    ::Sleep(2000);
    EXPECT_FALSE(FileExists(folder.SessionFile("Evening")));
    EXPECT_FALSE(FileExists(folder.SessionFile("Copy")));
    EXPECT_FALSE(FileExists(folder.File("TS_LRT_Evening.dat")));
}

TEST_F(ResidentInstance, ATaskFileThatCannotNameItsTaskIsSkippedAndTheSchedulerGoesOn)
{
    // A task name with a quote cannot be a file's name: the file is skipped.
    RunOnce("Quoted", "Say \"hi\"", Now() + 2);
    RunOnce("After", "After", Now() + 4);
    StartResident();
    EXPECT_TRUE(WaitForSessionEnd("After", 30));
    EXPECT_EQ(folder.Trace().find("Task name - Say"), std::string::npos);
    EXPECT_FALSE(resident.Wait(0));
}

TEST_F(ResidentInstance, ATaskFileRewrittenWhileTheSchedulerReadsItDoesNotDisturbIt)
{
    StartResident();
    std::thread writer([this] {
        for (int i = 0; i < 150; ++i) {
            TaskSchedule later;
            later.enabled = true;
            later.type = 1;
            later.runOnce = Now() + 3600;
            folder.WriteScheduledTask("Churn", "Churn", later, {TestItemGuid(1)});
            ::Sleep(10);
        }
    });
    writer.join();
    RunOnce("Churn", "Churn", Now() + 3);
    EXPECT_TRUE(WaitForSessionEnd("Churn", 30));
    EXPECT_FALSE(resident.Wait(0));
}

TEST_F(ResidentInstance, ASecondStartSaysItIsRunningAndTheFirstOpensItsConsole)
{
    StartResident();
    ChildProcess second;
    ASSERT_TRUE(second.Start(folder.Program(), {}));
    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(second.Id(), 30000, &box));
    EXPECT_EQ(box.text, "Hollowmere Tidewhistle is already running.");
    EXPECT_EQ(box.caption, "Hollowmere Tidewhistle");
    DismissMessageBox(box);
    ASSERT_TRUE(second.Wait(30000));
    EXPECT_EQ(second.ExitCode(), 0u);

    const HWND console = WaitForWindow(resident.Id(), "#32770", "Hollowmere Tidewhistle", 15000);
    ASSERT_NE(console, nullptr);
    ::PostMessageA(console, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(Eventually([console] { return !::IsWindow(console); }, kAnswerTimeout));
    EXPECT_FALSE(resident.Wait(0));  // still resident in the tray
}

namespace {

int ConsolesOf(DWORD processId)
{
    struct Search {
        DWORD processId;
        int count;
    } search{processId, 0};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            char caption[128] = {};
            ::GetWindowTextA(window, caption, sizeof caption);
            if (owner == s->processId && ::IsWindowVisible(window) &&
                std::strcmp(caption, "Hollowmere Tidewhistle") == 0) {
                ++s->count;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.count;
}

}  // namespace

TEST_F(ResidentInstance, FurtherRequestsForTheConsoleBringTheOpenOneForward)
{
    StartResident();
    const HWND tray = FindProcessWindow(resident.Id(), kTrayClass);
    ASSERT_NE(tray, nullptr);
    ::PostMessageA(tray, WM_COMMAND, 101, 0);  // the tray menu's Configure
    const HWND console = WaitForWindow(resident.Id(), "#32770", "Hollowmere Tidewhistle", 15000);
    ASSERT_NE(console, nullptr);
    ::PostMessageA(tray, WM_COMMAND, 101, 0);
    ::PostMessageA(tray, WM_COMMAND, 101, 0);
    ::Sleep(3000);
    EXPECT_EQ(ConsolesOf(resident.Id()), 1);
    ::PostMessageA(console, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(Eventually([console] { return !::IsWindow(console); }, kAnswerTimeout));
    EXPECT_EQ(ConsolesOf(resident.Id()), 0);
}

TEST_F(ResidentInstance, IdlePassesTraceNothingAndAFullTraceFileIsMovedAsideAtStart)
{
    // The finest threshold: every record the program makes is written.
    settings.SetDword("DebugLogLevel", 1);
    const std::string earlier = "an earlier record\r\n";
    std::string full;
    while (full.size() < 10 * 1024 * 1024) full += earlier;
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_debug.log"), full));
    StartResident();
    ::Sleep(4000);  // four passes with nothing due
    EXPECT_EQ(Occurrences(folder.Trace(), "CTaskScheduler::ExecuteTasks"), 0) << folder.Trace();

    RunOnce("Due", "Due", Now() + 2);
    EXPECT_TRUE(WaitForSessionEnd("Due", 20));
    // The pass that started it is traced (its end follows the second's pause).
    EXPECT_TRUE(Eventually([this] { return Occurrences(folder.Trace(), "CTaskScheduler::ExecuteTasks - done") == 1; }, kAnswerTimeout))
        << folder.Trace();
    Shutdown();
    ASSERT_TRUE(resident.Wait(30000));

    std::string previous;
    ASSERT_TRUE(ReadWholeFile(folder.File("tw_debug.log.1"), &previous));
    EXPECT_EQ(previous.rfind(full, 0), 0u) << "the earlier records are kept whole";
    EXPECT_EQ(folder.Trace().find(earlier), std::string::npos);
    EXPECT_LT(folder.Trace().size(), 1024u * 1024u);
    ::DeleteFileA(folder.File("tw_debug.log.1").c_str());
}

TEST_F(ResidentInstance, ItsNamesAreTheUsersOwnAndANameAnotherAccountHoldsIsRefusedWithOneMessage)
{
    // Every name an earlier program used, made first by another program and
    // set, as another user's instance would hold them.
    std::vector<UniqueHandle> squatted;
    for (const char* name : {"Global\\HOTW_53E27782CE9741EDB43D91DD650C79D6", "Global\\HOTW_0865EA3F109A463ABAE12F396F3A08B7",
                             "Global\\1012C031_D0A9_456A_A69D_120947AA48E9",
                             "Global\\Hollowmere_Tidewhistle_Session_Event_AtStartup"}) {
        squatted.emplace_back(::CreateEventA(nullptr, TRUE, TRUE, name));
        ASSERT_TRUE(squatted.back().IsValid()) << name;
    }
    TaskSchedule startup;
    startup.atStartup = true;
    folder.WriteScheduledTask("AtStartup", "AtStartup", startup, {TestItemGuid(1)});
    StartResident();
    ASSERT_TRUE(WaitForSessionEnd("AtStartup", 20));
    Shutdown();
    ASSERT_TRUE(resident.Wait(30000));

    // The user's own names, held by another account: never trusted, whether
    // the object is open to the user, closed to the user or of another kind.
    for (ForeignHold hold : {ForeignHold::OpenEvent, ForeignHold::ClosedEvent, ForeignHold::OtherKind}) {
        SCOPED_TRACE(static_cast<int>(hold));
        const UniqueHandle foreign = ForeignObject(UserObjectName("HOTW_53E27782CE9741EDB43D91DD650C79D6"), hold);
        ASSERT_TRUE(foreign.IsValid());
        ChildProcess refused;
        ASSERT_TRUE(refused.Start(folder.Program(), {"/tray"}));
        MessageBoxInfo box;
        ASSERT_TRUE(WaitForMessageBox(refused.Id(), 30000, &box));
        EXPECT_EQ(box.text.rfind("Hollowmere Tidewhistle cannot start: another account holds the name Local\\", 0), 0u)
            << box.text;
        DismissMessageBox(box);
        EXPECT_TRUE(refused.Wait(30000));
        EXPECT_EQ(FindProcessWindow(refused.Id(), kTrayClass), nullptr);
    }

    // The console's change signal, held closed by another account: the
    // scheduler goes on without it and runs the startup task.
    const UniqueHandle closed = ForeignObject(UserObjectName("1012C031_D0A9_456A_A69D_120947AA48E9"),
                                              ForeignHold::ClosedEvent);
    ASSERT_TRUE(closed.IsValid());
    ASSERT_TRUE(DeleteFileA(folder.SessionFile("AtStartup").c_str()));
    StartResident();
    ASSERT_TRUE(WaitForSessionEnd("AtStartup", 20));
    Shutdown();
    ASSERT_TRUE(resident.Wait(30000));
}

TEST_F(ResidentInstance, UnderTheLockOnlyTheAdministratorsTasksRunAndATaskAUserDroppedIsIgnored)
{
    ScratchFolder machine;
    settings.SetString("MachineTaskFolder", machine.Path());
    settings.SetDword("LockTasks", 1);
    TaskSchedule startup;
    startup.atStartup = true;
    // The administrators' task, and one a user dropped into their own folder.
    folder.WriteScheduledTask("Everyone", "Everyone", startup, {TestItemGuid(1)});
    ASSERT_TRUE(::MoveFileA(folder.File("Everyone.tsk").c_str(), machine.File("Everyone.tsk").c_str()));
    folder.WriteScheduledTask("Dropped", "Dropped", startup, {TestItemGuid(1)});

    StartResident();
    ASSERT_TRUE(WaitForSessionEnd("Everyone", 20));
    ::Sleep(2000);
    EXPECT_FALSE(FileExists(folder.SessionFile("Dropped")));
    EXPECT_NE(folder.Trace().find("Task Dropped.tsk is not an administrator's; tasks are locked by policy"),
              std::string::npos);
    Shutdown();
    ASSERT_TRUE(resident.Wait(30000));

    // Started by hand, it says why it does not run.
    DWORD exitCode = 0;
    ASSERT_TRUE(RunToEnd(folder.Program(), {"Dropped"}, 30000, &exitCode));
    EXPECT_EQ(exitCode, 1u);
    std::vector<RawSessionRecord> records;
    ASSERT_TRUE(ReadSessionFile(folder.SessionFile("Dropped"), &records));
    EXPECT_EQ(Messages(records), (std::vector<std::string>{"Session started",
                                                           "Your administrator's policy runs only the tasks an "
                                                           "administrator placed; this task did not run."}));
}

namespace {

const char kStandInKey[] = "standin";

// A browser the program knows from a settings file of the test's own, whose
// process is the stand-in: each stand-in ends when its own event is set.
class BrowserCloseRuns : public ResidentInstance {
protected:
    void SetUp() override
    {
        ResidentInstance::SetUp();
        ASSERT_TRUE(WriteWholeFile(folder.File("tw_browser_standin.ini"),
                                   "[Browser]\r\nName=Stand-in Browser\r\nProcess=Other.exe, tw_stand_in_browser.exe\r\n"
                                   "Data=%LOCALAPPDATA%\\Stand-in\r\n"));
        // Closes a few seconds apart each run the task, unless a case asks otherwise.
        settings.SetDword("BrowserCloseRunInterval", 1);
    }

    void TearDown() override
    {
        for (StandIn& standIn : standIns) {
            ::SetEvent(standIn.end.Get());
            if (!standIn.process.Wait(10000)) standIn.process.Kill();
        }
        ResidentInstance::TearDown();
    }

    void WriteOnCloseTask(const std::string& name, const std::string& browserKey)
    {
        TaskSchedule schedule;
        schedule.atBrowserClose = browserKey;
        folder.WriteScheduledTask(name, name, schedule, {TestItemGuid(1)});
    }

    // Starts a stand-in; with announced, waits until the scheduler has seen
    // it. A windowless one makes no window, as a browser's helpers.
    void StartStandIn(bool announced = true, bool windowless = false)
    {
        StandIn& standIn = standIns.emplace_back();
        const std::string eventName = "TwStandInEnd_" + std::to_string(::GetCurrentProcessId()) + "_" +
                                      std::to_string(standIns.size());
        standIn.end.Reset(::CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
        ASSERT_TRUE(standIn.end);
        std::vector<std::string> arguments = {eventName};
        if (windowless) arguments.push_back("windowless");
        ASSERT_TRUE(standIn.process.Start(std::string(kBuiltProgramFolder) + "\\..\\tests\\tw_stand_in_browser.exe",
                                          arguments));
        if (announced) {
            ASSERT_TRUE(WaitForTrace(ProcessSeen(standIn.process.Id())));
        }
    }

    void EndStandIn(size_t index)
    {
        ASSERT_TRUE(::SetEvent(standIns[index].end.Get()));
        ASSERT_TRUE(standIns[index].process.Wait(10000));
    }

    // User and kernel time, in 100 ns units.
    static ULONGLONG CpuTime(HANDLE process)
    {
        FILETIME created, exited, kernel, user;
        EXPECT_TRUE(::GetProcessTimes(process, &created, &exited, &kernel, &user));
        const auto units = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
        return units(kernel) + units(user);
    }

    static std::string ProcessSeen(DWORD id)
    {
        return "CBrowserWatch: standin process " + std::to_string(id) + " (tw_stand_in_browser.exe)";
    }

    bool WaitForTrace(const std::string& line)
    {
        const bool seen = Eventually([&] { return folder.Trace().find(line) != std::string::npos; }, kAppearTimeout);
        if (!seen) ADD_FAILURE() << "never traced: " << line << "\nthe trace:\n" << folder.Trace();
        return seen;
    }

    struct StandIn {
        UniqueHandle end;
        ChildProcess process;
    };
    std::deque<StandIn> standIns;
};

}  // namespace

TEST_F(BrowserCloseRuns, TheTaskRunsOnceWithinSecondsOfTheLastBrowserProcessEnding)
{
    WriteOnCloseTask("OnClose", kStandInKey);
    StartResident();
    ASSERT_TRUE(WaitForTrace("CBrowserWatch: watching standin, 0 processes running"));
    // Watching costs next to nothing while nothing happens: a look at the
    // process list every few seconds while no browser process is known.
    const ULONGLONG busyBefore = CpuTime(resident.Handle());
    ASSERT_GT(busyBefore, 0u) << "the resident's processor time cannot be read";
    ::Sleep(3000);
    EXPECT_LT(CpuTime(resident.Handle()) - busyBefore, 100 * 10000ull) << "more than 100 ms of processor time idle";
    // Both started after the watch began: learnt of from their windows.
    ASSERT_NO_FATAL_FAILURE(StartStandIn());
    ASSERT_NO_FATAL_FAILURE(StartStandIn());

    ASSERT_NO_FATAL_FAILURE(EndStandIn(0));
    ::Sleep(3000);
    EXPECT_FALSE(FileExists(folder.SessionFile("OnClose"))) << "ran while a browser process was still running";

    const time32 before = Now();
    const DWORD ended = ::GetTickCount();
    ASSERT_NO_FATAL_FAILURE(EndStandIn(1));
    ASSERT_TRUE(Eventually([&] { return FileExists(folder.SessionFile("OnClose")); }, 5000))
        << "not started within seconds of the close; the trace:\n" << folder.Trace();
    EXPECT_LT(::GetTickCount() - ended, 5000u);
    ASSERT_TRUE(WaitForSessionEnd("OnClose", 20));
    EXPECT_GE(LastRunTime("OnClose"), before - 3600);  // local-time round trip of "now"
    ::Sleep(3000);
    EXPECT_EQ(Runs("OnClose"), 1);

    // The next close runs it again, once.
    ASSERT_NO_FATAL_FAILURE(StartStandIn());
    ASSERT_NO_FATAL_FAILURE(EndStandIn(2));
    ASSERT_TRUE(Eventually([&] { return Runs("OnClose") == 2; }, 5000)) << folder.Trace();
    ASSERT_TRUE(WaitForSessionEnd("OnClose", 20));
    ::Sleep(2000);
    EXPECT_EQ(Runs("OnClose"), 2);
}

TEST_F(BrowserCloseRuns, ABrowserRunningWhenATaskComesToWatchItIsFoundAndAnUnknownBrowserRunsNothing)
{
    WriteOnCloseTask("Hostile", "..\\tw_browser_standin");
    WriteOnCloseTask("Missing", "nosuchbrowser");
    StartResident();
    ASSERT_NO_FATAL_FAILURE(StartStandIn(false));
    ASSERT_TRUE(Eventually([this] { return FindProcessWindow(standIns[0].process.Id(), "Static") != nullptr; },
                           kAppearTimeout));
    EXPECT_EQ(folder.Trace().find("CBrowserWatch: watching"), std::string::npos) << "no task named a known browser";

    // A changed task file takes effect at the rescan: the running stand-in
    // is found among the processes then.
    WriteOnCloseTask("Later", kStandInKey);
    ASSERT_TRUE(WaitForTrace(ProcessSeen(standIns[0].process.Id())));
    ASSERT_TRUE(WaitForTrace("CBrowserWatch: watching standin, 1 processes running"));
    ASSERT_NO_FATAL_FAILURE(EndStandIn(0));
    ASSERT_TRUE(WaitForSessionEnd("Later", 20));
    ::Sleep(2000);
    EXPECT_EQ(Runs("Later"), 1);
    for (const char* name : {"Hostile", "Missing"}) EXPECT_FALSE(FileExists(folder.SessionFile(name))) << name;
}

// A browser's processes need no window: helpers started after its window,
// and a browser that runs without any, started after the resident instance.
// Each sequence of starts and ends: the task runs only once the last
// process has ended, and then within seconds.
TEST_F(BrowserCloseRuns, TheTaskRunsWhenTheLastProcessEndsWhateverItsWindows)
{
    WriteOnCloseTask("OnClose", kStandInKey);
    StartResident();
    ASSERT_TRUE(WaitForTrace("CBrowserWatch: watching standin, 0 processes running"));
    struct Start {
        bool windowless;
        bool announced;  // waited for until the scheduler has seen it
    };
    struct Case {
        const char* what;
        std::vector<Start> starts;
        std::vector<size_t> endsBeforeTheLast;  // indexes into starts
        size_t last;
    };
    const std::vector<Case> cases = {
        {"a window, then a windowless helper that outlives it", {{false, true}, {true, false}}, {0}, 1},
        {"windowless processes only, started after the resident instance", {{true, true}, {true, false}}, {0}, 1},
    };
    int runs = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t first = standIns.size();
        for (const Start& start : c.starts) ASSERT_NO_FATAL_FAILURE(StartStandIn(start.announced, start.windowless));
        for (size_t index : c.endsBeforeTheLast) ASSERT_NO_FATAL_FAILURE(EndStandIn(first + index));
        ::Sleep(3000);
        EXPECT_EQ(Runs("OnClose"), runs) << "ran while a browser process was still running; the trace:\n"
                                         << folder.Trace();
        const DWORD ended = ::GetTickCount();
        ASSERT_NO_FATAL_FAILURE(EndStandIn(first + c.last));
        ++runs;
        ASSERT_TRUE(Eventually([&] { return Runs("OnClose") == runs; }, 8000))
            << "not run when the last process ended; the trace:\n" << folder.Trace();
        EXPECT_LT(::GetTickCount() - ended, 8000u);
        ASSERT_TRUE(WaitForSessionEnd("OnClose", 20));
    }
    ::Sleep(2000);
    EXPECT_EQ(Runs("OnClose"), runs);
}

// A browser started and ended again and again: the first close runs the
// task at once, the closes within the minimum interval make one more run
// when it is over, and none is lost.
TEST_F(BrowserCloseRuns, QuickClosesRunTheTaskAtMostOncePerMinimumInterval)
{
    const int intervalSeconds = 15;
    settings.SetDword("BrowserCloseRunInterval", intervalSeconds);
    WriteOnCloseTask("OnClose", kStandInKey);
    StartResident();
    ASSERT_TRUE(WaitForTrace("CBrowserWatch: watching standin, 0 processes running"));

    const DWORD firstClose = ::GetTickCount();
    for (size_t cycle = 0; cycle < 4; ++cycle) {
        ASSERT_NO_FATAL_FAILURE(StartStandIn());
        ASSERT_NO_FATAL_FAILURE(EndStandIn(cycle));
        if (cycle == 0) {
            ASSERT_TRUE(Eventually([&] { return Runs("OnClose") == 1; }, 5000)) << folder.Trace();
        }
    }
    ASSERT_LT(::GetTickCount() - firstClose, (intervalSeconds - 3) * 1000u) << "the cycles took too long to tell";
    ASSERT_TRUE(WaitForSessionEnd("OnClose", 20));
    EXPECT_EQ(Runs("OnClose"), 1) << "ran again within its minimum interval";

    ASSERT_TRUE(Eventually([&] { return Runs("OnClose") == 2; }, (intervalSeconds + 8) * 1000))
        << "the closes within the interval were lost; the trace:\n" << folder.Trace();
    EXPECT_GE(::GetTickCount() - firstClose, (intervalSeconds - 1) * 1000u) << "ran before its interval was over";
    ASSERT_TRUE(WaitForSessionEnd("OnClose", 20));
    ::Sleep(3000);
    EXPECT_EQ(Runs("OnClose"), 2) << "the closes within one interval made more than one run";
}

// A close within the interval waits for its end; a browser opened again by
// then is in use again: the run waits for its next close, not its window.
TEST_F(BrowserCloseRuns, AWaitingRunWaitsForTheNextCloseWhenTheBrowserRunsAgainByThen)
{
    const int intervalSeconds = 10;
    settings.SetDword("BrowserCloseRunInterval", intervalSeconds);
    WriteOnCloseTask("OnClose", kStandInKey);
    StartResident();
    ASSERT_TRUE(WaitForTrace("CBrowserWatch: watching standin, 0 processes running"));

    for (size_t cycle = 0; cycle < 2; ++cycle) {
        ASSERT_NO_FATAL_FAILURE(StartStandIn());
        ASSERT_NO_FATAL_FAILURE(EndStandIn(cycle));
        if (cycle == 0) {
            ASSERT_TRUE(Eventually([&] { return Runs("OnClose") == 1; }, 5000)) << folder.Trace();
        }
    }
    ASSERT_NO_FATAL_FAILURE(StartStandIn());  // open again, past the interval's end
    ::Sleep((intervalSeconds + 5) * 1000);
    EXPECT_EQ(Runs("OnClose"), 1) << "ran while the browser was open again; the trace:\n" << folder.Trace();

    ASSERT_NO_FATAL_FAILURE(EndStandIn(2));
    EXPECT_TRUE(Eventually([&] { return Runs("OnClose") == 2; }, 10000))
        << "the close after the interval did not run the task; the trace:\n" << folder.Trace();
    WaitForSessionEnd("OnClose", 20);
}
