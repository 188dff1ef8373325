#pragma once
#include <string>

// Copies text into a caller's buffer of size characters: at most size - 1
// characters, and the buffer always ends with a NUL in its last place. False,
// writing nothing, for a null buffer or a size below 1.
bool CopyToBuffer(const std::string& text, char* buffer, int size);
