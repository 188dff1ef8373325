#pragma once
// The top-level fields of a protocol buffer message, read from its wire
// format: the browsers keep some of their records (service worker
// registrations, Cache Storage indexes) as serialized messages, of which
// the cleaner needs one or two fields and never the schema.
#include <cstdint>
#include <optional>
#include <string>

// The last value of a varint field (the value a reader of the message
// takes), or nothing when the field is absent or the message is malformed.
std::optional<std::uint64_t> ProtoVarintField(const std::string& message, int number);

// The same for a length-delimited field (a string, bytes or a message).
std::optional<std::string> ProtoBytesField(const std::string& message, int number);
