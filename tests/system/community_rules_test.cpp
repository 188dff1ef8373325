// The community rules files beside the program and in the user's data
// folder, as "Tidewhistle.exe /list" shows the catalogue with them.
#include "support/program_runner.h"
#include "support/system_test.h"
#include "support/text_file.h"

#include "common/handles.h"
#include "rules/systemfolders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kDetectKey[] = "Software\\TidewhistleRulesTest\\DetectedApp";

const char kProgramRules[] =
    "; the administrators' rules\r\n"
    "[Tw Registry Detected *]\r\n"
    "LangSecRef=3021\r\n"
    "Detect=HKCU\\Software\\TidewhistleRulesTest\\DetectedApp\r\n"
    "FileKey1=%LocalAppData%\\TwRegistryApp|*.log\r\n"
    "\r\n"
    "[Tw File Detected *]\r\n"
    "Section=Test Tools\r\n"
    "DetectFile=%LocalAppData%\\TwRulesFileApp\\*.cfg\r\n"
    "FileKey1=%LocalAppData%\\TwRulesFileApp\\Cache|*.*\r\n"
    "\r\n"
    "[Tw Not Detected *]\r\n"
    "Section=Test Tools\r\n"
    "Detect=HKCU\\Software\\TidewhistleRulesTest\\MissingApp\r\n"
    "DetectFile=%LocalAppData%\\TwRulesMissingApp\r\n"
    "FileKey1=%LocalAppData%\\TwRulesMissingApp|*.tmp\r\n"
    "\r\n"
    "[Tw Refused *]\r\n"
    "Section=Test Tools\r\n"
    "FileKey1=%Documents%|*.*\r\n"
    "\r\n"
    "[Tw Warned *]\r\n"
    "Section=Test Tools\r\n"
    "Warning=This removes the \"saved\" layouts.\r\n"
    "FileKey1=%LocalAppData%\\TwWarnedApp|*.layout\r\n";

// The user's file: two of the same sections in another order, and one of its own.
const char kUserRules[] =
    "[Tw User Own *]\r\n"
    "Section=Test Tools\r\n"
    "FileKey1=%LocalAppData%\\TwUserApp|*.tmp\r\n"
    "[Tw Warned *]\r\n"
    "FileKey1=%LocalAppData%\\TwWarnedApp|*.bak\r\n"
    "[Tw Registry Detected *]\r\n"
    "FileKey1=%LocalAppData%\\TwRegistryApp|*.old\r\n";

