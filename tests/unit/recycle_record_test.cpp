// The Recycle Bin's "$I" records of both versions, whole and damaged.
#include "plugin/engines/system/recyclerecord.h"
#include "support/recycle_records.h"

#include <gtest/gtest.h>

namespace {

const std::uint64_t kDeleted = 132619794007457792ULL;  // April 2021
const std::u16string kPath = u"C:\\Users\\me\\report.txt";

std::string Patched(std::string bytes, size_t at, char value)
{
    bytes.replace(at, 1, 1, value);
    return bytes;
}

}  // namespace

TEST(RecycleRecord, WholeRecordsOfBothVersionsAreRead)
{
    const std::u16string longest(259, u'x');  // the fixed field's room
    const struct {
        const char* what;
        std::string bytes;
        int version;
        std::u16string path;
    } cases[] = {
        {"version 1", RecordV1(4096, kDeleted, kPath), 1, kPath},
        {"version 1, longest path", RecordV1(1, kDeleted, longest), 1, longest},
        {"version 2", RecordV2(4096, kDeleted, kPath), 2, kPath},
        {"version 2, path past 260", RecordV2(7, kDeleted, std::u16string(1000, u'y')), 2, std::u16string(1000, u'y')},
    };
    for (const auto& c : cases) {
        RecycleRecord record;
        std::string why;
        ASSERT_TRUE(ParseRecycleRecord(c.bytes, &record, &why)) << c.what << ": " << why;
        EXPECT_EQ(record.version, c.version) << c.what;
        EXPECT_EQ(record.deletionTime, kDeleted) << c.what;
        EXPECT_EQ(record.originalPath, c.path) << c.what;
    }
    RecycleRecord record;
    ASSERT_TRUE(ParseRecycleRecord(RecordV2(4096, kDeleted, kPath), &record, nullptr));
    EXPECT_EQ(record.originalSize, 4096u);
}

TEST(RecycleRecord, DamagedRecordsAreRefusedWithTheirReason)
{
    const std::string v1 = RecordV1(10, kDeleted, kPath);
    const std::string v2 = RecordV2(10, kDeleted, kPath);
    const std::string v1Full = RecordV1(10, kDeleted, std::u16string(260, u'z'));  // no room for its NUL
    const struct {
        const char* what;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"empty", "", "shorter than its header"},
        {"cut in the header", v2.substr(0, 20), "shorter than its header"},
        {"version 2 without its length", v2.substr(0, 26), "shorter than its header"},
        {"version 3", Patched(v2, 0, 3), "unknown version"},
        {"version in the high bytes", Patched(v2, 7, 1), "unknown version"},
        {"version 1 cut short", v1.substr(0, 543), "not the size of a version 1 record"},
        {"version 1 with bytes after", v1 + "x", "not the size of a version 1 record"},
        {"version 1 path without a NUL", v1Full, "path without an end"},
        {"version 2 cut short", v2.substr(0, v2.size() - 2), "path length does not match the record's size"},
        {"version 2 length of zero", Patched(Patched(v2, 24, 0), 25, 0), "path length does not match the record's size"},
        {"version 2 length past the end", Patched(v2, 27, 0x7F), "path length does not match the record's size"},
        {"version 2 NUL inside the path", Patched(v2, 30, 0), "path does not end where its length says"},
        {"version 2 last character not NUL", Patched(v2, v2.size() - 2, 'q'), "path does not end where its length says"},
        {"no deletion time", RecordV2(10, 0, kPath), "no deletion time"},
        {"empty path", RecordV2(10, kDeleted, u""), "no original path"},
        {"version 1 empty path", RecordV1(10, kDeleted, u""), "no original path"},
    };
    for (const auto& c : cases) {
        RecycleRecord record;
        std::string why;
        EXPECT_FALSE(ParseRecycleRecord(c.bytes, &record, &why)) << c.what;
        EXPECT_EQ(why, c.reason) << c.what;
        EXPECT_EQ(record.version, 0) << c.what << ": nothing is filled in";
    }
}
