// A task that ticks community rules entries runs and previews them as it
// does any item: the run removes what the entry names, spares what its
// exclusions keep, and an entry the rules refuse never runs even when a
// task file names its id.
#include "support/program_runner.h"
#include "support/session_file.h"
#include "support/system_test.h"
#include "support/text_file.h"

#include "common/guid.h"
#include "rules/ruleid.h"
#include "rules/systemfolders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RulesTask : public SystemTest {
protected:
    void SetUp() override
    {
        SystemTest::SetUp();
        const std::string data = files.Path();
        ASSERT_TRUE(WriteWholeFile(folder.File("winapp2.ini"),
                                   "[Tw Task Entry *]\r\nSection=Test Tools\r\n"
                                   "FileKey1=" + data + "|*.log\r\n"
                                   "FileKey2=" + data + "\\cache|*|REMOVESELF\r\n"
                                   "ExcludeKey1=FILE|" + data + "|keep.log\r\n"
                                   "[Tw Refused Entry *]\r\nSection=Test Tools\r\nFileKey1=%Documents%|*.*\r\n"
                                   "[Tw Unticked Entry *]\r\nSection=Test Tools\r\nFileKey1=" + data + "|*.txt\r\n"));
        for (const char* name : {"a.log", "b.log", "keep.log", "note.txt", "cache\\x.bin"}) {
            ASSERT_TRUE(MakeFolders(files.File("cache")));
            ASSERT_TRUE(WriteWholeFile(files.File(name), "trace"));
        }
        canary = SystemKnownFolders().documents + "\\tw_rules_task_canary.docx";
        ASSERT_TRUE(WriteWholeFile(canary, "keep me"));
        folder.WriteInventory({{TestItemGuid(1), "Catalogue item", "Sweepkit.dll", "4D6A9D0C-84AA-457E-B3EA-BE99FFFA4FC2", ""}});
        folder.WriteTask(taskName, {GuidToString(RuleItemId("Tw Task Entry *")),
                                    GuidToString(RuleItemId("Tw Refused Entry *"))});
    }
    void TearDown() override { ::DeleteFileA(canary.c_str()); }

    static std::string Line(const std::vector<std::string>& messages, const std::string& start)
    {
        for (const std::string& message : messages)
            if (message.rfind(start, 0) == 0) return message;
        return std::string();
    }
    void ExpectKept() const
    {
        for (const char* name : {"keep.log", "note.txt"}) EXPECT_TRUE(FileExists(files.File(name))) << name;
        EXPECT_TRUE(FileExists(canary));
    }

    ScratchFolder files;
    std::string canary;
};

}  // namespace

TEST_F(RulesTask, APreviewCountsWhatTheRunThenRemovesAndARefusedEntryNeverRuns)
{
    DWORD exitCode = 1;
    ASSERT_TRUE(RunToEnd(folder.Program(), {"/preview", taskName}, 60000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    std::vector<RawSessionRecord> previewRecords;
    ASSERT_TRUE(ReadSessionFile(folder.PreviewSessionFile(taskName), &previewRecords));
    const std::vector<std::string> preview = Messages(previewRecords);
    for (const char* name : {"a.log", "b.log", "cache\\x.bin"}) EXPECT_TRUE(FileExists(files.File(name))) << name;
    ExpectKept();

    const std::vector<std::string> run = Messages(folder.RunTask(taskName));
    for (const char* name : {"a.log", "b.log", "cache\\x.bin", "cache"}) EXPECT_FALSE(FileExists(files.File(name))) << name;
    ExpectKept();

    for (const std::vector<std::string>* messages : {&preview, &run}) {
        EXPECT_NE(Line(*messages, "Job 'Tw Task Entry' finished."), "");
        EXPECT_EQ(Line(*messages, "Starting job: Tw Refused Entry"), "");
        EXPECT_EQ(Line(*messages, "Starting job: Tw Unticked Entry"), "");
    }
    const std::string previewTotals = Line(preview, "Preview totals: Would remove ");
    const std::string runTotals = Line(run, "Run totals: Removed ");
    EXPECT_NE(previewTotals.find("3 files"), std::string::npos) << previewTotals;
    EXPECT_EQ(previewTotals.substr(std::string("Preview totals: Would remove ").size()),
              runTotals.substr(std::string("Run totals: Removed ").size()));
}

// A ticked entry that the rules file no longer offers (refused, removed, or
// for another system) is named in a Warning and counted as not cleaned,
// never dropped without a word.
TEST_F(RulesTask, ATickedEntryTheCatalogueNoLongerOffersIsAWarningAndCounted)
{
    std::string rules;
    ASSERT_TRUE(ReadWholeFile(folder.File("winapp2.ini"), &rules));
    ASSERT_TRUE(WriteWholeFile(folder.File("winapp2.ini"), rules + "[Tw Other System Entry *]\r\nDetectOS=|5.1\r\n"
                                                                   "FileKey1=" + files.Path() + "|*.txt\r\n"));
    const std::vector<std::string> notOffered = {"Tw Refused Entry *", "Tw Gone Entry *", "Tw Other System Entry *"};
    std::vector<std::string> ticked = {GuidToString(RuleItemId("Tw Task Entry *"))};
    for (const std::string& name : notOffered) ticked.push_back(GuidToString(RuleItemId(name)));
    folder.WriteTask(taskName, ticked);

    const std::vector<RawSessionRecord> records = folder.RunTask(taskName);
    for (const std::string& name : notOffered) {
        const std::string id = "{" + GuidToString(RuleItemId(name)) + "}";
        bool warned = false;
        for (const RawSessionRecord& record : records)
            warned = warned || (record.type == 1 && record.message.find(id) != std::string::npos &&
                                record.message.find("is no longer offered") != std::string::npos);
        EXPECT_TRUE(warned) << name;
    }
    const std::string totals = Line(Messages(records), "Run totals: ");
    EXPECT_NE(totals.find("3 ticked items no longer offered"), std::string::npos) << totals;
    EXPECT_FALSE(FileExists(files.File("a.log")));
    ExpectKept();
}
