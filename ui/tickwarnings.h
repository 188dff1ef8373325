#pragma once
// The question the console asks before the user ticks items whose authors
// warn of what they remove (community rules entries with a Warning=). Pure.
#include <string>
#include <vector>

// An item about to be ticked whose author warns of what it removes.
struct TickWarning {
    std::string name;
    std::string warning;
};

// The box's text: one "<name>: <warning>" line for each of the first ten,
// "... and N more" for the rest, and the question whether to tick them.
std::string TickWarningsQuestion(const std::vector<TickWarning>& warnings);
