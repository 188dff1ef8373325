#pragma once
// The folders a rule's %Name% variables stand for. They come from a table
// the caller fills from the system (the shell's known folders), never from
// the process environment: a changed environment must not steer what a
// rule deletes.
#include <string>
#include <vector>

// Full paths without a trailing "\"; an empty one is not known here.
struct KnownFolders {
    std::string userProfile;            // %UserProfile%
    std::string appData;                // %AppData%
    std::string localAppData;           // %LocalAppData%
    std::string localLowAppData;        // %LocalLowAppData%
    std::string documents;              // %Documents%
    std::string desktop;
    std::string downloads;
    std::string pictures;               // %Pictures%
    std::string music;                  // %Music%
    std::string videos;                 // %Video%
    std::string oneDrive;
    std::string publicProfile;          // %Public%
    std::string programData;            // %ProgramData%, %CommonAppData%, %AllUsersProfile%
    std::string programFiles;           // the native one
    std::string programFilesX86;        // the 32-bit one on a 64-bit system
    std::string commonProgramFiles;
    std::string commonProgramFilesX86;
    std::string windows;                // %WinDir%, %SystemRoot%
    std::string systemDrive;            // "C:"
    std::string temp;                   // %Temp%, %Tmp%
};

// True when both tables name the same folders, for keeping what is worked
// out from one table while it is asked again and again.
bool operator==(const KnownFolders& a, const KnownFolders& b);
bool operator!=(const KnownFolders& a, const KnownFolders& b);

// True when the rules know the variable's name (without its "%" signs,
// any case).
bool IsKnownRuleVariable(const std::string& name);

// The first thing that stops the text's variables from being read:
// "unknown variable %X%", or "a % without its closing %"; empty when
// every variable is known.
std::string RuleVariableProblem(const std::string& text);

// Every path the text stands for, variables replaced by their folders:
// %ProgramFiles% and %CommonProgramFiles% stand for both folders of their
// kind, so a text may give two (or more) paths; a folder not known leaves
// out the paths that need it. Empty for a text with a variable problem.
std::vector<std::string> ExpandRuleVariables(const std::string& text, const KnownFolders& folders);
