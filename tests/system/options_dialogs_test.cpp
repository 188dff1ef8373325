// The task options, cookies and schedule dialogs of the real console,
// driven as UI automation does, and what they leave in the task file, in
// the URL cache after a cookie job, and in the resident scheduler's runs.
#include "console_fixture.h"

#include "common/codecs.h"
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "common/handles.h"
#include "scheduler/nextrun.h"
#include "support/browser_profiles.h"
#include "support/message_box_probe.h"
#include "support/remote_controls.h"
#include "support/session_file.h"
#include "support/text_file.h"
#include "support/url_cache_fill.h"
#include "tasks/taskconfig.h"
#include "ui/resource.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Controls of the console and of the three dialogs.
const int kTaskOptions = IDC_TASK_OPTIONS;
const int kSchedule = IDC_SCHEDULE;
const int kCookiesButton = IDC_COOKIES_BUTTON;
const int kHours = IDC_TEMP_AGE_HOURS;
const int kSpareRecent = IDC_TEMP_AGE_ENABLE;
const int kRecycleDays = IDC_RECYCLE_AGE_DAYS;
const int kKeepRecentlyDeleted = IDC_RECYCLE_AGE_ENABLE;
const int kCleanList = IDC_CLEAN_LIST;
const int kKeepList = IDC_KEEP_LIST;
const int kKeepSelected = IDC_KEEP_SELECTED;
const int kKeepAll = IDC_KEEP_ALL;
const int kCleanSelected = IDC_CLEAN_SELECTED;
const int kCleanAll = IDC_CLEAN_ALL;
const int kUnit = IDC_EVERY_UNIT;
const int kNumber = IDC_EVERY_NUMBER;
const int kNumberSpin = IDC_EVERY_SPIN;
const int kRunAtStartup = IDC_RUN_AT_STARTUP;
const int kRunAtShutdown = IDC_RUN_AT_SHUTDOWN;
const int kScheduleEnabled = IDC_SCHEDULE_ENABLED;
const int kRunEvery = IDC_RUN_EVERY;
const int kRunOnce = IDC_RUN_ONCE;
const int kRunOnceDate = IDC_RUN_ONCE_DATE;
const int kRunOnceTime = IDC_RUN_ONCE_TIME;
const int kLastRun = IDC_LAST_RUN;
const int kNextRun = IDC_NEXT_RUN;
const int kStartDate = IDC_START_DATE;
const int kStartTime = IDC_START_TIME;
const int kStartingFrom = IDC_STARTING_FROM;
const int kRunAtBrowserClose = IDC_RUN_AT_BROWSER_CLOSE;
const int kBrowserToWatch = IDC_BROWSER_TO_WATCH;

// The two extended-data keys as a task file spells them.
const std::string kKeepListKeyText = GuidToString(kCookieKeepListKey);
const std::string kAgeKeyText = GuidToString(kTempFilesAgeKey);

const char kCookiesClass[] = "20FA0A7E-605A-4bf1-8634-FD1700890FC9";
const char kCookiesItem[] = "1EB00000-0000-4000-8000-000000000001";

bool IsChecked(HWND button)
{
    return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Clicks a button as the mouse does, without waiting for what it opens.
void Click(HWND button)
{
    ::PostMessageW(button, BM_CLICK, 0, 0);
}

std::vector<std::string> FirstColumn(HWND list)
{
    std::vector<std::string> names;
    for (const std::vector<std::string>& row : ReadListRows(list)) names.push_back(row.empty() ? "" : row[0]);
    return names;
}

std::string ExtendedValue(const std::string& taskFile, const GUID& key)
{
    CTaskConfig task;
    task.Load(taskFile);
    return task.GetExtendedData(key);
}

class TaskDialogs : public Console {
protected:
    // Opens the console on a user task of the test's own.
    void OpenOn(const std::string& taskName)
    {
        OpenConsole();
        ASSERT_NE(console, nullptr);
        ChooseTask(taskName);
        taskFile = folder.File(taskName + ".tsk");
    }

    HWND OpenDialog(int buttonId, const std::string& caption)
    {
        Press(buttonId);
        const HWND dialog = WaitForWindow(program.Id(), "#32770", caption, 15000);
        EXPECT_NE(dialog, nullptr) << caption;
        return dialog;
    }

    // Presses a dialog's OK or Cancel and waits until it is gone.
    static bool End(HWND dialog, int id)
    {
        ::PostMessageW(dialog, WM_COMMAND, id, 0);
        return Eventually([&] { return !::IsWindow(dialog); }, kAppearTimeout);
    }

    std::string FileText() const
    {
        std::string text;
        ReadWholeFile(taskFile, &text);
        return text;
    }

    // Waits for the console's save after a dialog changed the task.
    bool SavedWith(const std::string& line) const
    {
        return Eventually([&] { return FileText().find(line + "\r\n") != std::string::npos; }, kAnswerTimeout);
    }

    std::string taskFile;
};

}  // namespace

