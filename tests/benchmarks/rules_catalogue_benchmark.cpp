// Benchmark: a rules file of 4,000 generated entries (registry and file
// detection, wildcards, file and registry keys, some hostile ones) read,
// judged and detected as the catalogue does at every start; then the real
// program's "/list" in a program folder with that file beside it, against
// the same without it.
//
//   rules_catalogue_benchmark.exe
//
// Prints the times and what became of the entries. Asserts nothing.
#include "support/program_runner.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"

#include "rules/rulesafety.h"
#include "rules/rulescatalogue.h"
#include "rules/systemfolders.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kEntries = 4000;
const int kRounds = 5;
const char kBenchmarkKey[] = "Software\\TidewhistleRulesBenchmark";

// One entry of each kind in turn; every tenth application "installed".
std::string GeneratedRules()
{
    std::string text = "; generated\r\n";
    for (int i = 0; i < kEntries; ++i) {
        const std::string app = "BenchApp" + std::to_string(i);
        text += "[" + app + " Cache *]\r\nLangSecRef=" + std::to_string(3021 + i % 5) + "\r\n";
        switch (i % 6) {
        case 0: text += "Detect=HKCU\\" + std::string(kBenchmarkKey) + "\\" + app + "\r\n"; break;
        case 1: text += "DetectFile=%LocalAppData%\\" + app + "\\*.cfg\r\n"; break;
        case 2: text += "DetectFile=%ProgramFiles%\\" + app + "\r\nDetect=HKLM\\Software\\" + app + "\r\n"; break;
        case 3: text += "Warning=Also removes the history.\r\n"; break;
        case 4: text += "FileKey9=%Documents%|*.*\r\n"; break;                   // refused: documents
        case 5: text += "FileKey9=%LocalAppData%\\..\\" + app + "|*.tmp\r\n"; break;  // refused: climbs
        }
        text += "FileKey1=%LocalAppData%\\" + app + "\\Cache|*.*|RECURSE\r\n";
        text += "FileKey2=%AppData%\\" + app + "\\Logs|*.log;*.tmp\r\n";
        text += "RegKey1=HKCU\\Software\\" + app + "\\Recent\r\n";
        text += "ExcludeKey1=FILE|%LocalAppData%\\" + app + "\\Cache|keep.dat\r\n";
    }
    return text;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double BestOf(const std::vector<double>& times)
{
    return *std::min_element(times.begin(), times.end());
}

double TimeOfList(const ProgramFolder& folder)
{
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        RunToEnd(folder.Program(), {"/list", folder.File("catalogue.json")});
        times.push_back(Seconds(start));
    }
    return BestOf(times);
}

}  // namespace

int main()
{
    const KnownFolders folders = SystemKnownFolders();
    for (int i = 0; i < kEntries; i += 60) {
        HKEY key = nullptr;
        const std::string name = std::string(kBenchmarkKey) + "\\BenchApp" + std::to_string(i);
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
            ERROR_SUCCESS)
            ::RegCloseKey(key);
    }

    ProgramFolder folder;
    const std::string rulesPath = folder.File("winapp2.ini");
    const double withoutRules = TimeOfList(folder);
    WriteWholeFile(rulesPath, GeneratedRules());

    std::vector<double> times;
    RulesSource source;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        CDetectionLookups lookups;  // each round asks afresh
        source = ReadRulesSource(rulesPath, "winapp2.ini", RulesPlace::Program, folders, lookups);
        times.push_back(Seconds(start));
    }
    int detected = 0, refused = 0;
    for (const CatalogueRule& rule : source.entries) {
        if (!rule.refused.empty()) ++refused;
        if (rule.detected) ++detected;
    }
    std::printf("rules entries: %zu read, judged and detected in %.3f s (best of %d); %d detected, %d refused%s\n",
                source.entries.size(), BestOf(times), kRounds, detected, refused,
                source.refused.empty() ? "" : (" - file refused: " + source.refused).c_str());

    // Where the time goes: the reading, the refusals, the detection.
    std::string text;
    ReadWholeFile(rulesPath, &text);
    auto start = std::chrono::steady_clock::now();
    const RulesFile parsed = ParseRulesText(text, "winapp2.ini");
    const double parsing = Seconds(start);
    start = std::chrono::steady_clock::now();
    for (const RuleEntry& entry : parsed.entries) RuleEntryRefusal(entry, folders);
    const double judging = Seconds(start);
    start = std::chrono::steady_clock::now();
    CDetectionLookups lookups;  // one read's answers, as the catalogue keeps them
    for (const RuleEntry& entry : parsed.entries) RuleEntryDetected(entry, folders, lookups);
    const double detecting = Seconds(start);
    std::printf("rules entries: of which reading %.3f s, judging %.3f s, detecting %.3f s (every entry)\n", parsing,
                judging, detecting);

    const double withRules = TimeOfList(folder);
    std::printf("rules entries: /list of the whole catalogue %.3f s with them, %.3f s without (best of %d)\n",
                withRules, withoutRules, kRounds);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kBenchmarkKey);
    return 0;
}
