// What the task dialogs accept from the user: counts typed into number
// fields, and how the cookies dialog splits the current cookies.
#include "ui/cookiesort.h"
#include "ui/dialogtext.h"
#include "ui/tickwarnings.h"

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

TEST(CookieSort, TheFirstOccurrencesOfAKeptNameAreUsedUpAndTheRestKeepTheirPlaces)
{
    const CookieLists lists = SortCookies({"x", "y"}, {"x", "g", "x", "y", "y", "x"});
    EXPECT_TRUE(lists.clean.empty());
    EXPECT_EQ(lists.keep, (StringList{"x", "y", "g", "x", "y", "x"}));
}

TEST(CookieSort, ListsShowNamesWithoutRegardToCaseAndInOneOrderForNamesDifferingInCaseOnly)
{
    StringList names = {"Cookie:u@b.com/", "cookie:u@A.com/", "Cookie:u@a.com/", "Cookie:u@a.com/x", "Cookie:u@a.co"};
    SortForDisplay(names);
    EXPECT_EQ(names, (StringList{"Cookie:u@a.co", "Cookie:u@a.com/", "cookie:u@A.com/", "Cookie:u@a.com/x",
                                 "Cookie:u@b.com/"}));
    EXPECT_FALSE(ComesBefore("a", "a"));
    EXPECT_TRUE(ComesBefore("B", "a") != ComesBefore("a", "B"));
}

TEST(CookieSort, MovedNamesLeaveTheirSideAndJoinTheOtherInOrder)
{
    StringList clean = {"a", "c", "e", "g"};
    StringList keep = {"b", "f"};
    MoveNames(clean, {1, 3}, keep);
    EXPECT_EQ(clean, (StringList{"a", "e"}));
    EXPECT_EQ(keep, (StringList{"b", "c", "f", "g"}));

    // Positions repeated or out of range move nothing extra and lose nothing.
    MoveNames(keep, {-1, 0, 0, 2, 9}, clean);
    EXPECT_EQ(keep, (StringList{"c", "g"}));
    EXPECT_EQ(clean, (StringList{"a", "b", "e", "f"}));
}

TEST(CookieSort, ThousandsOfNamesSplitAndMoveWithoutLosingOne)
{
    StringList current;
    StringList keepList;
    for (int i = 0; i < 20000; ++i) {
        current.push_back("Cookie:u@host" + std::to_string(i) + ".example/");
        if (i % 2 == 0) keepList.push_back(current.back());
    }
    CookieLists lists = SortCookies(current, keepList);
    ASSERT_EQ(lists.clean.size(), 10000u);
    ASSERT_EQ(lists.keep.size(), 10000u);
    SortForDisplay(lists.clean);
    SortForDisplay(lists.keep);
    std::vector<int> all;
    for (int i = 0; i < 10000; ++i) all.push_back(i);
    MoveNames(lists.clean, all, lists.keep);
    EXPECT_TRUE(lists.clean.empty());
    StringList expected = current;
    SortForDisplay(expected);
    EXPECT_EQ(lists.keep, expected);
}

TEST(CookieSort, TypingFindsTheNextNameThatStartsWithTheTextWhateverItsCase)
{
    const StringList names = {"Cookie:u@alpha/", "Cookie:u@beta/", "cookie:u@Bravo/", "Cookie:u@delta/"};
    EXPECT_EQ(FindByPrefix(names, "COOKIE:U@B", 0, false), 1);
    EXPECT_EQ(FindByPrefix(names, "cookie:u@b", 2, false), 2);
    EXPECT_EQ(FindByPrefix(names, "Cookie:u@a", 1, false), -1);
    EXPECT_EQ(FindByPrefix(names, "Cookie:u@a", 1, true), 0);
    EXPECT_EQ(FindByPrefix(names, "Cookie:u@alpha/and more", 0, true), -1);
    EXPECT_EQ(FindByPrefix({}, "x", 0, true), -1);
}

TEST(TickWarnings, TheBoxListsTenWarningsAndCountsTheRest)
{
    auto warnings = [](int count) {
        std::vector<TickWarning> list;
        for (int n = 1; n <= count; ++n) list.push_back({"Entry " + std::to_string(n), "warning " + std::to_string(n)});
        return list;
    };
    struct Case {
        int count;
        int listed;
        std::string more;
    };
    const Case cases[] = {{1, 1, ""}, {10, 10, ""}, {11, 10, "... and 1 more\n"}, {25, 10, "... and 15 more\n"}};
    for (const Case& c : cases) {
        const std::string text = TickWarningsQuestion(warnings(c.count));
        std::string lines;
        for (int n = 1; n <= c.listed; ++n) lines += "Entry " + std::to_string(n) + ": warning " + std::to_string(n) + "\n";
        EXPECT_EQ(text, "The authors of these cleanup jobs warn of what they remove:\n\n" + lines + c.more +
                            "\nTick them anyway?")
            << c.count;
    }
}
