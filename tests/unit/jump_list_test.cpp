// The DestList header of a jump list: its pinned count, or why it says none.
#include "plugin/engines/system/jumplist.h"
#include "support/jump_list_files.h"

#include <gtest/gtest.h>

namespace {

// A version 1 header as written byte by byte: 5 entries, 2 pinned.
const char kWrittenByHand[] = "\x01\x00\x00\x00" "\x05\x00\x00\x00" "\x02\x00\x00\x00" "\x00\x00\x80\x3f"
                              "\x05\x00\x00\x00\x00\x00\x00\x00" "\x09\x00\x00\x00\x00\x00\x00\x00";

}  // namespace

TEST(DestListHeader, GivesThePinnedCountOrTheReasonThereIsNone)
{
    const std::string header = DestListHeader(7, 3);
    const struct {
        const char* what;
        std::string bytes;
        bool read;
        std::uint32_t pinned;
        const char* reason;
    } cases[] = {
        {"no pins", DestListHeader(7, 0), true, 0, ""},
        {"three pins", header, true, 3, ""},
        {"written by hand", std::string(kWrittenByHand, kDestListHeaderSize), true, 2, ""},
        {"every entry pinned, entries after the header", DestListHeader(2, 2) + std::string(300, 'e'), true, 2, ""},
        {"empty", "", false, 0, "its DestList is shorter than its header"},
        {"one byte short", header.substr(0, kDestListHeaderSize - 1), false, 0, "its DestList is shorter than its header"},
        {"pins past the entries", DestListHeader(1, 2), false, 0, "its DestList counts more pinned entries than entries"},
    };
    for (const auto& c : cases) {
        std::uint32_t pinned = 99;
        std::string why;
        EXPECT_EQ(ReadPinnedCount(c.bytes, &pinned, &why), c.read) << c.what;
        EXPECT_EQ(why, c.reason) << c.what;
        if (c.read) EXPECT_EQ(pinned, c.pinned) << c.what;
        else EXPECT_EQ(pinned, 99u) << c.what << ": a refusal gives no count";
    }
}
