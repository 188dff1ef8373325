#pragma once
// Reading what the user typed into a dialog's controls.
#include <windows.h>

#include <string>

// A count typed by the user: optional blanks around one or more decimal
// digits, no sign, at most 2147483647 (the largest value a task file
// stores). False for anything else; *value is then unchanged.
bool ParseWholeNumber(const std::string& text, int* value);

// Shows "Please enter a positive integer." and puts the focus on the field.
void RefuseWholeNumber(HWND dialog, HWND field);