TEST_F(TaskDialogs, ATaskWithoutSettingsOpensWith48HoursAndOKWritesBothEntries)
{
    folder.WriteTask("Options", {});
    OpenOn("Options");
    const HWND dialog = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsChecked(::GetDlgItem(dialog, kSpareRecent)));
    EXPECT_EQ(ControlText(::GetDlgItem(dialog, kHours)), "48");
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, kHours)));
    KeepScreenshot(dialog, "task-settings-dialog.bmp");

    ASSERT_TRUE(End(dialog, IDOK));
    ASSERT_TRUE(SavedWith("ExtendedData_Value=1 48"));
    EXPECT_NE(FileText().find("ExtendedDataCount=2\r\n"), std::string::npos);
    EXPECT_NE(FileText().find("ExtendedData_GUID=" + kKeepListKeyText + "\r\nExtendedData_Value=\r\n"),
              std::string::npos);
    EXPECT_NE(FileText().find("ExtendedData_GUID=" + kAgeKeyText + "\r\nExtendedData_Value=1 48\r\n"),
              std::string::npos);
}

TEST_F(TaskDialogs, TheHoursAreKeptWhenUntickedAndAnyWholeNumberIsAccepted)
{
    folder.WriteTask("Aged", {}, {{kAgeKeyText, "0 12"}});
    OpenOn("Aged");
    HWND dialog = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsChecked(::GetDlgItem(dialog, kSpareRecent)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, kHours)));
    EXPECT_EQ(ControlText(::GetDlgItem(dialog, kHours)), "12");

    Click(::GetDlgItem(dialog, kSpareRecent));
    EXPECT_TRUE(Eventually([&] { return ::IsWindowEnabled(::GetDlgItem(dialog, kHours)) != FALSE; }, kAnswerTimeout));
    SetControlText(::GetDlgItem(dialog, kHours), "1500");  // above the arrows' range
    ASSERT_TRUE(End(dialog, IDOK));
    ASSERT_TRUE(SavedWith("ExtendedData_Value=1 1500"));

    dialog = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(::GetDlgItem(dialog, kHours)), "1500");
    Click(::GetDlgItem(dialog, kSpareRecent));
    EXPECT_TRUE(Eventually([&] { return ::IsWindowEnabled(::GetDlgItem(dialog, kHours)) == FALSE; }, kAnswerTimeout));
    ASSERT_TRUE(End(dialog, IDOK));
    ASSERT_TRUE(SavedWith("ExtendedData_Value=0 1500"));
}

TEST_F(TaskDialogs, TheRecycleBinAgeIsStoredOnceTheBoxIsTickedAndThenKeptAsChosen)
{
    // Without the setting the whole bin goes: OK keeps it that way.
    folder.WriteTask("Bin", {});
    OpenOn("Bin");
    HWND dialog = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsChecked(::GetDlgItem(dialog, kKeepRecentlyDeleted)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, kRecycleDays)));
    EXPECT_EQ(ControlText(::GetDlgItem(dialog, kRecycleDays)), "7");
    ASSERT_TRUE(End(dialog, IDOK));
    ASSERT_TRUE(SavedWith("ExtendedData_Value=1 48"));
    EXPECT_EQ(FileText().find(GuidToString(kRecycleBinAgeKey)), std::string::npos);

    for (const char* stored : {"1 30", "0 30"}) {
        dialog = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
        ASSERT_NE(dialog, nullptr);
        Click(::GetDlgItem(dialog, kKeepRecentlyDeleted));
        EXPECT_TRUE(Eventually([&] { return ::IsWindowEnabled(::GetDlgItem(dialog, kRecycleDays)) == (stored[0] == '1'); },
                               kAnswerTimeout));
        SetControlText(::GetDlgItem(dialog, kRecycleDays), "30");
        ASSERT_TRUE(End(dialog, IDOK));
        ASSERT_TRUE(SavedWith("ExtendedData_GUID=" + GuidToString(kRecycleBinAgeKey) + "\r\nExtendedData_Value=" + stored))
            << stored;
    }
}

