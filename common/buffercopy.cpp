#include "common/buffercopy.h"

#include <algorithm>
#include <cstring>

bool CopyToBuffer(const std::string& text, char* buffer, int size)
{
    if (buffer == nullptr || size <= 0) return false;
    const size_t count = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    buffer[size - 1] = '\0';
    return true;
}
