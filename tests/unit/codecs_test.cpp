#include "common/codecs.h"
#include "common/initext.h"

#include <gtest/gtest.h>

TEST(StringListCodec, EncodesEachByteInUpperCaseHexWithATerminatorPerString)
{
    EXPECT_EQ(EncodeStringList({}), "");
    EXPECT_EQ(EncodeStringList({"ab"}), "616200");
    EXPECT_EQ(EncodeStringList({"ab", "", "c"}), "616200006300");
    EXPECT_EQ(EncodeStringList({"\xFF\x0A"}), "FF0A00");
}

TEST(StringListCodec, DecodesClosedStringsAndDropsAnUnclosedTail)
{
    StringList list;
    DecodeStringList("610000", list);
    EXPECT_EQ(list, (StringList{"a", ""}));

    list.clear();
    DecodeStringList("6162", list);
    EXPECT_TRUE(list.empty());

    list.clear();
    DecodeStringList("6162006300", list);
    EXPECT_EQ(list, (StringList{"ab", "c"}));
}

TEST(StringListCodec, AppendsToWhatTheListAlreadyHolds)
{
    StringList list = {"kept"};
    DecodeStringList("7800", list);
    EXPECT_EQ(list, (StringList{"kept", "x"}));
}

TEST(StringListCodec, OddLengthAndForeignCharactersNeverReadPastTheText)
{
    StringList list;
    DecodeStringList("61006", list);  // lone digit at the end is ignored
    EXPECT_EQ(list, (StringList{"a"}));

    list.clear();
    DecodeStringList("6a00", list);  // lower-case letters count as 0: 0x60
    EXPECT_EQ(list, (StringList{"\x60"}));

    list.clear();
    DecodeStringList("zz", list);  // both nibbles 0: an empty string
    EXPECT_EQ(list, (StringList{""}));
}

TEST(StringListCodec, RoundTripsArbitraryBytes)
{
    const StringList original = {"Cookie:user@example.com/", "a=b; c", "\x01\x7F\x80\xFE"};
    StringList decoded;
    DecodeStringList(EncodeStringList(original), decoded);
    EXPECT_EQ(decoded, original);
}

TEST(FlagAndNumberCodec, EncodesAndDecodesBothFields)
{
    EXPECT_EQ(EncodeFlagAndNumber(true, 48), "1 48");
    EXPECT_EQ(EncodeFlagAndNumber(false, -7), "0 -7");

    bool flag = true;
    int number = 0;
    DecodeFlagAndNumber("0 12", &flag, &number);
    EXPECT_FALSE(flag);
    EXPECT_EQ(number, 12);

    DecodeFlagAndNumber("5 1000", &flag, &number);
    EXPECT_TRUE(flag);
    EXPECT_EQ(number, 1000);
}

TEST(FlagAndNumberCodec, AnythingButTwoIntegersGivesTrueAnd48)
{
    for (const char* text : {"1", "", "abc", "0 x", "x 0"}) {
        bool flag = false;
        int number = 0;
        DecodeFlagAndNumber(text, &flag, &number);
        EXPECT_TRUE(flag) << text;
        EXPECT_EQ(number, 48) << text;
    }
}

TEST(IniText, ReadsAsThePrivateProfileFunctionsDoInOnePass)
{
    const CIniText ini(
        "; a comment\r\n[General]\r\nStartWithLastProfile=1\r\n\r\n  [ Profile0 ]  \r\nName = default \r\n"
        "Path=\"Profiles/ab.default\"\r\nIsRelative=1\r\nname=second\r\nno equals sign\r\n[profile0]\r\nPath=later\r\n"
        "Extra=added\r\n[Broken\r\nKey=lost\r\n[Profile1]\nPath=C:\\Firefox\\work\n");
    ASSERT_EQ(ini.Sections().size(), 3u);
    EXPECT_EQ(ini.Sections()[1].name, "Profile0");
    const IniSection* profile = ini.Find("PROFILE0");
    ASSERT_NE(profile, nullptr);
    // The first of a name counts; quotes and blanks go; a section named
    // again adds what the first lacks.
    const std::pair<const char*, const char*> values[] = {{"Name", "default"},     {"PATH", "Profiles/ab.default"},
                                                          {"IsRelative", "1"},    {"Extra", "added"},
                                                          {"Key", "lost"},        {"Missing", ""}};
    for (const auto& [key, value] : values) EXPECT_EQ(profile->Value(key), value) << key;
    EXPECT_EQ(ini.Find("Profile1")->Value("Path"), "C:\\Firefox\\work");
    EXPECT_EQ(ini.Find("Broken"), nullptr);
    EXPECT_TRUE(CIniText("").Sections().empty());
}