TEST_F(TaskDialogs, HoursThatAreNotANumberAreRefusedAndCancelWritesNothing)
{
    folder.WriteTask("Refused", {});
    OpenOn("Refused");
    const std::string before = FileText();
    const HWND dialog = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
    ASSERT_NE(dialog, nullptr);
    SetControlText(::GetDlgItem(dialog, kHours), "12a");
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    const HWND box = WaitForBox(kConsoleCaption, kAppearTimeout);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(StaticTextOf(box), "Please enter a positive integer.");
    Dismiss(box);
    EXPECT_TRUE(::IsWindow(dialog));
    EXPECT_EQ(ControlText(::GetDlgItem(dialog, kHours)), "12a");

    ASSERT_TRUE(End(dialog, IDCANCEL));
    ::Sleep(1500);  // a refresh of the console has passed
    EXPECT_EQ(FileText(), before);
}

TEST_F(TaskDialogs, CookiesMoveBothWaysAndTheJobThenKeepsExactlyTheKeptOnes)
{
    WipeCache();
    const std::string news = AddCookie("news.example.com");
    const std::string shop = AddCookie("shop.example.org", "/basket/");
    const std::string tracker = AddCookie("tracker.example.net");
    const std::string gone = "Cookie:" + UserName() + "@gone.example.com/";
    folder.WriteInventory({{kCookiesItem, "Browser cookies", "Sweepkit.dll", kCookiesClass, ""}});
    folder.WriteTask("Cookies", {kCookiesItem}, {{kKeepListKeyText, EncodeStringList({shop, gone})}});
    OpenOn("Cookies");

    const HWND options = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
    ASSERT_NE(options, nullptr);
    ::PostMessageW(options, WM_COMMAND, kCookiesButton, 0);
    HWND cookies = WaitForWindow(program.Id(), "#32770", "Internet Explorer Cookies", 15000);
    ASSERT_NE(cookies, nullptr);
    const auto list = [&](int id) { return FirstColumn(::GetDlgItem(cookies, id)); };
    const auto enabled = [&](int id) { return ::IsWindowEnabled(::GetDlgItem(cookies, id)) != FALSE; };
    EXPECT_EQ(list(kCleanList), Sorted({news, tracker}));
    EXPECT_EQ(list(kKeepList), Sorted({shop, gone}));
    EXPECT_FALSE(enabled(kKeepSelected));
    EXPECT_TRUE(enabled(kKeepAll));
    EXPECT_FALSE(enabled(kCleanSelected));
    EXPECT_TRUE(enabled(kCleanAll));
    KeepScreenshot(cookies, "cookies-dialog.bmp");

    // Everything to the keep side and back, then Cancel: nothing changes.
    Click(::GetDlgItem(cookies, kKeepAll));
    EXPECT_TRUE(Eventually([&] { return list(kCleanList).empty(); }, kAnswerTimeout));
    EXPECT_EQ(list(kKeepList), Sorted({news, tracker, shop, gone}));
    EXPECT_FALSE(enabled(kKeepAll));
    Click(::GetDlgItem(cookies, kCleanAll));
    EXPECT_TRUE(Eventually([&] { return list(kKeepList).empty(); }, kAnswerTimeout));
    EXPECT_EQ(list(kCleanList), Sorted({news, tracker, shop, gone}));
    EXPECT_FALSE(enabled(kCleanAll));
    EXPECT_FALSE(enabled(kCleanSelected));
    ASSERT_TRUE(End(cookies, IDCANCEL));

    ::PostMessageW(options, WM_COMMAND, kCookiesButton, 0);
    cookies = WaitForWindow(program.Id(), "#32770", "Internet Explorer Cookies", 15000);
    ASSERT_NE(cookies, nullptr);
    EXPECT_EQ(list(kKeepList), Sorted({shop, gone}));

    // Keep the news cookie, stop keeping the absent one.
    const HWND clean = ::GetDlgItem(cookies, kCleanList);
    const HWND keep = ::GetDlgItem(cookies, kKeepList);
    ASSERT_TRUE(SelectListRow(clean, static_cast<int>(Sorted({news, tracker})[0] == news ? 0 : 1)));
    EXPECT_TRUE(Eventually([&] { return enabled(kKeepSelected); }, kAnswerTimeout));
    Click(::GetDlgItem(cookies, kKeepSelected));
    EXPECT_TRUE(Eventually([&] { return list(kCleanList) == std::vector<std::string>{tracker}; }, kAnswerTimeout));
    const std::vector<std::string> kept = list(kKeepList);
    ASSERT_EQ(kept, Sorted({news, shop, gone}));
    ASSERT_TRUE(SelectListRow(keep, static_cast<int>(std::find(kept.begin(), kept.end(), gone) - kept.begin())));
    EXPECT_TRUE(Eventually([&] { return enabled(kCleanSelected); }, kAnswerTimeout));
    Click(::GetDlgItem(cookies, kCleanSelected));
    EXPECT_TRUE(Eventually([&] { return list(kKeepList) == Sorted({news, shop}); }, kAnswerTimeout));
    EXPECT_EQ(list(kCleanList), Sorted({tracker, gone}));
    ASSERT_TRUE(End(cookies, IDOK));
    ASSERT_TRUE(End(options, IDOK));

    StringList stored;
    ASSERT_TRUE(SavedWith("ExtendedData_Value=1 48"));
    DecodeStringList(ExtendedValue(taskFile, kCookieKeepListKey), stored);
    EXPECT_EQ(stored, Sorted({news, shop}));

    folder.RunTask("Cookies");
    EXPECT_EQ(Names(ReadCache(), true), Sorted({news, shop}));
    WipeCache();
}

