// Benchmark: the cookies dialog of the real program with thousands of names
// (a stored keep list whose cookies are absent, so every name is listed on
// the keep side). For 5,000 and 20,000 names it prints the time the dialog
// takes to open and fill, to move every name to the other side ("<<") and
// back (">>"), and to save on OK.
//
//   cookies_dialog_benchmark.exe
#include "../system/console_fixture.h"

#include "common/codecs.h"
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "support/message_box_probe.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

const char kCookiesItem[] = "1EB00000-0000-4000-8000-000000000001";
const char kCookiesClass[] = "20FA0A7E-605A-4bf1-8634-FD1700890FC9";
const std::string kKeepListKey = GuidToString(kCookieKeepListKey);

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int ItemCount(HWND list)
{
    return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

// Polls every 5 ms: the figures are only as fine as that.
template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(5);
    }
    return true;
}

class CookiesDialog : public Console {
protected:
    void Measure(int names)
    {
        StringList stored;
        for (int i = 0; i < names; ++i) stored.push_back("Cookie:someone@site" + std::to_string(i) + ".example.com/");
        const std::string task = "Cookies" + std::to_string(names);
        folder.WriteInventory({{kCookiesItem, "Browser cookies", "Sweepkit.dll", kCookiesClass, ""}});
        folder.WriteTask(task, {kCookiesItem}, {{kKeepListKey, EncodeStringList(stored)}});
        OpenConsole();
        ChooseTask(task);
        Press(IDC_TASK_OPTIONS);
        const HWND options = WaitForWindow(program.Id(), "#32770", "Tidewhistle Task Settings", 15000);
        ASSERT_NE(options, nullptr);

        const Clock::time_point opening = Clock::now();
        ::PostMessageW(options, WM_COMMAND, IDC_COOKIES_BUTTON, 0);
        HWND cookies = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] {
                cookies = ::FindWindowW(L"#32770", L"Internet Explorer Cookies");
                return cookies != nullptr && ::IsWindowVisible(cookies) &&
                       ItemCount(::GetDlgItem(cookies, IDC_KEEP_LIST)) >= names;
            },
            30 * 60 * 1000));
        const double open = SecondsSince(opening);

        Clock::time_point start = Clock::now();
        ::SendMessageW(::GetDlgItem(cookies, IDC_CLEAN_ALL), BM_CLICK, 0, 0);
        const double cleanAll = SecondsSince(start);
        EXPECT_EQ(ItemCount(::GetDlgItem(cookies, IDC_CLEAN_LIST)), names);

        start = Clock::now();
        ::SendMessageW(::GetDlgItem(cookies, IDC_KEEP_ALL), BM_CLICK, 0, 0);
        const double keepAll = SecondsSince(start);
        EXPECT_EQ(ItemCount(::GetDlgItem(cookies, IDC_KEEP_LIST)), names);

        start = Clock::now();
        ::PostMessageW(cookies, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(cookies); }, 30 * 60 * 1000));
        const double ok = SecondsSince(start);
        ::PostMessageW(options, WM_COMMAND, IDCANCEL, 0);

        std::printf("%6d names: open %7.3f s   \"<<\" %7.3f s   \">>\" %7.3f s   OK %7.3f s\n", names, open,
                    cleanAll, keepAll, ok);
        std::fflush(stdout);
    }
};

}  // namespace

TEST_F(CookiesDialog, FiveThousandNames) { Measure(5000); }
TEST_F(CookiesDialog, TwentyThousandNames) { Measure(20000); }
