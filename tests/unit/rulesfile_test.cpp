// Reading the community rules format: what each key gives, what refuses an
// entry and what refuses the whole file.
#include "rules/rulesfile.h"

#include <gtest/gtest.h>

namespace {

std::string Join(const std::vector<std::string>& items, const char* separator)
{
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

// One line per part of the entry that is set, so that a case states all of it.
std::string Describe(const RuleEntry& entry)
{
    std::string text = "group=" + entry.group;
    if (!entry.detectKeys.empty()) text += "\ndetect=" + Join(entry.detectKeys, ",");
    if (!entry.detectFiles.empty()) text += "\ndetectfile=" + Join(entry.detectFiles, ",");
    if (entry.detectOS.present) {
        const auto version = [](bool has, const RuleOsVersion& v) {
            return has ? std::to_string(v.major) + "." + std::to_string(v.minor) : std::string();
        };
        text += "\ndetectos=" + version(entry.detectOS.hasLowest, entry.detectOS.lowest) + "|" +
                version(entry.detectOS.hasHighest, entry.detectOS.highest);
    }
    if (!entry.specialDetect.empty()) text += "\nspecialdetect=" + entry.specialDetect;
    if (!entry.warning.empty()) text += "\nwarning=" + entry.warning;
    for (const RuleFileKey& key : entry.fileKeys) {
        text += "\nfile=" + key.path + "|" + Join(key.masks, ",") + (key.removeSelf ? "|removeself" : key.recurse ? "|recurse" : "");
    }
    for (const RuleRegKey& key : entry.regKeys) text += "\nreg=" + key.key + (key.hasValueName ? "|" + key.valueName : "");
    for (const RuleExclude& exclude : entry.excludes) {
        const char* kind = exclude.kind == RuleExcludeKind::File ? "FILE" : exclude.kind == RuleExcludeKind::Path ? "PATH" : "REG";
        text += std::string("\nexclude=") + kind + ":" + exclude.path + (exclude.masks.empty() ? "" : "|" + Join(exclude.masks, ","));
    }
    if (!entry.refused.empty()) text += "\nrefused=" + entry.refused;
    return text;
}

RuleEntry OnlyEntry(const std::string& text)
{
    const RulesFile file = ParseRulesText(text, "test.ini");
    EXPECT_EQ(file.refused, "");
    EXPECT_EQ(file.entries.size(), 1u);
    return file.entries.empty() ? RuleEntry() : file.entries[0];
}

std::string Utf16LeWithMark(const std::string& ascii)
{
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) bytes += std::string{c, '\0'};
    return bytes;
}

}  // namespace

TEST(RulesFileText, EachFeatureOfTheFormatIsRead)
{
    struct Case { const char* feature; const char* text; const char* expected; };
    const Case cases[] = {
        {"detection keys", "[A *]\nLangSecRef=3021\nDetect=HKCU\\Software\\A\nDetect2=HKLM\\Software\\A\nDetectFile=%AppData%\\A\nFileKey1=%AppData%\\A|*.log",
         "group=Applications\ndetect=HKCU\\Software\\A,HKLM\\Software\\A\ndetectfile=%AppData%\\A\nfile=%AppData%\\A|*.log"},
        {"masks, blanks and empty masks", "[A *]\nSection=Games\nFileKey1 = %AppData%\\A | *.log; *.tmp;;x?.dat ",
         "group=Games\nfile=%AppData%\\A|*.log,*.tmp,x?.dat"},
        {"RECURSE and REMOVESELF in any case", "[A *]\nFileKey1=%AppData%\\A|*|RECURSE\nFileKey2=%AppData%\\B|*|removeself",
         "group=Other\nfile=%AppData%\\A|*|recurse\nfile=%AppData%\\B|*|removeself"},
        {"numbered keys in any order, keys in any case", "[A *]\nfilekey10=%AppData%\\C|*\nFILEKEY2=%AppData%\\B|*\nFileKey1=%AppData%\\A|*",
         "group=Other\nfile=%AppData%\\A|*\nfile=%AppData%\\B|*\nfile=%AppData%\\C|*"},
        {"registry keys and values", "[A *]\nRegKey1=HKCU\\Software\\A\\Recent\nRegKey2=HKCU\\Software\\A|LastPath",
         "group=Other\nreg=HKCU\\Software\\A\\Recent\nreg=HKCU\\Software\\A|LastPath"},
        {"exclusions of each kind", "[A *]\nFileKey1=%AppData%\\A|*|RECURSE\nExcludeKey1=FILE|%AppData%\\A\\|keep.db;keep2.db\nExcludeKey2=path|%AppData%\\A\\Cfg\\\nExcludeKey3=REG|HKCU\\Software\\A|Keep",
         "group=Other\nfile=%AppData%\\A|*|recurse\nexclude=FILE:%AppData%\\A\\|keep.db,keep2.db\nexclude=PATH:%AppData%\\A\\Cfg\\\nexclude=REG:HKCU\\Software\\A|Keep"},
        {"a FILE exclusion naming its file without a | before it", "[A *]\nFileKey1=%AppData%\\A|*\nExcludeKey1=FILE|%AppData%\\A\\keep.db",
         "group=Other\nfile=%AppData%\\A|*\nexclude=FILE:%AppData%\\A|keep.db"},
        {"the systems and browser the entry is for", "[A *]\nDetectOS=6.1|10\nSpecialDetect=det_mozilla\nFileKey1=%AppData%\\A|*",
         "group=Other\ndetectos=6.1|10.0\nspecialdetect=DET_MOZILLA\nfile=%AppData%\\A|*"},
        {"open ends of DetectOS", "[A *]\nDetectOS=|6.3\nFileKey1=%AppData%\\A|*", "group=Other\ndetectos=|6.3\nfile=%AppData%\\A|*"},
        {"variables of the format", "[A *]\nFileKey1=%LocalLowAppData%\\A|*\nFileKey2=%ProgramFiles%\\A\\Logs|*.log\nFileKey3=%CommonAppData%\\A|*.tmp",
         "group=Other\nfile=%LocalLowAppData%\\A|*\nfile=%ProgramFiles%\\A\\Logs|*.log\nfile=%CommonAppData%\\A|*.tmp"},
        {"wildcard path parts", "[A *]\nFileKey1=%LocalAppData%\\Vendor\\App*\\*\\Cache|*|RECURSE",
         "group=Other\nfile=%LocalAppData%\\Vendor\\App*\\*\\Cache|*|recurse"},
        {"warning, comments, Section over LangSecRef, ignored keys", "; about A\n[A *]\nLangSecRef=3021\nSection=Tools\nDefault=False\nWarning=This deletes A's history.\n\nFileKey1=%AppData%\\A|*.log",
         "group=Tools\nwarning=This deletes A's history.\nfile=%AppData%\\A|*.log"},
    };
    for (const Case& c : cases) EXPECT_EQ(Describe(OnlyEntry(c.text)), c.expected) << c.feature;
}

