#pragma once
// SHA-1 (FIPS 180-4), for the name-based identifiers of community rules
// only: an identifier needs a stable digest, not a secret one.
#include <array>
#include <cstdint>
#include <string>

using Sha1Digest = std::array<std::uint8_t, 20>;

// The digest of the bytes of the text, exactly as they are.
Sha1Digest Sha1Of(const std::string& bytes);
