// The pure rules behind the modern browsers' items: which cookie hosts a
// kept site keeps, which sites the keep-list dialog offers, the strict
// reading of a stored keep list, and the profile names read from a
// browser's "Local State".
#include "common/codecs.h"
#include "common/cookiesites.h"
#include "plugin/jsonkeys.h"

#include <gtest/gtest.h>

TEST(KeptSites, ASiteKeepsItselfAndItsSubdomainsInAnyCaseAndNothingThatOnlyEndsLikeIt)
{
    const CKeptSites kept({"example.com", "Cookie:user@other.org/", ".Shop.Example.NET", "not a site", ""});
    for (const char* host : {"example.com", ".example.com", "www.example.com", "a.b.example.com", "WWW.Example.COM",
                             "shop.example.net", ".shop.example.net", "cart.shop.example.net"})
        EXPECT_TRUE(kept.Keeps(host)) << host;
    for (const char* host : {"notexample.com", ".notexample.com", "example.com.evil.net", "com", "example.net",
                             "other.org", "", ".", "xexample.com"})
        EXPECT_FALSE(kept.Keeps(host)) << host;
    EXPECT_FALSE(CKeptSites({}).Keeps("example.com"));
}

TEST(KeptSites, EntryNamesOfTheSystemBrowserAreNotSitesButNameTheirHost)
{
    EXPECT_TRUE(IsSiteEntry("example.com"));
    EXPECT_TRUE(IsSiteEntry(".example.com"));
    EXPECT_TRUE(IsSiteEntry("localhost"));
    for (const char* entry : {"Cookie:user@example.com/", "", ".", "a..b", "example.com.", "exa mple.com", "a/b",
                              "a\\b", "*.example.com"})
        EXPECT_FALSE(IsSiteEntry(entry)) << entry;
    EXPECT_EQ(HostOfCookieEntry("Cookie:user@Shop.Example.com/basket/"), "shop.example.com");
    EXPECT_EQ(HostOfCookieEntry("COOKIE:user@example.com"), "example.com");
    EXPECT_EQ(HostOfCookieEntry("Visited:user@example.com/"), "");
    EXPECT_EQ(HostOfCookieEntry("Cookie:no-at-sign/"), "");
}

TEST(KeptSites, TheDialogOffersEachSiteOnceWithItsSubdomainsFoldedIn)
{
    EXPECT_EQ(SitesOfHosts({".example.com", "www.example.com", "EXAMPLE.com", "accounts.google.com", ".google.com",
                            "www.bbc.co.uk", "notexample.com", "bad host", ""}),
              (StringList{"example.com", "google.com", "notexample.com", "www.bbc.co.uk"}));
    EXPECT_TRUE(SitesOfHosts({}).empty());
}

TEST(KeepListText, OnlyWhatTheConsoleWritesIsReadAndAnythingElseIsRefusedUntouched)
{
    StringList names{"before"};
    EXPECT_TRUE(TryDecodeStringList(EncodeStringList({"example.com", "Cookie:u@x/", ""}), names));
    EXPECT_EQ(names, (StringList{"before", "example.com", "Cookie:u@x/", ""}));
    StringList empty;
    EXPECT_TRUE(TryDecodeStringList("", empty));
    EXPECT_TRUE(empty.empty());
    for (const char* damaged : {"6162", "616200Z0", "6162000", "61620x00", "6b00", "  6100", "61 00"}) {
        StringList untouched{"x"};
        EXPECT_FALSE(TryDecodeStringList(damaged, untouched)) << damaged;
        EXPECT_EQ(untouched, StringList{"x"}) << damaged;
    }
}

TEST(LocalStateProfiles, TheMembersOfTheProfileCacheAreReadWhateverSurroundsThem)
{
    const std::string json = R"({"browser":{"x":[1,2.5e3,true,null,{"profile":{}}]},
        "profile" : { "info_cache" : { "Default" : {"name":"A \"q\""},
                                       "Profile 1" : {"n":[]}, "Pr\u00f6file\\2":{} },
                      "last_used":"Default"}})";
    StringList names{"kept"};
    ASSERT_TRUE(ReadJsonObjectNames(json, {"profile", "info_cache"}, names));
    EXPECT_EQ(names, (StringList{"kept", "Default", "Profile 1", "Pr\xc3\xb6" "file\\2"}));

    StringList none;
    EXPECT_TRUE(ReadJsonObjectNames(R"({"profile":{"info_cache":{}}})", {"profile", "info_cache"}, none));
    EXPECT_TRUE(none.empty());
}

TEST(LocalStateProfiles, DamagedOrDifferentlyShapedFilesAreRefused)
{
    for (const std::string& json :
         {std::string(R"({"profile":{"info_cache":{"Default":{}})"), std::string(R"({"profile":{"info_cache":[]}})"),
          std::string(R"({"profile":{}})"), std::string(""), std::string("{\"a\":tru}"),
          std::string(R"({"profile":{"info_cache":{"Default":{}}}} trailing)"),
          std::string(R"({"profile":{"info_cache":{"a":"b\q"}}})"), std::string(100000, '['),
          std::string("{\"profile\":{\"info_cache\":{\"a\n\":1}}}")}) {
        StringList names{"kept"};
        EXPECT_FALSE(ReadJsonObjectNames(json, {"profile", "info_cache"}, names)) << json.substr(0, 60);
        EXPECT_EQ(names, StringList{"kept"});
    }
}
