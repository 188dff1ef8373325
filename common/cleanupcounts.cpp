#include "common/cleanupcounts.h"

#include "common/strformat.h"

#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// The fields a job counts, in their text order, for the encoder and the
// decoder; with the run's own count, for the sum.
std::vector<std::pair<const char*, long long CleanupCounts::*>> JobFields()
{
    return {{"files", &CleanupCounts::files},
            {"bytes", &CleanupCounts::bytes},
            {"folders", &CleanupCounts::folders},
            {"values", &CleanupCounts::registryValues},
            {"keys", &CleanupCounts::registryKeys},
            {"entries", &CleanupCounts::cacheEntries},
            {"cookies", &CleanupCounts::cookies},
            {"rows", &CleanupCounts::rows},
            {"operations", &CleanupCounts::operations},
            {"stores", &CleanupCounts::stores},
            {"restart", &CleanupCounts::leftForRestart},
            {"skipped", &CleanupCounts::skipped},
            {"failed", &CleanupCounts::failed}};
}

std::vector<std::pair<const char*, long long CleanupCounts::*>> Fields()
{
    auto fields = JobFields();
    fields.push_back({"not cleaned", &CleanupCounts::notCleaned});
    fields.push_back({"not offered", &CleanupCounts::notOffered});
    return fields;
}

std::string Counted(long long number, const char* one, const char* many)
{
    return GroupedNumber(number) + " " + (number == 1 ? one : many);
}

void AddPart(std::string& text, const std::string& part)
{
    text += (text.empty() ? "" : ", ") + part;
}

}  // namespace

CleanupCounts& CleanupCounts::operator+=(const CleanupCounts& other)
{
    for (const auto& field : Fields()) this->*field.second += other.*field.second;
    return *this;
}

bool CleanupCounts::operator==(const CleanupCounts& other) const
{
    for (const auto& field : Fields())
        if (this->*field.second != other.*field.second) return false;
    return true;
}

std::string EncodeCleanupCounts(const CleanupCounts& counts)
{
    std::string text;
    for (const auto& field : JobFields()) {
        text += (text.empty() ? "" : ";") + std::string(field.first) + "=" + std::to_string(counts.*field.second);
    }
    return text;
}

bool DecodeCleanupCounts(const std::string& text, CleanupCounts* counts)
{
    CleanupCounts decoded;
    size_t position = 0;
    for (const auto& field : JobFields()) {
        const std::string prefix = std::string(field.first) + "=";
        // A plug-in built before the system's stores were counted has none.
        if (field.second == &CleanupCounts::stores && text.compare(position, prefix.size(), prefix) != 0) continue;
        if (text.compare(position, prefix.size(), prefix) != 0) return false;
        position += prefix.size();
        const size_t end = text.find(';', position);
        const std::string digits = text.substr(position, end == std::string::npos ? std::string::npos : end - position);
        if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        decoded.*field.second = std::strtoll(digits.c_str(), nullptr, 10);
        // Only the last field has no ";" after it.
        if ((end == std::string::npos) != (field.second == &CleanupCounts::failed)) return false;
        position = end == std::string::npos ? text.size() : end + 1;
    }
    if (position != text.size()) return false;
    *counts = decoded;
    return true;
}

std::string GroupedNumber(long long number)
{
    std::string digits = std::to_string(number < 0 ? -number : number);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
    return (number < 0 ? "-" : "") + digits;
}

std::string ByteSize(long long bytes)
{
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024) return GroupedNumber(bytes) + (bytes == 1 ? " byte" : " bytes");
    double size = static_cast<double>(bytes) / 1024.0;
    size_t unit = 0;
    while (size >= 1024.0 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
        size /= 1024.0;
        ++unit;
    }
    return StrFormat("%.1f %s", size, kUnits[unit]);
}

std::string DescribeCleanupCounts(const CleanupCounts& counts, bool preview, size_t limit)
{
    std::string removed;
    if (counts.files > 0) AddPart(removed, Counted(counts.files, "file", "files") + " (" + ByteSize(counts.bytes) + ")");
    if (counts.folders > 0) AddPart(removed, Counted(counts.folders, "folder", "folders"));
    if (counts.registryValues > 0) AddPart(removed, Counted(counts.registryValues, "registry value", "registry values"));
    if (counts.registryKeys > 0) AddPart(removed, Counted(counts.registryKeys, "registry key", "registry keys"));
    if (counts.cacheEntries > 0) AddPart(removed, Counted(counts.cacheEntries, "cache entry", "cache entries"));
    if (counts.cookies > 0) AddPart(removed, Counted(counts.cookies, "cookie", "cookies"));
    if (counts.rows > 0) AddPart(removed, Counted(counts.rows, "database row", "database rows"));
    if (counts.operations > 0) AddPart(removed, Counted(counts.operations, "browser history", "browser histories"));
    if (counts.stores > 0) AddPart(removed, Counted(counts.stores, "system store's contents", "system stores' contents"));

    std::string kept;
    if (counts.leftForRestart > 0) {
        AddPart(kept, Counted(counts.leftForRestart, "file", "files") +
                          (preview ? " would be left for deletion at restart" : " left for deletion at restart"));
    }
    if (counts.skipped > 0) AddPart(kept, GroupedNumber(counts.skipped) + " skipped for safety");
    if (counts.failed > 0) AddPart(kept, GroupedNumber(counts.failed) + (preview ? " would fail" : " failed"));
    if (counts.notCleaned > 0) {
        AddPart(kept, Counted(counts.notCleaned, "item", "items") + " not " + (preview ? "previewed" : "cleaned") +
                          " without administrator rights");
    }
    if (counts.notOffered > 0)
        AddPart(kept, Counted(counts.notOffered, "ticked item", "ticked items") + " no longer offered");

    std::string text = std::string(preview ? "Would remove " : "Removed ") + (removed.empty() ? "nothing" : removed);
    if (!kept.empty()) text += "; " + kept;
    text += ".";
    // The longest text with every count in the billions stays within a
    // record; the cut is a guard, not a format.
    if (text.size() > limit && limit > 3) text = text.substr(0, limit - 3) + "...";
    return text;
}