TEST_F(TaskDialogs, SitesOfTwoBrowsersAreOfferedOnceBesideTheSystemBrowsersCookiesAndKeptInBoth)
{
    WipeCache();
    const std::string ieCookie = AddCookie("news.example.com");
    const std::string ieOther = AddCookie("other.example.net");
    ScratchFolder home;
    const std::string chromeCookies = home.File("Chrome\\User Data\\Default\\Network\\Cookies");
    const std::string firefoxCookies = home.File("Firefox\\Profiles\\x1.default\\cookies.sqlite");
    CreateChromiumCookies(chromeCookies, {{".example.com", "a"}, {"www.example.com", "b"}, {".tracker.net", "c"}});
    CreateFirefoxCookies(firefoxCookies, {{"example.com", "a"}, {"ads.example.org", "b"}});
    WriteProfilesIni(home.File("Firefox"), {{"default", "Profiles/x1.default", true}});
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_chrome.ini"),
                               "[Browser]\r\nName=Test Chrome\r\nData=" + home.File("Chrome\\User Data") + "\r\n"));
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_firefox.ini"),
                               "[Browser]\r\nName=Test Firefox\r\nData=" + home.File("Firefox") + "\r\n"));
    const char chromeItem[] = "1EB00000-0000-4000-8000-000000000011";
    const char firefoxItem[] = "1EB00000-0000-4000-8000-000000000012";
    folder.WriteInventory(
        {{kCookiesItem, "Browser cookies", "Sweepkit.dll", kCookiesClass, ""},
         {chromeItem, "Chrome cookies", "Sweepkit.dll", "019C50BD-C5F5-4534-B938-F3D55C101520", "tw_test_chrome.ini"},
         {firefoxItem, "Firefox cookies", "Sweepkit.dll", "D7CD5405-A50D-4592-A644-0922278D42E3", "tw_test_firefox.ini"}});
    folder.WriteTask("Sites", {kCookiesItem, chromeItem, firefoxItem});
    OpenOn("Sites");

    const HWND options = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
    ASSERT_NE(options, nullptr);
    ::PostMessageW(options, WM_COMMAND, kCookiesButton, 0);
    const HWND cookies = WaitForWindow(program.Id(), "#32770", "Internet Explorer Cookies", 15000);
    ASSERT_NE(cookies, nullptr);
    const auto list = [&](int id) { return FirstColumn(::GetDlgItem(cookies, id)); };
    // In the lists' own order, without regard to case.
    const std::vector<std::string> offered = {"ads.example.org", ieCookie, ieOther, "example.com", "tracker.net"};
    ASSERT_EQ(list(kCleanList), offered);
    EXPECT_TRUE(list(kKeepList).empty());
    KeepScreenshot(cookies, "cookies-dialog-browsers.bmp");

    // Keep the site once: it stays in both browsers, and in the system browser.
    const auto row = std::find(offered.begin(), offered.end(), "example.com") - offered.begin();
    ASSERT_TRUE(SelectListRow(::GetDlgItem(cookies, kCleanList), static_cast<int>(row)));
    EXPECT_TRUE(Eventually([&] { return ::IsWindowEnabled(::GetDlgItem(cookies, kKeepSelected)) != FALSE; },
                           kAnswerTimeout));
    Click(::GetDlgItem(cookies, kKeepSelected));
    EXPECT_TRUE(Eventually([&] { return list(kKeepList) == std::vector<std::string>{"example.com"}; }, kAnswerTimeout));
    ASSERT_TRUE(End(cookies, IDOK));
    ASSERT_TRUE(End(options, IDOK));
    ASSERT_TRUE(SavedWith("ExtendedData_Value=1 48"));
    StringList stored;
    DecodeStringList(ExtendedValue(taskFile, kCookieKeepListKey), stored);
    EXPECT_EQ(stored, StringList{"example.com"});

    folder.RunTask("Sites");
    EXPECT_EQ(Sorted(QueryColumn(chromeCookies, "SELECT host_key FROM cookies")),
              Sorted({".example.com", "www.example.com"}));
    EXPECT_EQ(QueryColumn(firefoxCookies, "SELECT host FROM moz_cookies"), std::vector<std::string>{"example.com"});
    EXPECT_EQ(Names(ReadCache(), true), std::vector<std::string>{ieCookie});
    WipeCache();
}

