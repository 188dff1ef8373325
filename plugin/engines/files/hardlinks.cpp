#include "plugin/engines/files/hardlinks.h"

long long CHardLinkTally::NameGone(const FileIdentity& file, const std::string& name, long long bytes)
{
    const auto key = std::make_pair(file.volume, file.index);
    auto met = m_files.find(key);
    if (met == m_files.end()) {
        if (file.names <= 1) return bytes;
        met = m_files.emplace(key, Names{file.names, {}}).first;
    }
    Names& names = met->second;
    // The same name met again (a second preview in one process) frees nothing more.
    if (!names.gone.insert(name).second) return 0;
    return names.gone.size() == names.had ? bytes : 0;
}

CHardLinkTally& HardLinkTallyOf(bool preview)
{
    static CHardLinkTally clean;
    static CHardLinkTally previewed;
    return preview ? previewed : clean;
}
