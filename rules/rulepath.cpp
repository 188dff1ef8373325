#include "rules/rulepath.h"

#include "rules/enginereadings.h"
#include "rules/wildcardoverlap.h"

PathParts SplitPathParts(const std::string& path)
{
    PathParts parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

std::string JoinPathParts(const PathParts& parts)
{
    std::string path;
    for (const std::string& part : parts) path += (path.empty() ? "" : "\\") + part;
    return path;
}

bool LeadingPartsOverlap(const PathParts& a, const PathParts& b, size_t count)
{
    if (a.size() < count || b.size() < count) return false;
    for (size_t i = 0; i < count; ++i) {
        if (!WildcardsOverlap(a[i], b[i])) return false;
    }
    return true;
}

bool CouldReachFolder(const PathParts& folder, bool recurse, const PathParts& target)
{
    if (folder.size() >= target.size()) return LeadingPartsOverlap(folder, target, target.size());
    return recurse && LeadingPartsOverlap(folder, target, folder.size());
}

bool IsAliasPart(const std::string& part)
{
    if (part.empty()) return false;
    if (part.back() == '.' || part.back() == ' ' || part.find(':') != std::string::npos) return true;
    if (HasDroppedEnding(part)) return true;
    for (size_t tilde = part.find('~'); tilde != std::string::npos; tilde = part.find('~', tilde + 1)) {
        if (tilde + 1 < part.size() && part[tilde + 1] >= '0' && part[tilde + 1] <= '9') return true;
    }
    return false;
}

bool IsNetworkPath(const std::string& path)
{
    return path.compare(0, 2, "\\\\") == 0 || path.compare(0, 2, "//") == 0;
}

bool IsFullLocalPath(const std::string& path)
{
    const bool drive = path.size() >= 2 && path[1] == ':' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return drive && (path.size() == 2 || path[2] == '\\' || path[2] == '/');
}