TEST_F(TaskDialogs, AFailedCookieListingIsReportedAndOKKeepsTheStoredKeepList)
{
    if (!UnderWine()) GTEST_SKIP() << "the cache index is locked the way Wine keeps it";
    const std::string keptA = "Cookie:someone@kept.example.com/";
    const std::string keptB = "Cookie:someone@also.example.org/";
    folder.WriteInventory({{kCookiesItem, "Browser cookies", "Sweepkit.dll", kCookiesClass, ""}});
    folder.WriteTask("Unlisted", {}, {{kKeepListKeyText, EncodeStringList({keptA, keptB})}});
    OpenOn("Unlisted");
    // Held open without sharing before the console first uses the cache,
    // the cookie index cannot be read by it.
    UniqueHandle lock(::CreateFileA(CookieIndexPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock) << CookieIndexPath() << " error " << ::GetLastError();

    const HWND options = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
    ASSERT_NE(options, nullptr);
    ::PostMessageW(options, WM_COMMAND, kCookiesButton, 0);
    const HWND box = WaitForBox(kConsoleCaption, 15000);
    ASSERT_NE(box, nullptr);
    const std::string message = StaticTextOf(box);
    EXPECT_EQ(message.rfind("Failed to obtain current cookie list. Error: ", 0), 0u) << message;
    EXPECT_NE(message.find("0x80004005"), std::string::npos) << message;
    Dismiss(box);

    const HWND cookies = WaitForWindow(program.Id(), "#32770", "Internet Explorer Cookies", 15000);
    ASSERT_NE(cookies, nullptr);
    EXPECT_TRUE(FirstColumn(::GetDlgItem(cookies, kCleanList)).empty());
    EXPECT_EQ(FirstColumn(::GetDlgItem(cookies, kKeepList)), Sorted({keptA, keptB}));
    ASSERT_TRUE(End(cookies, IDOK));
    ASSERT_TRUE(End(options, IDOK));
    ASSERT_TRUE(SavedWith("ExtendedData_Value=1 48"));
    StringList stored;
    DecodeStringList(ExtendedValue(taskFile, kCookieKeepListKey), stored);
    EXPECT_EQ(stored, Sorted({keptA, keptB}));
}

TEST_F(TaskDialogs, AKeepListThatCannotBeReadIsKeptAsItIsUnlessTheUserChoosesAnew)
{
    // A list a lenient reading would cut short: the text after the first
    // name is not the program's.
    const std::string damaged = EncodeStringList({"kept.example"}) + "ZZ" + EncodeStringList({"also.example"});
    folder.WriteTask("Damaged", {}, {{kKeepListKeyText, damaged}});
    OpenOn("Damaged");
    const HWND options = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
    ASSERT_NE(options, nullptr);
    ASSERT_TRUE(End(options, IDOK));
    ASSERT_TRUE(SavedWith("ExtendedData_Value=1 48"));
    EXPECT_EQ(ExtendedValue(taskFile, kCookieKeepListKey), damaged);

    // Opening the cookies dialog says so; its Cancel keeps the text too.
    const HWND again = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
    ASSERT_NE(again, nullptr);
    ::PostMessageW(again, WM_COMMAND, kCookiesButton, 0);
    const HWND box = WaitForBox(kConsoleCaption, 15000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(StaticTextOf(box).rfind("The list of cookies to keep that this task holds cannot be read", 0), 0u);
    Dismiss(box);
    const HWND cookies = WaitForWindow(program.Id(), "#32770", "Internet Explorer Cookies", 15000);
    ASSERT_NE(cookies, nullptr);
    ASSERT_TRUE(End(cookies, IDCANCEL));
    ASSERT_TRUE(End(again, IDOK));
    ::Sleep(2000);  // the console's next save
    EXPECT_EQ(ExtendedValue(taskFile, kCookieKeepListKey), damaged);
}

TEST_F(TaskDialogs, TheScheduleDialogEnablesItsControlsByTheBoxAndTheChoice)
{
    TaskSchedule schedule;  // disabled, every day from 2026-01-01 midnight, run once then
    folder.WriteScheduledTask("Timed", "Timed", schedule, {});
    OpenOn("Timed");
    const std::string before = FileText();
    const HWND dialog = OpenDialog(kSchedule, "Task Schedule");
    ASSERT_NE(dialog, nullptr);
    const auto enabled = [&](int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; };
    const auto text = [&](int id) { return ControlText(::GetDlgItem(dialog, id)); };

    EXPECT_EQ(ComboBoxTexts(::GetDlgItem(dialog, kUnit)),
              (std::vector<std::string>{"Hour (s)", "Day (s)", "Week (s)", "Month (s)"}));
    EXPECT_EQ(::SendMessageW(::GetDlgItem(dialog, kUnit), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(text(kNumber), "1");
    EXPECT_FALSE(IsChecked(::GetDlgItem(dialog, kScheduleEnabled)));
    EXPECT_TRUE(IsChecked(::GetDlgItem(dialog, kRunEvery)));
    for (int id : {kRunEvery, kRunOnce, kNumber, kNumberSpin, kUnit, kStartingFrom, kStartDate, kStartTime, kRunOnceDate,
                   kRunOnceTime}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    EXPECT_TRUE(enabled(kRunAtStartup));
    EXPECT_TRUE(enabled(kRunAtShutdown));
    EXPECT_EQ(text(kLastRun), "never");
    EXPECT_EQ(text(kNextRun), "never");

    // Enabled, every day from 2026-01-01: the next midnight.
    Click(::GetDlgItem(dialog, kScheduleEnabled));
    ASSERT_TRUE(Eventually([&] { return enabled(kRunEvery); }, kAnswerTimeout));
    for (int id : {kRunOnce, kNumber, kNumberSpin, kUnit, kStartingFrom, kStartDate, kStartTime}) EXPECT_TRUE(enabled(id)) << id;
    EXPECT_FALSE(enabled(kRunOnceDate));
    EXPECT_FALSE(enabled(kRunOnceTime));
    ScheduleFields fields = {true, 0, 1, 1, schedule.base, schedule.runOnce};
    EXPECT_TRUE(Eventually([&] { return text(kNextRun) == FormatDateTime(CalcNextRunTime(fields)); }, 3000))
        << text(kNextRun);
    KeepScreenshot(dialog, "schedule-dialog.bmp");

    // Once, at a moment that has passed: never.
    Click(::GetDlgItem(dialog, kRunOnce));
    ASSERT_TRUE(Eventually([&] { return enabled(kRunOnceDate); }, kAnswerTimeout));
    EXPECT_TRUE(enabled(kRunOnceTime));
    for (int id : {kNumber, kNumberSpin, kUnit, kStartingFrom, kStartDate, kStartTime}) EXPECT_FALSE(enabled(id)) << id;
    EXPECT_TRUE(Eventually([&] { return text(kNextRun) == "never"; }, 3000)) << text(kNextRun);

    ASSERT_TRUE(End(dialog, IDCANCEL));
    ::Sleep(1500);
    EXPECT_EQ(FileText(), before);
}

TEST_F(TaskDialogs, ABadNumberIsRefusedOnlyAtOKAndTheStartupAndShutdownBoxesAreStored)
{
    folder.WriteScheduledTask("Boxes", "Boxes", TaskSchedule(), {});
    OpenOn("Boxes");
    const HWND dialog = OpenDialog(kSchedule, "Task Schedule");
    ASSERT_NE(dialog, nullptr);
    const HWND number = ::GetDlgItem(dialog, kNumber);
    SetControlText(number, "two");
    ::Sleep(2500);  // two refreshes of the dialog pass without a word
    EXPECT_TRUE(MessageBoxes(kConsoleCaption).empty());
    EXPECT_EQ(ControlText(number), "two");

    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    const HWND box = WaitForBox(kConsoleCaption, kAppearTimeout);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(StaticTextOf(box), "Please enter a positive integer.");
    Dismiss(box);
    ASSERT_TRUE(::IsWindow(dialog));

    SetControlText(number, "0");  // typed numbers are not held to the arrows' range
    Click(::GetDlgItem(dialog, kRunAtStartup));
    Click(::GetDlgItem(dialog, kRunAtShutdown));
    ASSERT_TRUE(Eventually([&] { return IsChecked(::GetDlgItem(dialog, kRunAtShutdown)); }, kAnswerTimeout));
    ASSERT_TRUE(End(dialog, IDOK));
    ASSERT_TRUE(SavedWith("RunAtShutdown=1"));
    const std::string saved = FileText();
    EXPECT_NE(saved.find("RunAtStartup=1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("RunEveryNumber=0\r\n"), std::string::npos);
    EXPECT_NE(saved.find("ScheduleEnabled=0\r\n"), std::string::npos);
}

TEST_F(TaskDialogs, TheBrowserCloseBoxOffersTheShippedBrowsersAndStoresTheChosenOneOrKeepsAnUnknownOne)
{
    const std::string browserLine = "ExtendedData_GUID=" + GuidToString(kRunAtBrowserCloseKey);
    const struct {
        std::string stored;       // the task's browser key
        std::string extraEntry;   // listed after the shipped browsers
        std::string choose;       // the entry picked before OK, or none
        std::string saved;        // the value OK writes
    } cases[] = {
        {"", "", "Mozilla Firefox", "firefox"},
        {"gone", "gone (not known to this copy of Tidewhistle)", "", "gone"},
    };
    for (const auto& c : cases) {
        TaskSchedule schedule;
        schedule.atBrowserClose = c.stored;
        const std::string name = "Watch" + std::to_string(&c - cases);
        folder.WriteScheduledTask(name, name, schedule, {});
    }
    OpenConsole();
    ASSERT_NE(console, nullptr);
    for (const auto& c : cases) {
        const std::string name = "Watch" + std::to_string(&c - cases);
        ChooseTask(name);
        taskFile = folder.File(name + ".tsk");
        const HWND dialog = OpenDialog(kSchedule, "Task Schedule");
        ASSERT_NE(dialog, nullptr);
        const HWND box = ::GetDlgItem(dialog, kRunAtBrowserClose);
        const HWND list = ::GetDlgItem(dialog, kBrowserToWatch);
        std::vector<std::string> offered = {"Brave", "Google Chrome", "Chromium", "Microsoft Edge", "Mozilla Firefox",
                                            "Opera", "Vivaldi"};
        if (!c.extraEntry.empty()) offered.push_back(c.extraEntry);
        EXPECT_EQ(ComboBoxTexts(list), offered) << name;
        EXPECT_EQ(IsChecked(box), !c.stored.empty()) << name;
        EXPECT_EQ(::IsWindowEnabled(list) != FALSE, !c.stored.empty()) << name;
        if (!c.choose.empty()) {
            Click(box);
            ASSERT_TRUE(Eventually([&] { return ::IsWindowEnabled(list) != FALSE; }, kAnswerTimeout)) << name;
            const auto index = std::find(offered.begin(), offered.end(), c.choose) - offered.begin();
            ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
        ASSERT_TRUE(End(dialog, IDOK));
        ASSERT_TRUE(SavedWith(browserLine + "\r\nExtendedData_Value=" + c.saved)) << name << "\n" << FileText();
    }
}

TEST_F(TaskDialogs, ARunOnceMomentSetInTheDialogMakesTheResidentSchedulerRunTheTask)
{
    folder.WriteScheduledTask("Soon", "Soon", TaskSchedule(), {});
    OpenOn("Soon");
    const HWND dialog = OpenDialog(kSchedule, "Task Schedule");
    ASSERT_NE(dialog, nullptr);
    Click(::GetDlgItem(dialog, kScheduleEnabled));
    Click(::GetDlgItem(dialog, kRunOnce));
    ASSERT_TRUE(Eventually([&] { return ::IsWindowEnabled(::GetDlgItem(dialog, kRunOnceDate)) != FALSE; }, kAnswerTimeout));

    const time32 when = GetLocalNow() + 8;
    SYSTEMTIME picked = {};
    ASSERT_TRUE(TimeToLocalSystemTime(when, &picked));
    ASSERT_TRUE(SetDateTimePicker(::GetDlgItem(dialog, kRunOnceDate), picked));
    ASSERT_TRUE(SetDateTimePicker(::GetDlgItem(dialog, kRunOnceTime), picked));
    EXPECT_TRUE(Eventually([&] { return ControlText(::GetDlgItem(dialog, kNextRun)) == FormatDateTime(when); }, 3000))
        << ControlText(::GetDlgItem(dialog, kNextRun));
    ASSERT_TRUE(End(dialog, IDOK));
    ASSERT_TRUE(SavedWith("ScheduleType=1"));
    CTaskConfig saved;
    saved.Load(taskFile);
    EXPECT_TRUE(saved.Schedule.enabled);
    EXPECT_EQ(saved.Schedule.runOnce, when);

    std::vector<RawSessionRecord> records;
    EXPECT_TRUE(Eventually(
        [&] {
            records.clear();
            return ReadSessionFile(folder.SessionFile("Soon"), &records) && !records.empty() &&
                   records.back().message == "Session finished";
        },
        40000));
    EXPECT_TRUE(FileExists(folder.File("TS_LRT_Soon.dat")));
}

TEST_F(TaskDialogs, FiveThousandKeptNamesAreShownInOrderMovedBothWaysAndKeptWhole)
{
    WipeCache();
    const std::string news = AddCookie("news.example.com");
    StringList stored;
    for (int i = 0; i < 5000; ++i) stored.push_back("Cookie:" + UserName() + "@site" + std::to_string(i) + ".example.com/");
    const std::string zeta = "zeta.example.org";  // kept by a name of another form: typing finds it
    stored.push_back(zeta);
    folder.WriteInventory({{kCookiesItem, "Browser cookies", "Sweepkit.dll", kCookiesClass, ""}});
    folder.WriteTask("Many", {kCookiesItem}, {{kKeepListKeyText, EncodeStringList(stored)}});
    OpenOn("Many");

    const HWND options = OpenDialog(kTaskOptions, "Tidewhistle Task Settings");
    ASSERT_NE(options, nullptr);
    ::PostMessageW(options, WM_COMMAND, kCookiesButton, 0);
    const HWND cookies = WaitForWindow(program.Id(), "#32770", "Internet Explorer Cookies", 30000);
    ASSERT_NE(cookies, nullptr);
    const HWND clean = ::GetDlgItem(cookies, kCleanList);
    const HWND keep = ::GetDlgItem(cookies, kKeepList);
    const auto count = [](HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); };
    EXPECT_EQ(FirstColumn(clean), std::vector<std::string>{news});
    EXPECT_EQ(FirstColumn(keep), Sorted(stored));

    // Sent, not posted: each move is over when the click returns.
    ::SendMessageW(::GetDlgItem(cookies, kCleanAll), BM_CLICK, 0, 0);
    EXPECT_EQ(count(keep), 0);
    EXPECT_EQ(count(clean), 5002);
    ::SendMessageW(::GetDlgItem(cookies, kKeepAll), BM_CLICK, 0, 0);
    EXPECT_EQ(count(clean), 0);
    ASSERT_EQ(count(keep), 5002);

    // One row picked out of thousands goes back alone.
    StringList all = stored;
    all.push_back(news);
    all = Sorted(all);
    const int picked = static_cast<int>(std::find(all.begin(), all.end(), stored[2500]) - all.begin());
    ASSERT_TRUE(SelectListRow(keep, picked));
    ASSERT_TRUE(Eventually([&] { return ::IsWindowEnabled(::GetDlgItem(cookies, kCleanSelected)) != FALSE; }, kAnswerTimeout));
    ::SendMessageW(::GetDlgItem(cookies, kCleanSelected), BM_CLICK, 0, 0);
    EXPECT_EQ(FirstColumn(clean), std::vector<std::string>{stored[2500]});
    all.erase(all.begin() + picked);

    // Typing a name's start in a list, in any case, moves the focus to it.
    for (const char c : std::string("ZE")) ::SendMessageW(keep, WM_CHAR, static_cast<WPARAM>(c), 1);
    const int wanted = static_cast<int>(std::find(all.begin(), all.end(), zeta) - all.begin());
    EXPECT_EQ(static_cast<int>(::SendMessageW(keep, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)), wanted);
    ASSERT_TRUE(End(cookies, IDOK));
    ASSERT_TRUE(End(options, IDOK));

    ASSERT_TRUE(SavedWith("ExtendedData_Value=1 48"));
    StringList saved;
    DecodeStringList(ExtendedValue(taskFile, kCookieKeepListKey), saved);
    EXPECT_EQ(saved, all);
    WipeCache();
}
