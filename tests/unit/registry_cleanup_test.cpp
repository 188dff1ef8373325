// The registry deletion engine on keys of the test prefix's HKEY_CURRENT_USER.
#include "plugin/engines/registry/registrycleanup.h"

#include "common/handles.h"
#include "support/job_harness.h"
#include "support/raised.h"
#include "support/registry_fixture.h"

#include <windows.h>
#include <gtest/gtest.h>

namespace {

const char kBase[] = "Software\\TidewhistleTests\\RegistryCleanup";

class RegistryCleanup : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, kBase); }
    void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, kBase); }

    static std::string Key(const std::string& relative = std::string())
    {
        return relative.empty() ? std::string(kBase) : std::string(kBase) + "\\" + relative;
    }
    static void Value(const std::string& relative, const std::string& name, const std::string& text = "trace")
    {
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, Key(relative), name, text));
    }
    static bool KeyExists(const std::string& relative) { return ::KeyExists(HKEY_CURRENT_USER, Key(relative)); }
    static DWORD Count(const std::string& relative, bool subkeys) { return CountOf(HKEY_CURRENT_USER, Key(relative), subkeys); }
    static std::string RaisedBy(const std::string& entry, CCleanupItem& job)
    {
        return RaisedText([&] { CleanRegistryKey(entry, job); });
    }

    EventOnlyJob job;
};

}  // namespace

TEST_F(RegistryCleanup, EmptiesTheKeyAtEveryDepthAndKeepsTheKeyItself)
{
    Value("list", "url1");
    Value("list", "url2");
    Value("list", "");  // the default value
    Value("list\\a", "v");
    Value("list\\a\\b", "v");
    Value("list\\a\\b\\c", "v");
    Value("list\\z", "v");
    CleanRegistryKey("HKCU\\" + Key("list"), job);
    EXPECT_TRUE(KeyExists("list"));
    EXPECT_EQ(Count("list", false), 0u);
    EXPECT_EQ(Count("list", true), 0u);
    EXPECT_TRUE(job.sink.events.empty());
}

TEST_F(RegistryCleanup, ASubkeyWhoseNameHoldsABarIsEmptiedAndDeletedLikeAnyOther)
{
    // "|" separates a value name in an entry, but is an ordinary character
    // in a subkey's name.
    Value("list\\site|one", "url");
    Value("list\\site|one\\deeper", "url");
    Value("list\\site", "one", "a value named like the tail of the subkey");
    CleanRegistryKey("HKCU\\" + Key("list"), job);
    EXPECT_FALSE(KeyExists("list\\site|one"));
    EXPECT_FALSE(KeyExists("list\\site"));
    EXPECT_TRUE(KeyExists("list"));
    EXPECT_EQ(Count("list", true), 0u);
    EXPECT_TRUE(job.sink.events.empty());
}

TEST_F(RegistryCleanup, ANamedValueAloneIsDeletedAndSubkeysStay)
{
    Value("list", "LastKey");
    Value("list", "Favourite");
    Value("list\\sub", "v");
    CleanRegistryKey("HKCU\\" + Key("list") + "|LastKey", job);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, Key("list"), "LastKey"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, Key("list"), "Favourite"));
    EXPECT_TRUE(KeyExists("list\\sub"));
}

TEST_F(RegistryCleanup, AnEmptyValueNameStandsForTheDefaultValue)
{
    Value("list", "");
    Value("list", "other");
    CleanRegistryKey("HKCU\\" + Key("list") + "|", job);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, Key("list"), ""));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, Key("list"), "other"));
}

TEST_F(RegistryCleanup, AForwardSlashMaySeparateTheRoot)
{
    Value("list", "v");
    CleanRegistryKey("HKCU/" + Key("list"), job);
    EXPECT_EQ(Count("list", false), 0u);
}

TEST_F(RegistryCleanup, RootNamesAreCaseSensitiveAndRequired)
{
    Value("list", "v");
    const std::string lower = "hkcu\\" + Key("list");
    EXPECT_EQ(RaisedBy(lower, job), "Unknown root registry key name: " + lower + ".");
    EXPECT_EQ(RaisedBy("HKEY_CURRENT_USER\\" + Key("list"), job),
              "Unknown root registry key name: HKEY_CURRENT_USER\\" + Key("list") + ".");
    EXPECT_EQ(RaisedBy("HKCU", job), "Missing root registry key name: HKCU.");
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, Key("list"), "v"));
}

TEST_F(RegistryCleanup, BelowHkuOnlyTheDefaultProfilesKeysAreCleaned)
{
    Value("list", "v");
    const struct {
        std::string entry, raised;
    } refused[] = {
        {"HKU\\S-1-5-21-1-2-3-1001\\Software\\V", "Registry entry names another user's registry: "},
        {"HKU\\", "Registry entry names another user's registry: "},
        {"HKU\\.DEFAULT", "Registry entry names a root key only: "},
        {"HKU\\.default\\", "Registry entry names a root key only: "},
    };
    for (const auto& c : refused) EXPECT_EQ(RaisedBy(c.entry, job), c.raised + c.entry + ".") << c.entry;
    EXPECT_EQ(ParseRegistryPath("HKU\\.Default\\Software\\V|x").root, HKEY_USERS);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, Key("list"), "v"));
}

TEST_F(RegistryCleanup, WhatTheCallerKeepsStaysWithTheKeysHoldingIt)
{
    Value("list", "gone");
    Value("list", "kept");
    Value("list\\spared", "x");
    Value("list\\spared\\deep", "y");
    Value("list\\holder\\inner", "z");
    Value("list\\holder", "w");
    const std::string base = "HKCU\\" + Key("list");
    CleanRegistryKey(base, job, [&base](const std::string& key, const std::string* value) {
        if (value != nullptr) return key == base && *value == "kept";
        return key == base + "\\spared" || key == base + "\\holder\\inner";
    });
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, Key("list"), "gone"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, Key("list"), "kept"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, Key("list\\spared\\deep"), "y"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, Key("list\\holder\\inner"), "z"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, Key("list\\holder"), "w"));
}

TEST_F(RegistryCleanup, AMissingKeyIsNotAnError)
{
    CleanRegistryKey("HKCU\\" + Key("never\\created"), job);
    CleanRegistryKey("HKCU\\" + Key("never") + "|value", job);
    EXPECT_TRUE(job.sink.events.empty());
    EXPECT_FALSE(KeyExists("never"));
}

TEST(RegistryPathParsing, SplitsRootKeyPathAndValueName)
{
    RegistryPath path = ParseRegistryPath("HKLM\\Software\\A\\B|Name|With|Bars");
    EXPECT_EQ(path.root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(path.keyPath, "Software\\A\\B");
    EXPECT_TRUE(path.hasValueName);
    EXPECT_EQ(path.valueName, "Name|With|Bars");

    path = ParseRegistryPath("HKCU/Software/Mixed\\Seps");
    EXPECT_EQ(path.root, HKEY_CURRENT_USER);
    EXPECT_EQ(path.keyPath, "Software/Mixed\\Seps");
    EXPECT_FALSE(path.hasValueName);
}
