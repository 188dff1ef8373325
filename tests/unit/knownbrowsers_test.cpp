// The browsers' settings files as the scheduler and the schedule dialog
// read them: the name, the processes' image names, and which keys a task
// file may name.
#include "common/knownbrowsers.h"

#include <gtest/gtest.h>

TEST(KnownBrowsers, ASettingsFileGivesTheNameAndTheLoweredImageNamesOfItsProcesses)
{
    const struct {
        const char* text;
        bool known;
        std::string name;
        std::vector<std::string> processes;
    } cases[] = {
        {"[Browser]\nName=Google Chrome\nProcess=chrome.exe\n", true, "Google Chrome", {"chrome.exe"}},
        {"[browser]\r\nname=Edge\r\nprocess= MSEdge.EXE ,,msedgewebview2.exe, \r\n", true, "Edge",
         {"msedge.exe", "msedgewebview2.exe"}},
        {"[Browser]\nName=Old\nData=x\n", true, "Old", {}},  // a file of an older copy: nothing to watch
        {"[Browser]\nProcess=chrome.exe\n", false, "", {}},
        {"[Other]\nName=Chrome\nProcess=chrome.exe\n", false, "", {}},
        {"", false, "", {}},
    };
    for (const auto& c : cases) {
        KnownBrowser browser;
        ASSERT_EQ(BrowserOfSettingsText("Key", c.text, &browser), c.known) << c.text;
        if (!c.known) continue;
        EXPECT_EQ(browser.key, "key");
        EXPECT_EQ(browser.name, c.name) << c.text;
        EXPECT_EQ(browser.processes, c.processes) << c.text;
    }
}

TEST(KnownBrowsers, AKeyIsAShortPlainNameAndNeverAPathOrAPattern)
{
    for (const char* key : {"chrome", "Stand-in_2", "abcdefghijklmnopqrstuvwxyz012345"}) EXPECT_TRUE(IsBrowserKey(key)) << key;
    for (const char* key : {"", "..\\x", "a/b", "*", "a.ini", "chrome ", "abcdefghijklmnopqrstuvwxyz0123456", "\xC3\xA9"})
        EXPECT_FALSE(IsBrowserKey(key)) << key;
}
