#include "session_file.h"

#include "text_file.h"

#include <cstring>

bool ReadSessionFile(const std::string& path, std::vector<RawSessionRecord>* records)
{
    std::string content;
    if (!ReadWholeFile(path, &content) || content.size() % 272 != 0) return false;
    records->clear();
    for (size_t offset = 0; offset < content.size(); offset += 272) {
        const char* r = content.data() + offset;
        RawSessionRecord record;
        record.magic.assign(r, 4);
        std::memcpy(&record.version, r + 4, 4);
        std::memcpy(&record.sequence, r + 8, 4);
        std::memcpy(&record.type, r + 12, 4);
        record.message.assign(r + 16, strnlen(r + 16, 200));
        record.messageZeroPadded = true;
        for (size_t i = 16 + record.message.size(); i < 216; ++i) record.messageZeroPadded &= r[i] == 0;
        std::memcpy(&record.time, r + 216, 4);
        record.reservedZero = true;
        for (size_t i = 220; i < 272; ++i) record.reservedZero &= r[i] == 0;
        records->push_back(record);
    }
    return true;
}

std::vector<std::string> Messages(const std::vector<RawSessionRecord>& records)
{
    std::vector<std::string> messages;
    for (const RawSessionRecord& record : records) messages.push_back(record.message);
    return messages;
}