class CommunityRules : public SystemTest {
protected:
    void SetUp() override
    {
        SystemTest::SetUp();
        dataFolder = dataParent.File("Tidewhistle");
        ASSERT_TRUE(MakeFolders(dataFolder + "\\Rules"));
        settings.SetString("DataFolder", dataFolder + "\\");
        ASSERT_TRUE(MakeFolders(folder.File("Rules")));
        ASSERT_TRUE(WriteWholeFile(folder.File("winapp2.ini"), kProgramRules));
        ASSERT_TRUE(WriteWholeFile(folder.File("Rules\\garbage.ini"), std::string("\x7f" "ELF\0\0\x01", 7)));
        ASSERT_TRUE(WriteWholeFile(dataFolder + "\\Rules\\mine.ini", kUserRules));

        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kDetectKey, "Version", "1"));
        detectedFolder = SystemKnownFolders().localAppData + "\\TwRulesFileApp";
        ASSERT_TRUE(MakeFolders(detectedFolder));
        ASSERT_TRUE(WriteWholeFile(detectedFolder + "\\app.cfg", "x"));
    }

    void TearDown() override
    {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\TidewhistleRulesTest");
        RemoveTree(detectedFolder);
    }

    // The listing's text, from the /list role's file.
    std::string List()
    {
        const std::string out = dataParent.File("catalogue.json");
        DWORD exitCode = 99;
        EXPECT_TRUE(RunToEnd(folder.Program(), {"/list", out}, 60000, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        std::string json;
        EXPECT_TRUE(ReadWholeFile(out, &json));
        return json;
    }

    ScratchFolder dataParent;
    std::string dataFolder;
    std::string detectedFolder;
};

// The object of the item with that name from that source: one a line.
std::string ObjectOf(const std::string& json, const std::string& name, const std::string& source)
{
    size_t start = 0;
    while (start < json.size()) {
        size_t end = json.find('\n', start);
        if (end == std::string::npos) end = json.size();
        const std::string line = json.substr(start, end - start);
        if (line.find("\"name\": \"" + name + "\"") != std::string::npos &&
            line.find("\"source\": \"" + source + "\"") != std::string::npos)
            return line;
        start = end + 1;
    }
    return std::string();
}

std::string IdIn(const std::string& object)
{
    const size_t at = object.find("\"id\": \"{");
    return at == std::string::npos ? std::string() : object.substr(at + 7, 38);
}

TEST_F(CommunityRules, TheListingShowsTheCatalogueAndEveryRulesEntryWithWhatBecameOfIt)
{
    const std::string json = List();
    ASSERT_EQ(json.substr(0, 2), "[\n") << json;
    ASSERT_EQ(json.substr(json.size() - 3), "\n]\n");

    struct Expected {
        std::string name, source, fields;
    };
    const Expected expected[] = {
        {"Internet Explorer", "catalogue", "\"group\": null, \"source\": \"catalogue\", \"place\": null, "
                                           "\"detected\": true, \"refused\": null, \"warning\": null}"},
        {"Cookies", "catalogue", "\"group\": \"Internet Explorer\", \"source\": \"catalogue\""},
        {"Community Rules", "rules", "\"group\": null, \"source\": \"rules\""},
        {"Applications", "rules", "\"group\": \"Community Rules\""},
        {"Tw Registry Detected", "winapp2.ini",
         "\"group\": \"Applications\", \"source\": \"winapp2.ini\", \"place\": \"program\", \"detected\": true, "
         "\"refused\": null, \"warning\": null}"},
        {"Tw File Detected", "winapp2.ini", "\"group\": \"Test Tools\", \"source\": \"winapp2.ini\", "
                                            "\"place\": \"program\", \"detected\": true, \"refused\": null"},
        {"Tw Not Detected", "winapp2.ini", "\"detected\": false, \"refused\": null"},
        {"Tw Refused", "winapp2.ini",
         "\"detected\": false, \"refused\": \"FileKey on line 20: it would delete documents in the Documents folder"},
        {"Tw Warned", "winapp2.ini", "\"refused\": null, \"warning\": \"This removes the \\\"saved\\\" layouts.\"}"},
        {"Tw User Own", "Rules\\\\mine.ini", "\"place\": \"user\", \"detected\": true, \"refused\": null"},
        {"Tw Warned", "Rules\\\\mine.ini", "\"refused\": \"also in winapp2.ini\""},
        {"Tw Registry Detected", "Rules\\\\mine.ini", "\"refused\": \"also in winapp2.ini\""},
        {"Rules\\\\garbage.ini", "Rules\\\\garbage.ini",
         "\"id\": null, \"name\": \"Rules\\\\garbage.ini\", \"group\": null, \"source\": \"Rules\\\\garbage.ini\", "
         "\"place\": \"program\", \"detected\": false, \"refused\": \"the file"},
    };
    for (const Expected& item : expected) {
        const std::string object = ObjectOf(json, item.name, item.source);
        EXPECT_NE(object.find(item.fields), std::string::npos) << item.name << " from " << item.source << ":\n"
                                                               << object << "\n"
                                                               << json;
    }
    // The same section name is the same item wherever it stands, in whichever file.
    const std::string programId = IdIn(ObjectOf(json, "Tw Warned", "winapp2.ini"));
    EXPECT_EQ(programId.size(), 38u);
    EXPECT_EQ(programId, IdIn(ObjectOf(json, "Tw Warned", "Rules\\\\mine.ini")));
    EXPECT_NE(programId, IdIn(ObjectOf(json, "Tw Refused", "winapp2.ini")));
}

// Runs "/list" with standard output and standard error redirected to files;
// the exit status, or 99 when the process had to be ended.
DWORD RunListingToStreams(const std::string& program, const ScratchFolder& scratch, std::string* out, std::string* err)
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    const std::string outPath = scratch.File("redirected.json"), errPath = scratch.File("redirected.err");
    UniqueHandle output(::CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    UniqueHandle error(::CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(output.IsValid() && error.IsValid());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    startup.hStdError = error.Get();
    std::string commandLine = QuotedCommandLine(program, {"/list"});
    PROCESS_INFORMATION started = {};
    if (!StartAgainIfWineFailed(commandLine, [&] {
            return ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                    &started);
        })) {
        return 99;
    }
    UniqueHandle process(started.hProcess), thread(started.hThread);
    DWORD exitCode = 99;
    // A box waiting for a person would hold the listing up for ever.
    if (::WaitForSingleObject(process.Get(), 30000) != WAIT_OBJECT_0) ::TerminateProcess(process.Get(), 99);
    else ::GetExitCodeProcess(process.Get(), &exitCode);
    output.Reset();
    error.Reset();
    EXPECT_TRUE(ReadWholeFile(outPath, out));
    EXPECT_TRUE(ReadWholeFile(errPath, err));
    return exitCode;
}

TEST_F(CommunityRules, TheListingGoesToStandardOutputWhenNoFileIsNamed)
{
    std::string json, errors;
    EXPECT_EQ(RunListingToStreams(folder.Program(), dataParent, &json, &errors), 0u);
    EXPECT_NE(ObjectOf(json, "Tw File Detected", "winapp2.ini").find("\"detected\": true"), std::string::npos)
        << json;
    EXPECT_EQ(errors, "");
}

TEST_F(CommunityRules, AListingWithoutAUsableDataFolderSaysWhyOnStandardErrorAndShowsNoBox)
{
    settings.SetString("DataFolder", "%UNDEFINED_TW_FOLDER%\\Tidewhistle", REG_EXPAND_SZ);
    std::string json, errors;
    EXPECT_EQ(RunListingToStreams(folder.Program(), dataParent, &json, &errors), 1u);
    EXPECT_EQ(json, "");
    EXPECT_EQ(errors, "The folder where Tidewhistle keeps your tasks and their history is set to "
                      "\"%UNDEFINED_TW_FOLDER%\\Tidewhistle\", which names no folder. Nothing was done. Please ask "
                      "your administrator to correct the DataFolder setting.\r\n");
}

TEST_F(CommunityRules, AListingThatCannotBeWrittenEndsWithStatusOne)
{
    DWORD exitCode = 99;
    ASSERT_TRUE(RunToEnd(folder.Program(), {"/list", dataParent.File("no such folder\\catalogue.json")}, 60000,
                         &exitCode));
    EXPECT_EQ(exitCode, 1u);
}

}  // namespace
