// A rules file the user adds: judged before it is copied, copied into the
// Rules folder of the data folder in one step, never half written.
#include "runtime/rulesfilecopy.h"

#include "common/handles.h"
#include "rules/systemfolders.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"
#include "support/unix_side.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <functional>

namespace {

const char kRules[] =
    "[Tw Added Cache *]\r\nSection=Test Tools\r\nFileKey1=%LocalAppData%\\TwAddedApp|*.tmp\r\n"
    "[Tw Added Warned *]\r\nSection=Test Tools\r\nWarning=Removes the layouts.\r\n"
    "FileKey1=%LocalAppData%\\TwAddedApp|*.layout\r\n";

class RulesFileCopyTest : public ::testing::Test {
protected:
    RulesFileCopy Prepare(const std::string& path)
    {
        return PrepareRulesFileCopy(path, data.Path(), RulesPlace::User, SystemKnownFolders());
    }

    ScratchFolder chosen;  // where the user's file is
    ScratchFolder data;    // the user's data folder
};

TEST_F(RulesFileCopyTest, ANameTheRulesEntryJobWouldNotTakeIsRefusedBeforeTheFileIsRead)
{
    for (const char* name : {"notes.txt", "CON.ini", "rules.ini.bak", "a:b.ini", "Rules.INI2"}) {
        const RulesFileCopy copy = Prepare(chosen.File(name));
        EXPECT_NE(copy.problem.find("is not a plain file name ending in .ini"), std::string::npos) << name << ": "
                                                                                                   << copy.problem;
        EXPECT_NE(WriteRulesFileCopy(copy), "") << name;
    }
    EXPECT_FALSE(FileExists(data.File("Rules"))) << "nothing was made";
}

TEST_F(RulesFileCopyTest, AFileTheReaderRefusesWholeIsNotCopied)
{
    struct Case {
        const char* name;
        std::string bytes;
        const char* problem;
    };
    const Case cases[] = {
        {"garbage.ini", std::string("\x7f" "ELF\0\0\x01", 7), "the file"},
        {"missing.ini", "", "the file cannot be opened"},
    };
    for (const Case& c : cases) {
        if (!c.bytes.empty()) {
            ASSERT_TRUE(WriteWholeFile(chosen.File(c.name), c.bytes));
        }
        const RulesFileCopy copy = Prepare(chosen.File(c.name));
        EXPECT_EQ(copy.problem.rfind(c.problem, 0), 0u) << c.name << ": " << copy.problem;
        EXPECT_EQ(WriteRulesFileCopy(copy), copy.problem);
        EXPECT_FALSE(FileExists(data.File("Rules\\") + c.name)) << c.name;
    }
}

TEST_F(RulesFileCopyTest, TheCopyLandsInTheRulesFolderUnderItsNameWithItsEntriesJudged)
{
    ASSERT_TRUE(WriteWholeFile(chosen.File("mine.ini"), kRules));
    const RulesFileCopy copy = Prepare(chosen.File("mine.ini"));
    ASSERT_EQ(copy.problem, "");
    EXPECT_FALSE(copy.replaces);
    EXPECT_EQ(copy.source.fileName, "Rules\\mine.ini");
    EXPECT_EQ(copy.source.place, RulesPlace::User);
    ASSERT_EQ(copy.source.entries.size(), 2u);
    EXPECT_EQ(copy.source.entries[1].warning, "Removes the layouts.");

    ASSERT_EQ(WriteRulesFileCopy(copy), "");
    std::string copied;
    ASSERT_TRUE(ReadWholeFile(data.File("Rules\\mine.ini"), &copied));
    EXPECT_EQ(copied, kRules);
    EXPECT_FALSE(FileExists(data.File("Rules\\mine.ini.copying")));
    EXPECT_TRUE(Prepare(chosen.File("mine.ini")).replaces) << "a second copy would replace the first";
}

TEST_F(RulesFileCopyTest, AReplacementThatCannotTakeTheNameLeavesTheOldFileWhole)
{
    ASSERT_TRUE(MakeFolders(data.File("Rules")));
    ASSERT_TRUE(WriteWholeFile(data.File("Rules\\mine.ini"), "[Old *]\r\nFileKey1=%Temp%\\Old|*.tmp\r\n"));
    ASSERT_TRUE(WriteWholeFile(chosen.File("mine.ini"), kRules));
    const RulesFileCopy copy = Prepare(chosen.File("mine.ini"));
    ASSERT_EQ(copy.problem, "");
    EXPECT_TRUE(copy.replaces);
    {
        // Another program holds the old file without letting it be replaced.
        UniqueHandle holder(::CreateFileA(data.File("Rules\\mine.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_NE(WriteRulesFileCopy(copy).find("cannot take the name"), std::string::npos);
    }
    std::string kept;
    ASSERT_TRUE(ReadWholeFile(data.File("Rules\\mine.ini"), &kept));
    EXPECT_EQ(kept, "[Old *]\r\nFileKey1=%Temp%\\Old|*.tmp\r\n");
    EXPECT_FALSE(FileExists(data.File("Rules\\mine.ini.copying")));

    ASSERT_EQ(WriteRulesFileCopy(copy), "");
    ASSERT_TRUE(ReadWholeFile(data.File("Rules\\mine.ini"), &kept));
    EXPECT_EQ(kept, kRules);
}

TEST_F(RulesFileCopyTest, ARulesFolderThatIsAFileOrALinkIsNotWrittenThrough)
{
    ScratchFolder outside;
    ASSERT_TRUE(WriteWholeFile(chosen.File("mine.ini"), kRules));
    struct Case {
        const char* what;
        std::function<bool()> plant;
    };
    const Case cases[] = {
        {"a file", [&] { return WriteWholeFile(data.File("Rules"), "not a folder"); }},
        {"a link to another folder", [&] { return MakeFolderLink(outside.Path(), data.File("Rules")); }},
    };
    for (const Case& c : cases) {
        ::DeleteFileA(data.File("Rules").c_str());
        ::RemoveDirectoryA(data.File("Rules").c_str());
        ASSERT_TRUE(c.plant()) << c.what;
        EXPECT_NE(WriteRulesFileCopy(Prepare(chosen.File("mine.ini"))).find("is not a plain folder of yours"),
                  std::string::npos)
            << c.what;
        EXPECT_FALSE(FileExists(outside.File("mine.ini"))) << c.what;
        EXPECT_FALSE(FileExists(outside.File("mine.ini.copying"))) << c.what;
    }
}

TEST_F(RulesFileCopyTest, ALinkStandingAtTheCopysNameIsReplacedNotWrittenThrough)
{
    ScratchFolder outside;
    ASSERT_TRUE(WriteWholeFile(outside.File("victim.ini"), "someone else's"));
    ASSERT_TRUE(MakeFolders(data.File("Rules")));
    ASSERT_TRUE(MakeFileLink(outside.File("victim.ini"), data.File("Rules"), "mine.ini"));
    ASSERT_TRUE(WriteWholeFile(chosen.File("mine.ini"), kRules));
    const RulesFileCopy copy = Prepare(chosen.File("mine.ini"));
    ASSERT_EQ(copy.problem, "");
    ASSERT_EQ(WriteRulesFileCopy(copy), "");
    std::string content;
    ASSERT_TRUE(ReadWholeFile(outside.File("victim.ini"), &content));
    EXPECT_EQ(content, "someone else's");
    ASSERT_TRUE(ReadWholeFile(data.File("Rules\\mine.ini"), &content));
    EXPECT_EQ(content, kRules);
}

}  // namespace
