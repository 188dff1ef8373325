#pragma once
// The bytes of a rules file as lines of UTF-8 text, or why they are not text.
#include <string>
#include <vector>

struct RulesTextLine {
    std::string text;  // without its line break
    int number = 0;    // 1 for the first line
};

// Splits the file into lines (CR LF, LF or CR end a line) after taking off
// a UTF-8 byte order mark or decoding UTF-16LE behind its mark. Returns
// the reason for refusing the file, empty when it can be read: too large,
// UTF-16 without a whole number of units or with a broken surrogate pair,
// a NUL, another control character than tab (so binary files are refused
// whole), bytes that are not UTF-8, or a line of more than the longest
// line's characters.
std::string SplitRulesText(const std::string& bytes, std::vector<RulesTextLine>* lines);