TEST(RulesFileText, LangSecRefNumbersNameTheirGroupsAndAnUnknownOneIsOther)
{
    const std::pair<const char*, const char*> groups[] = {
        {"3021", "Applications"}, {"3022", "Internet"}, {"3023", "Multimedia"}, {"3024", "Utilities"},
        {"3025", "Windows"}, {"3026", "Firefox"}, {"3029", "Google Chrome"}, {"3041", "Other"}, {"x", "Other"},
    };
    for (const auto& group : groups) EXPECT_EQ(GroupOfLangSecRef(group.first), group.second) << group.first;
}

TEST(RulesFileText, AMalformedKeyRefusesItsEntryWithTheReasonAndTheOthersStay)
{
    struct Case { const char* key; const char* reason; };
    const Case cases[] = {
        {"FileKey1=%AppData%\\A", "FileKey1 on line 3: has no | between its folder and its file masks"},
        {"FileKey1=%AppData%\\A|", "FileKey1 on line 3: names no file mask"},
        {"FileKey1=|*.log", "FileKey1 on line 3: names no folder"},
        {"FileKey1=%AppData%\\A|*|RECURSIVE", "FileKey1 on line 3: has an unknown flag \"RECURSIVE\" (RECURSE or REMOVESELF)"},
        {"FileKey1=%AppData%\\A|*|RECURSE|REMOVESELF", "FileKey1 on line 3: has more than one | after its file masks"},
        {"FileKey1=%MyFolder%\\A|*", "FileKey1 on line 3: unknown variable %MyFolder%"},
        {"FileKey1=%AppData\\A|*", "FileKey1 on line 3: a % without its closing % in %AppData\\A"},
        {"RegKey1=HKCU\\Software\\A|", "RegKey1 on line 3: names an empty value after |"},
        {"ExcludeKey1=DIR|%AppData%\\A", "ExcludeKey1 on line 3: has an unknown kind \"DIR\" (FILE, PATH or REG)"},
        {"ExcludeKey1=%AppData%\\A", "ExcludeKey1 on line 3: has no | after its kind (FILE, PATH or REG)"},
        {"ExcludKey1=PATH|%AppData%\\A", "unknown key ExcludKey1 on line 3"},
        {"DetectFile=%Nowhere%\\A", "DetectFile on line 3: unknown variable %Nowhere%"},
        {"ExcludeKey1=FILE|%AppData%\\A\\", "ExcludeKey1 on line 3: names no file to keep (FILE|<folder>|<names>)"},
        {"ExcludeKey1=FILE|keep.db", "ExcludeKey1 on line 3: names no file to keep (FILE|<folder>|<names>)"},
        {"DetectOS=6.1", "DetectOS on line 3: is not <lowest>|<highest> (6.1)"},
        {"DetectOS=6.x|", "DetectOS on line 3: has a version that is not a Windows version such as 6.1 (6.x|)"},
        {"just words", "line 3 is neither a key nor a comment"},
    };
    for (const Case& c : cases) {
        const std::string text = std::string("[A *]\nFileKey9=%AppData%\\Fine|*.log\n") + c.key + "\n[B *]\nFileKey1=%AppData%\\B|*.log\n";
        const RulesFile file = ParseRulesText(text, "test.ini");
        ASSERT_EQ(file.entries.size(), 2u) << c.key;
        EXPECT_EQ(file.entries[0].refused, c.reason) << c.key;
        EXPECT_EQ(file.entries[1].refused, "") << c.key;
    }
    EXPECT_EQ(OnlyEntry("[A *]\nDetect=HKCU\\Software\\A\n").refused, "it names nothing to delete (no FileKey or RegKey)");
}

