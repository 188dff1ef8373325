#include "common/guid.h"

#include "support/raised.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// What converting the text raises.
std::string ErrorOf(const std::string& text)
{
    return RaisedText([&] { StringToGuid(text); });
}

}  // namespace

TEST(GuidText, BracedAndPlainUpperAndLowerCaseConvertToTheSameGuid)
{
    const GUID braced = StringToGuid("{C5BE3DE9-A946-4802-9D36-372BD8C7647A}");
    const GUID plain = StringToGuid("C5BE3DE9-A946-4802-9D36-372BD8C7647A");
    const GUID lower = StringToGuid("{c5be3de9-a946-4802-9d36-372bd8c7647a}");
    EXPECT_TRUE(SameGuid(braced, plain));
    EXPECT_TRUE(SameGuid(braced, lower));
    EXPECT_EQ(braced.Data1, 0xC5BE3DE9u);
    EXPECT_EQ(braced.Data2, 0xA946);
    EXPECT_EQ(braced.Data3, 0x4802);
    EXPECT_EQ(braced.Data4[0], 0x9D);
    EXPECT_EQ(braced.Data4[7], 0x7A);
    EXPECT_EQ(GuidToString(lower), "C5BE3DE9-A946-4802-9D36-372BD8C7647A");
}

TEST(GuidText, MixedCaseIdentifiersOfThePluginTableRoundTripInUpperCase)
{
    EXPECT_EQ(GuidToString(StringToGuid("4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2")),
              "4D6A9D0C-84AA-457E-B3EA-BE99FFFA4FC2");
    EXPECT_EQ(GuidToString(StringToGuid("00000000-0000-0000-0000-000000000001")),
              "00000000-0000-0000-0000-000000000001");
}

TEST(GuidText, WrongLengthIsABadGuidAndANonHexCharacterIsIllFormed)
{
    EXPECT_EQ(ErrorOf("C5BE3DE9-A946-4802-9D36-372BD8C7647AB"), "bad GUID: C5BE3DE9-A946-4802-9D36-372BD8C7647AB");
    EXPECT_EQ(ErrorOf(""), "bad GUID: ");
    EXPECT_EQ(ErrorOf("G5BE3DE9-A946-4802-9D36-372BD8C7647A"), "ill-formed GUID: G5BE3DE9-A946-4802-9D36-372BD8C7647A");
    EXPECT_EQ(ErrorOf("C5BE3DE9-A946-4802-9D36-372BD8C7647G"), "ill-formed GUID: C5BE3DE9-A946-4802-9D36-372BD8C7647G");
    EXPECT_EQ(ErrorOf("C5BE3DE9:A946-4802-9D36-372BD8C7647A"), "ill-formed GUID: C5BE3DE9:A946-4802-9D36-372BD8C7647A");
}

TEST(GuidText, OpeningBraceWithoutClosingBraceIsPlainTextOfWrongLength)
{
    // 37 characters that begin with "{" but do not end with "}".
    EXPECT_EQ(ErrorOf("{C5BE3DE9-A946-4802-9D36-372BD8C7647A"), "bad GUID: {C5BE3DE9-A946-4802-9D36-372BD8C7647A");
    // 36 characters beginning with "{" are scanned as plain text and fail to convert.
    EXPECT_EQ(ErrorOf("{5BE3DE9-A946-4802-9D36-372BD8C7647A"), "ill-formed GUID: {5BE3DE9-A946-4802-9D36-372BD8C7647A");
}

TEST(GuidOrder, FollowsTheInMemoryBytesNotTheText)
{
    const GUID age = StringToGuid("C5BE3DE9-A946-4802-9D36-372BD8C7647A");      // first byte 0xE9
    const GUID cookies = StringToGuid("F68EF1FD-5366-49C0-9C82-D59C73CC550D");  // first byte 0xFD
    const GUID early = StringToGuid("FF000001-0000-0000-0000-000000000000");    // first byte 0x01
    std::set<GUID, GuidLess> ordered = {cookies, early, age};
    std::vector<std::string> texts;
    for (const GUID& g : ordered) texts.push_back(GuidToString(g));
    EXPECT_EQ(texts, (std::vector<std::string>{"FF000001-0000-0000-0000-000000000000",
                                               "C5BE3DE9-A946-4802-9D36-372BD8C7647A",
                                               "F68EF1FD-5366-49C0-9C82-D59C73CC550D"}));
    EXPECT_TRUE(IsNullGuid(GUID{}));
    EXPECT_FALSE(IsNullGuid(age));
}
