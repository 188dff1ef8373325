// The counts a job reports and how the records put them into words.
#include "common/cleanupcounts.h"

#include <gtest/gtest.h>

TEST(CleanupCounts, TravelAsTextAndOnlyWellFormedTextIsRead)
{
    CleanupCounts counts;
    counts.files = 1234;
    counts.bytes = 59454464;
    counts.folders = 3;
    counts.cookies = 7;
    counts.leftForRestart = 2;
    counts.failed = 1;
    CleanupCounts read;
    ASSERT_TRUE(DecodeCleanupCounts(EncodeCleanupCounts(counts), &read));
    EXPECT_TRUE(read == counts);

    const std::string text = EncodeCleanupCounts(counts);
    for (const std::string& damaged : {std::string(""), text + ";", text.substr(0, text.size() - 1) + "x",
                                       "files=-1" + text.substr(text.find(';')), "bytes=1" + text.substr(text.find(';')),
                                       text.substr(0, text.rfind(';'))}) {
        CleanupCounts untouched;
        untouched.files = 42;
        EXPECT_FALSE(DecodeCleanupCounts(damaged, &untouched)) << damaged;
        EXPECT_EQ(untouched.files, 42) << damaged;
    }
    // A plug-in from before the system's stores were counted writes none;
    // the run's own count of items it did not start never travels.
    counts.stores = 1;
    counts.notCleaned = 5;
    const std::string withStores = EncodeCleanupCounts(counts);
    EXPECT_NE(withStores.find(";stores=1;"), std::string::npos) << withStores;
    EXPECT_EQ(withStores.find("not cleaned"), std::string::npos) << withStores;
    std::string older = withStores;
    older.erase(older.find("stores=1;"), 9);
    for (const std::string& readable : {withStores, older}) {
        CleanupCounts decoded;
        ASSERT_TRUE(DecodeCleanupCounts(readable, &decoded)) << readable;
        EXPECT_EQ(decoded.stores, readable == older ? 0 : 1);
        EXPECT_EQ(decoded.notCleaned, 0);
    }
    counts.stores = 0;
    counts.notCleaned = 0;
    CleanupCounts sum = counts;
    sum += counts;
    EXPECT_EQ(sum.files, 2468);
    EXPECT_EQ(sum.bytes, 2 * 59454464LL);
}

TEST(CleanupCounts, AreSaidInWordsThatFitARecord)
{
    CleanupCounts counts;
    EXPECT_EQ(DescribeCleanupCounts(counts, false), "Removed nothing.");
    EXPECT_EQ(DescribeCleanupCounts(counts, true), "Would remove nothing.");
    counts.files = 1234;
    counts.bytes = 59454464;
    counts.folders = 3;
    counts.leftForRestart = 2;
    EXPECT_EQ(DescribeCleanupCounts(counts, false),
              "Removed 1,234 files (56.7 MB), 3 folders; 2 files left for deletion at restart.");
    EXPECT_EQ(DescribeCleanupCounts(counts, true),
              "Would remove 1,234 files (56.7 MB), 3 folders; 2 files would be left for deletion at restart.");
    CleanupCounts one;
    one.files = 1;
    one.bytes = 1;
    one.registryKeys = 1;
    one.skipped = 1;
    EXPECT_EQ(DescribeCleanupCounts(one, false), "Removed 1 file (1 byte), 1 registry key; 1 skipped for safety.");
    CleanupCounts system;
    system.stores = 2;
    system.notCleaned = 1;
    EXPECT_EQ(DescribeCleanupCounts(system, false),
              "Removed 2 system stores' contents; 1 item not cleaned without administrator rights.");

    CleanupCounts huge;
    for (long long* field : {&huge.files, &huge.folders, &huge.registryValues, &huge.registryKeys, &huge.cacheEntries,
                             &huge.cookies, &huge.rows, &huge.operations, &huge.stores, &huge.leftForRestart,
                             &huge.skipped, &huge.failed, &huge.notCleaned})
        *field = 123456789012LL;
    huge.bytes = 1LL << 50;
    EXPECT_LE(DescribeCleanupCounts(huge, true).size(), 199u);
    EXPECT_LE(DescribeCleanupCounts(huge, false, 180).size(), 180u);
    EXPECT_EQ(ByteSize(1023), "1,023 bytes");
    EXPECT_EQ(ByteSize(1024), "1.0 KB");
    EXPECT_EQ(ByteSize(3LL << 30), "3.0 GB");
}