TEST(RulesFileText, ALaterSectionOfTheSameNameInAnyCaseIsRefusedAndTheFirstKept)
{
    const RulesFile file = ParseRulesText("[A *]\nFileKey1=%AppData%\\A|*.log\n\n[a *]\nFileKey1=%AppData%\\B|*\n", "t.ini");
    ASSERT_EQ(file.entries.size(), 2u);
    EXPECT_EQ(file.entries[0].refused, "");
    EXPECT_EQ(file.entries[1].name, "a *");
    EXPECT_EQ(file.entries[1].line, 4);
    EXPECT_EQ(file.entries[1].refused, "duplicate section (first on line 1)");
}

TEST(RulesFileText, LinesOutsideAnUsableSectionAreProblemsOfTheFile)
{
    const RulesFile file = ParseRulesText("Version=1\n[]\nFileKey1=C:\\x\\y|*\n[A *]\r\nFileKey1=%AppData%\\A|*.log\r\n", "rules.ini");
    EXPECT_EQ(Join(file.problems, "\n"),
              "rules.ini:1: outside any section; not read\n"
              "rules.ini:2: a section line without a name in brackets; its keys are not read\n"
              "rules.ini:3: outside any section; not read");
    ASSERT_EQ(file.entries.size(), 1u);
    EXPECT_EQ(file.entries[0].fileKeys[0].line, 5);
}

TEST(RulesFileText, AFileThatIsNotTextOrTooLargeIsRefusedWholeWithNoEntries)
{
    const std::string entry = "[A *]\nFileKey1=%AppData%\\A|*.log\n";
    struct Case { std::string what; std::string bytes; std::string reason; };
    const Case cases[] = {
        {"NUL byte", entry + std::string("x\0y", 3), "the file holds a NUL byte on line 3: it is not text"},
        {"binary", entry + "\x7F" "ELF\x02\x01", "the file holds a control character on line 3: it is not text"},
        {"not UTF-8", entry + "caf\xE9\n", "the file is not UTF-8 text (line 3)"},
        {"long line", entry + "Warning=" + std::string(4089, 'w'), "line 3 is longer than 4,096 characters"},
        {"odd UTF-16", Utf16LeWithMark("[A *]") + "x", "the file is not UTF-16 text: it ends inside a character or breaks a pair"},
        {"lone surrogate", std::string("\xFF\xFE\x00\xD8[\0", 6), "the file is not UTF-16 text: it ends inside a character or breaks a pair"},
        {"UTF-16 big-endian", "\xFE\xFF", "the file is UTF-16 big-endian, which is not read"},
        {"larger than 16 MB", entry + std::string(kLargestRulesFile, ';'), "the file is larger than 16 MB"},
    };
    for (const Case& c : cases) {
        const RulesFile file = ParseRulesText(c.bytes, "bad.ini");
        EXPECT_EQ(file.refused, c.reason) << c.what;
        EXPECT_TRUE(file.entries.empty()) << c.what;
    }
    // 4,096 characters, some of them of two bytes, are still one line.
    const RulesFile longest = ParseRulesText(entry + "Warning=" + std::string(4087, 'w') + "\xC3\xA9", "ok.ini");
    EXPECT_EQ(longest.refused, "");
}

TEST(RulesFileText, Utf16AndUtf8WithAMarkReadAsTheSameText)
{
    const std::string text = "[A *]\r\nSection=Tools\r\nFileKey1=%AppData%\\A|*.log|RECURSE\r\n";
    const std::string expected = Describe(OnlyEntry(text));
    EXPECT_EQ(Describe(OnlyEntry(Utf16LeWithMark(text))), expected);
    EXPECT_EQ(Describe(OnlyEntry("\xEF\xBB\xBF" + text)), expected);
    // "[Caf\u00e9 \U0001F600 *]" in UTF-16, a surrogate pair included, names the entry in UTF-8.
    const std::string name16("\xFF\xFE[\0C\0a\0f\0\xE9\0 \0\x3D\xD8\x00\xDE \0*\0]\0\n\0", 26);
    const RulesFile file = ParseRulesText(name16 + Utf16LeWithMark("FileKey1=%AppData%\\A|*.log").substr(2), "u16.ini");
    ASSERT_EQ(file.entries.size(), 1u);
    EXPECT_EQ(file.entries[0].name, "Caf\xC3\xA9 \xF0\x9F\x98\x80 *");
}
