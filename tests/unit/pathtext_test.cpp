// Which names found on disk a path can be made from, and how paths compare.
#include "common/pathtext.h"

#include <gtest/gtest.h>

TEST(PathText, NamesAPathWouldRewriteOrMisreadAreNotTrusted)
{
    for (const char* name : {"a.txt", "report", ".hidden", "name with blanks", "\xC3\xA9t\xC3\xA9.doc", "con-notes",
                             "COM10", "nul2.txt", "..a"}) {
        EXPECT_TRUE(IsTrustworthyName(name)) << name;
    }
    for (const char* name : {"", ".", "..", "...", "x.", "x ", "..\\Documents", "a/b", "c:x", "a*b", "a?b", "a\"b",
                             "a<b", "a>b", "a|b", "tab\there", "CON", "con", "nul.txt", "Com1", "LPT9.log",
                             "aux .txt", "CONOUT$"}) {
        EXPECT_FALSE(IsTrustworthyName(name)) << name;
    }
}

TEST(PathText, SlashesSeparateAndRunsFoldButANetworkPathKeepsItsStart)
{
    EXPECT_EQ(NormaliseSeparators("C:\\data/cache/*.log"), "C:\\data\\cache\\*.log");
    EXPECT_EQ(NormaliseSeparators("C:/data//cache\\\\*.log"), "C:\\data\\cache\\*.log");
    EXPECT_EQ(NormaliseSeparators("C:\\Temp\\\\*"), "C:\\Temp\\*");
    EXPECT_EQ(NormaliseSeparators("\\\\server\\share//x\\*"), "\\\\server\\share\\x\\*");
    EXPECT_EQ(NormaliseSeparators("//server/share/*"), "\\\\server\\share\\*");
}

TEST(PathText, PathsCompareWithoutRegardToCaseAndInsideMeansBelowAFullPart)
{
    EXPECT_TRUE(SamePath("C:\\Users\\Bob", "c:\\users\\bob"));
    EXPECT_TRUE(SamePath("C:\\\xC3\x89t\xC3\xA9", "c:\\\xC3\xA9T\xC3\x89"));
    EXPECT_FALSE(SamePath("C:\\Users\\Bob", "C:\\Users\\Bobby"));
    EXPECT_TRUE(IsSameOrInside("C:\\Windows\\System32", "C:\\windows"));
    EXPECT_TRUE(IsSameOrInside("C:\\Windows", "C:\\"));
    EXPECT_TRUE(IsSameOrInside("C:\\Windows", "c:\\windows"));
    EXPECT_FALSE(IsSameOrInside("C:\\WindowsApps", "C:\\Windows"));
    EXPECT_FALSE(IsSameOrInside("C:\\Windows", "C:\\Windows\\System32"));
    EXPECT_FALSE(IsSameOrInside("C:\\Windows", ""));
    EXPECT_EQ(StripExtendedPrefix("\\\\?\\C:\\x"), "C:\\x");
    EXPECT_EQ(StripExtendedPrefix("\\\\?\\UNC\\server\\share"), "\\\\server\\share");
    EXPECT_EQ(StripExtendedPrefix("C:\\x"), "C:\\x");
}
