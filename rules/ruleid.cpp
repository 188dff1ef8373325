#include "rules/ruleid.h"

#include "rules/sha1.h"

// B975F361-744A-46CF-965F-2D3B5248C155
const GUID kRuleIdNamespace = {0xB975F361, 0x744A, 0x46CF, {0x96, 0x5F, 0x2D, 0x3B, 0x52, 0x48, 0xC1, 0x55}};

namespace {

// The GUID's 16 bytes as the RFC writes them: each field big-endian.
std::string NetworkOrderBytes(const GUID& guid)
{
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((guid.Data1 >> shift) & 0xFF);
    for (int shift = 8; shift >= 0; shift -= 8) bytes += static_cast<char>((guid.Data2 >> shift) & 0xFF);
    for (int shift = 8; shift >= 0; shift -= 8) bytes += static_cast<char>((guid.Data3 >> shift) & 0xFF);
    for (BYTE b : guid.Data4) bytes += static_cast<char>(b);
    return bytes;
}

}  // namespace

GUID NameBasedGuid(const GUID& nameSpace, const std::string& name)
{
    Sha1Digest hash = Sha1Of(NetworkOrderBytes(nameSpace) + name);
    hash[6] = static_cast<std::uint8_t>((hash[6] & 0x0F) | 0x50);  // version 5
    hash[8] = static_cast<std::uint8_t>((hash[8] & 0x3F) | 0x80);  // the RFC's variant
    GUID guid;
    guid.Data1 = std::uint32_t(hash[0]) << 24 | std::uint32_t(hash[1]) << 16 | std::uint32_t(hash[2]) << 8 | hash[3];
    guid.Data2 = static_cast<std::uint16_t>(hash[4] << 8 | hash[5]);
    guid.Data3 = static_cast<std::uint16_t>(hash[6] << 8 | hash[7]);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = hash[8 + i];
    return guid;
}

GUID RuleItemId(const std::string& sectionName)
{
    return NameBasedGuid(kRuleIdNamespace, sectionName);
}
