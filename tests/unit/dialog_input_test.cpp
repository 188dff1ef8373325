// What the task dialogs accept from the user: counts typed into number
// fields, and how the cookies dialog splits the current cookies.
#include "ui/cookiesort.h"
#include "ui/dialogtext.h"

#include <gtest/gtest.h>

TEST(WholeNumberField, AcceptsDigitsWithBlanksAroundThem)
{
    int value = -1;
    EXPECT_TRUE(ParseWholeNumber("0", &value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(ParseWholeNumber("  1500 ", &value));
    EXPECT_EQ(value, 1500);
    EXPECT_TRUE(ParseWholeNumber("007", &value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(ParseWholeNumber("2147483647", &value));
    EXPECT_EQ(value, 2147483647);
}

TEST(WholeNumberField, RefusesEverythingElseAndKeepsTheValue)
{
    for (const char* text : {"", "   ", "abc", "12a", "1 2", "-5", "+5", "4.5", "2147483648", "99999999999999999999"}) {
        int value = 42;
        EXPECT_FALSE(ParseWholeNumber(text, &value)) << '"' << text << '"';
        EXPECT_EQ(value, 42) << '"' << text << '"';
    }
}

TEST(CookieSort, CurrentCookiesOnTheKeepListAreKeptTheRestCleaned)
{
    const CookieLists lists = SortCookies({"Cookie:u@a.com/", "Cookie:u@b.com/", "Cookie:u@c.com/"},
                                          {"Cookie:u@c.com/", "Cookie:u@a.com/"});
    EXPECT_EQ(lists.clean, (StringList{"Cookie:u@b.com/"}));
    EXPECT_EQ(lists.keep, (StringList{"Cookie:u@a.com/", "Cookie:u@c.com/"}));
}

TEST(CookieSort, KeptNamesWithoutACookieStayOnTheKeepSideAsOftenAsStored)
{
    const CookieLists lists = SortCookies({"Cookie:u@a.com/"}, {"Cookie:u@a.com/", "Cookie:u@a.com/", "Cookie:u@gone.com/"});
    EXPECT_TRUE(lists.clean.empty());
    EXPECT_EQ(lists.keep, (StringList{"Cookie:u@a.com/", "Cookie:u@a.com/", "Cookie:u@gone.com/"}));
}

TEST(CookieSort, NamesMatchOnlyByteForByte)
{
    const CookieLists lists = SortCookies({"Cookie:u@a.com/", "Cookie:u@a.com/x"}, {"COOKIE:u@a.com/"});
    EXPECT_EQ(lists.clean, (StringList{"Cookie:u@a.com/", "Cookie:u@a.com/x"}));
    EXPECT_EQ(lists.keep, (StringList{"COOKIE:u@a.com/"}));
}

TEST(CookieSort, AFailedListingShowsTheStoredKeepList)
{
    // The dialog sorts an empty current list when the cache cannot be read.
    const CookieLists lists = SortCookies({}, {"Cookie:u@b.com/", "Cookie:u@a.com/"});
    EXPECT_TRUE(lists.clean.empty());
    EXPECT_EQ(lists.keep, (StringList{"Cookie:u@b.com/", "Cookie:u@a.com/"}));
}
