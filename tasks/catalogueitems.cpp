#include "tasks/catalogueitems.h"

#include "common/error.h"
#include "common/guid.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/tracer.h"
#include "tasks/cataloguetext.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

[[noreturn]] void RaiseReadError(int error)
{
    throw CError(FormatResString(IDS_CATALOGUE_READ_ERROR, error));
}

}  // namespace

void CCatalogueItems::Read(const std::string& path)
{
    // The trace lines keep the names support has always read in the log.
    TRACE(20, "CItemInventory::Initialize");
    m_items.clear();

    // Text mode, as the file has always been read: CR LF come as LF.
    UniqueFile file(std::fopen((path.empty() ? GetModuleFilePath(kCatalogueFileName) : path).c_str(), "r"));
    if (!file) RaiseReadError(errno);
    std::string text;
    char buffer[16384];
    errno = 0;
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) text.append(buffer, got);
    if (std::ferror(file.get())) RaiseReadError(errno != 0 ? errno : EIO);

    std::vector<std::string> notes;
    const auto traceNotes = [&notes] {
        for (const std::string& note : notes) TRACE(30, "%s", note.c_str());
    };
    try {
        ParseCatalogueText(text, &m_items, &notes);
    } catch (const CError&) {
        traceNotes();  // what led up to the malformed GUID
        throw;
    }
    traceNotes();

    TRACE(20, "CItemInventory::Initialize - done");
}

void CCatalogueItems::Append(const CCatalogueItem& item)
{
    m_items.push_back(item);
}

void CCatalogueItems::GetAllItems(GuidList& guids) const
{
    guids.clear();
    for (const CCatalogueItem& item : m_items) guids.push_back(item.guid);
}

const CCatalogueItem* CCatalogueItems::FindItem(const GUID& guid) const
{
    for (const CCatalogueItem& item : m_items)
        if (SameGuid(item.guid, guid)) return &item;
    return nullptr;
}

void CCatalogueItems::GetChildren(const GUID& parent, GuidList& guids) const
{
    guids.clear();
    for (const CCatalogueItem& item : m_items)
        if (SameGuid(item.parent, parent)) guids.push_back(item.guid);
}

void CCatalogueItems::TraceItem(const CCatalogueItem& item, int level) const
{
    TRACE(level, "GUID: %s", GuidToString(item.guid).c_str());
    TRACE(level, "ParentID: %s", GuidToString(item.parent).c_str());
    TRACE(level, "Name: %s", item.name.c_str());
    TRACE(level, "ModuleName: %s", item.moduleName.c_str());
    TRACE(level, "CLSID: %s", GuidToString(item.clsid).c_str());
    TRACE(level, "Config: %s", item.config.c_str());
}
