// Detection of rules entries with the answers of one read kept: entries
// sharing a key or path are each answered, a path asked again has the
// system's answer, and the next read sees what changed.
#include "rules/ruledetection.h"

#include "support/registry_fixture.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const char kTestKey[] = "Software\\TidewhistleTests\\RuleDetection";

class RuleDetection : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }

    // The entries of the text, each detected or not with one read's answers.
    std::vector<bool> DetectedInOneRead(const std::string& text)
    {
        const RulesFile file = ParseRulesText(text, "t.ini");
        CDetectionLookups lookups;
        std::vector<bool> detected;
        for (const RuleEntry& entry : file.entries) detected.push_back(RuleEntryDetected(entry, KnownFolders(), lookups));
        return detected;
    }

    // A file of the scratch folder, made with the folders above it.
    void MakeFile(const std::string& name)
    {
        const std::string path = m_folder.File(name);
        ASSERT_TRUE(MakeFolders(path.substr(0, path.find_last_of('\\'))));
        ASSERT_TRUE(WriteWholeFile(path, "x"));
    }

    ScratchFolder m_folder;
};

std::string Entry(const std::string& name, const std::string& detect)
{
    return "[" + name + "]\r\n" + detect + "\r\nRegKey1=HKCU\\Software\\Vendor\\App\r\n";
}

}  // namespace

TEST_F(RuleDetection, EntriesSharingAKeyOrPathAreEachAnswered)
{
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Shared", "v", "x"));
    MakeFile("app\\a.cfg");
    const std::string key = "Detect=HKCU\\" + std::string(kTestKey) + "\\Shared";
    const std::string missingKey = "Detect=HKCU\\" + std::string(kTestKey) + "\\Missing";
    const std::string files = "DetectFile=" + m_folder.File("app\\*.cfg");
    const std::string missingFiles = "DetectFile=" + m_folder.File("gone\\*.cfg");
    EXPECT_EQ(DetectedInOneRead(Entry("a", key) + Entry("b", key) + Entry("c", missingKey) + Entry("d", missingKey) +
                                Entry("e", files) + Entry("f", files) + Entry("g", missingFiles) +
                                Entry("h", missingFiles) + Entry("i", missingFiles + "\r\n" + key)),
              (std::vector<bool>{true, true, false, false, true, true, false, false, true}));
}

TEST_F(RuleDetection, PathsAreAnsweredAsTheSystemFindsThem)
{
    MakeFile("app\\a.cfg");
    struct Case { const char* path; bool exists; };
    const Case cases[] = {
        {"app\\a.cfg", true},          {"app\\b.cfg", false},        {"app\\*.cfg", true},
        {"app\\*.txt", false},         {"app\\?.cfg", true},         {"gone\\*.cfg", false},
        {"gone\\deeper\\*.cfg", false}, {"*\\a.cfg", false},          {"app\\gone\\..\\*.cfg", true},
        {"gone\\..\\app\\*.cfg", true}, {"app\\.\\*.cfg", true},      {"app/*.cfg", true},
    };
    CDetectionLookups lookups;
    for (const Case& c : cases) EXPECT_EQ(lookups.PathExists(m_folder.File(c.path)), c.exists) << c.path;
    // Asked again within the read, the answers are the same.
    for (const Case& c : cases) EXPECT_EQ(lookups.PathExists(m_folder.File(c.path)), c.exists) << c.path;
}

TEST_F(RuleDetection, TheNextReadSeesWhatWasMadeSinceTheLast)
{
    const std::string text = Entry("key", "Detect=HKCU\\" + std::string(kTestKey) + "\\Later") +
                             Entry("file", "DetectFile=" + m_folder.File("later\\*.cfg"));
    EXPECT_EQ(DetectedInOneRead(text), (std::vector<bool>{false, false}));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Later", "v", "x"));
    MakeFile("later\\a.cfg");
    EXPECT_EQ(DetectedInOneRead(text), (std::vector<bool>{true, true}));
}
