// The identifiers of community rules: SHA-1 as FIPS 180 gives it, name-based
// GUIDs as RFC 4122 builds them, and an entry's id bound to its name alone.
#include "rules/ruleid.h"

#include "common/guid.h"
#include "rules/rulesfile.h"
#include "rules/sha1.h"

#include <gtest/gtest.h>

#include <map>

namespace {

std::string Hex(const Sha1Digest& digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : digest) text += std::string{digits[byte >> 4], digits[byte & 15]};
    return text;
}

std::map<std::string, std::string> IdsByName(const std::string& text)
{
    std::map<std::string, std::string> ids;
    for (const RuleEntry& entry : ParseRulesText(text, "t.ini").entries) ids[entry.name] = GuidToString(RuleItemId(entry.name));
    return ids;
}

}  // namespace

TEST(Sha1, DigestsOfTheStandardsTestVectors)
{
    const std::pair<std::string, const char*> vectors[] = {
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        // 56 bytes: the length no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const auto& vector : vectors) EXPECT_EQ(Hex(Sha1Of(vector.first)), vector.second) << vector.first.substr(0, 20);
}

TEST(RuleId, TheRfcExampleOfANameInTheDnsNamespace)
{
    const GUID dns = StringToGuid("6ba7b810-9dad-11d1-80b4-00c04fd430c8");
    EXPECT_EQ(GuidToString(NameBasedGuid(dns, "www.example.com")), "2ED6657D-E927-568B-95E1-2665A8AEA6A2");
}

TEST(RuleId, AnEntryKeepsItsIdWhereverItStandsAndOnlyItsExactNameGivesIt)
{
    const std::string a = "[Alpha Viewer *]\nFileKey1=%AppData%\\A|*.log\n";
    const std::string b = "[Beta \xC3\xA9" "diteur *]\nFileKey1=%AppData%\\B|*.log\n";
    const auto forwards = IdsByName(a + b);
    EXPECT_EQ(forwards, IdsByName(b + "\n" + a));
    ASSERT_EQ(forwards.size(), 2u);
    EXPECT_NE(forwards.at("Alpha Viewer *"), forwards.at("Beta \xC3\xA9" "diteur *"));
    // The program's namespace, version 5 and the RFC's variant.
    const GUID id = RuleItemId("Alpha Viewer *");
    EXPECT_EQ(GuidToString(id), forwards.at("Alpha Viewer *"));
    EXPECT_EQ(id.Data3 >> 12, 5);
    EXPECT_EQ(id.Data4[0] & 0xC0, 0x80);
    EXPECT_FALSE(SameGuid(id, RuleItemId("alpha viewer *")));
    EXPECT_FALSE(SameGuid(id, NameBasedGuid(StringToGuid("6ba7b810-9dad-11d1-80b4-00c04fd430c8"), "Alpha Viewer *")));
}
