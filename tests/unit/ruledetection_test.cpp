// Detection of rules entries with the answers of one read kept: entries
// sharing a key or path are each answered, a path asked again has the
// system's answer, and the next read sees what changed.
#include "rules/ruledetection.h"

#include "common/strparse.h"
#include "rules/systemfolders.h"

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
    std::vector<bool> DetectedInOneRead(const std::string& text, const KnownFolders& folders = KnownFolders())
    {
        const RulesFile file = ParseRulesText(text, "t.ini");
        CDetectionLookups lookups;
        std::vector<bool> detected;
        for (const RuleEntry& entry : file.entries) {
            EXPECT_EQ(entry.refused, "") << entry.name;
            detected.push_back(RuleEntryDetected(entry, folders, lookups));
        }
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

// An entry for other systems, or for a browser that is not here, is not
// offered, whatever its other detection keys find.
TEST_F(RuleDetection, DetectOSAndSpecialDetectDecideBeforeTheOtherKeys)
{
    const RuleOsVersion running = RunningOsVersion();
    ASSERT_GT(running.major, 0);
    const std::string version = std::to_string(running.major) + "." + std::to_string(running.minor);
    KnownFolders folders;
    folders.appData = m_folder.File("Roaming");
    folders.localAppData = m_folder.File("Local");
    MakeFile("Roaming\\Mozilla\\Firefox\\profiles.ini");
    const std::string found = "DetectFile=%AppData%\\Mozilla";
    EXPECT_EQ(DetectedInOneRead(Entry("this system", "DetectOS=" + version + "|" + version) +
                                    Entry("from this one on", "DetectOS=" + version + "|") +
                                    Entry("only older ones", "DetectOS=|5.1") +
                                    Entry("only later ones", "DetectOS=99.0|\r\n" + found) +
                                    Entry("Firefox here", "SpecialDetect=DET_MOZILLA") +
                                    Entry("Opera not here", "SpecialDetect=DET_OPERA\r\n" + found) +
                                    Entry("Thunderbird not here", "SpecialDetect=det_thunderbird") +
                                    Entry("unknown", "SpecialDetect=DET_NOTHING_KNOWN"),
                                folders),
              (std::vector<bool>{true, true, false, false, true, false, false, false}));

    struct Case { const char* range; RuleOsVersion version; bool in; };
    const Case cases[] = {
        {"6.1|10.0", {6, 1}, true},  {"6.1|10.0", {6, 0}, false}, {"6.1|10.0", {10, 0}, true},
        {"6.1|10.0", {10, 1}, false}, {"|6.3", {6, 2}, true},      {"|6.3", {10, 0}, false},
        {"6.2|", {6, 3}, true},      {"6.2|", {5, 2}, false},     {"|", {5, 0}, true},
    };
    for (const Case& c : cases) {
        const RulesFile file = ParseRulesText(Entry("A", std::string("DetectOS=") + c.range), "t.ini");
        ASSERT_EQ(file.entries.size(), 1u);
        EXPECT_EQ(OsVersionInRange(file.entries[0].detectOS, c.version), c.in)
            << c.range << " " << c.version.major << "." << c.version.minor;
    }
}

// %Temp% is the folder the system gives the user's programs for their
// temporary files, wherever the user moved it.
TEST_F(RuleDetection, TempIsTheUsersOwnTemporaryFolder)
{
    const std::string moved = m_folder.File("Moved Temp");
    ASSERT_TRUE(MakeFolders(moved));
    char savedTmp[MAX_PATH] = {}, savedTemp[MAX_PATH] = {};
    const DWORD hadTmp = ::GetEnvironmentVariableA("TMP", savedTmp, MAX_PATH);
    const DWORD hadTemp = ::GetEnvironmentVariableA("TEMP", savedTemp, MAX_PATH);
    ::SetEnvironmentVariableA("TMP", moved.c_str());
    ::SetEnvironmentVariableA("TEMP", moved.c_str());
    const KnownFolders folders = SystemKnownFolders();
    ::SetEnvironmentVariableA("TMP", hadTmp != 0 ? savedTmp : nullptr);
    ::SetEnvironmentVariableA("TEMP", hadTemp != 0 ? savedTemp : nullptr);
    EXPECT_EQ(ToLowerAscii(folders.temp), ToLowerAscii(moved));
    EXPECT_EQ(ExpandRuleVariables("%Temp%\\App", folders), std::vector<std::string>{folders.temp + "\\App"});
}
