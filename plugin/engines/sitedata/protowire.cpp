#include "plugin/engines/sitedata/protowire.h"

namespace {

enum WireType { kVarint = 0, kFixed64 = 1, kLengthDelimited = 2, kFixed32 = 5 };

bool ReadVarint(const std::string& data, size_t& at, std::uint64_t& value)
{
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (at >= data.size()) return false;
        const std::uint8_t byte = static_cast<std::uint8_t>(data[at++]);
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) return true;
    }
    return false;  // longer than any 64-bit number
}

struct Field {
    int number = 0;
    int type = 0;
    std::uint64_t varint = 0;  // kVarint
    std::string bytes;         // kLengthDelimited
};

// The last field of that number and type; nothing when there is none or the
// message is malformed anywhere: a damaged record is not read for part of its fields.
std::optional<Field> FindLastField(const std::string& message, int number, int type)
{
    std::optional<Field> found;
    size_t at = 0;
    while (at < message.size()) {
        std::uint64_t tag = 0;
        if (!ReadVarint(message, at, tag)) return std::nullopt;
        const int fieldType = static_cast<int>(tag & 7);
        const std::uint64_t fieldNumber = tag >> 3;
        if (fieldNumber == 0 || fieldNumber > 0x1FFFFFFF) return std::nullopt;
        Field field;
        field.number = static_cast<int>(fieldNumber);
        field.type = fieldType;
        switch (fieldType) {
        case kVarint:
            if (!ReadVarint(message, at, field.varint)) return std::nullopt;
            break;
        case kFixed64:
        case kFixed32: {
            const size_t width = fieldType == kFixed64 ? 8 : 4;
            if (message.size() - at < width) return std::nullopt;
            at += width;
            break;
        }
        case kLengthDelimited: {
            std::uint64_t length = 0;
            if (!ReadVarint(message, at, length) || length > message.size() - at) return std::nullopt;
            field.bytes = message.substr(at, static_cast<size_t>(length));
            at += static_cast<size_t>(length);
            break;
        }
        default:
            return std::nullopt;  // groups are not written by the browsers' schemas
        }
        if (field.number == number && field.type == type) found = std::move(field);
    }
    return found;
}

}  // namespace

std::optional<std::uint64_t> ProtoVarintField(const std::string& message, int number)
{
    const std::optional<Field> field = FindLastField(message, number, kVarint);
    if (!field) return std::nullopt;
    return field->varint;
}

std::optional<std::string> ProtoBytesField(const std::string& message, int number)
{
    const std::optional<Field> field = FindLastField(message, number, kLengthDelimited);
    if (!field) return std::nullopt;
    return field->bytes;
}
