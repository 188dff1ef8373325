#include "tasks/inventory.h"

#include "common/error.h"
#include "common/guid.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/strparse.h"
#include "common/tracer.h"
#include "tasks/inventorytext.h"

#include <cerrno>
#include <cstdio>
#include <memory>

CItemInventory g_inventory;

namespace {

const char kInventoryFileName[] = "task_inventory.ini";

[[noreturn]] void RaiseReadError(int error)
{
    throw CError(FormatResString(IDS_INVENTORY_READ_ERROR, error));
}

}  // namespace

void CItemInventory::Initialize()
{
    Initialize(GetModuleFilePath(kInventoryFileName));
}

void CItemInventory::Initialize(const std::string& path)
{
    TRACE(20, "CItemInventory::Initialize");
    m_items.clear();

    // Text mode, as the file has always been read: CR LF come as LF.
    UniqueFile file(std::fopen(path.c_str(), "r"));
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
        ParseInventoryText(text, &m_items, &notes);
    } catch (const CError&) {
        traceNotes();  // what led up to the malformed GUID
        throw;
    }
    traceNotes();

    TRACE(20, "CItemInventory::Initialize - done");
}

void CItemInventory::Append(const CInventoryItem& item)
{
    m_items.push_back(item);
}

void CItemInventory::GetAllItems(GuidList& guids) const
{
    guids.clear();
    for (const CInventoryItem& item : m_items) guids.push_back(item.guid);
}

const CInventoryItem* CItemInventory::FindItem(const GUID& guid) const
{
    for (const CInventoryItem& item : m_items)
        if (SameGuid(item.guid, guid)) return &item;
    return nullptr;
}

void CItemInventory::GetChildren(const GUID& parent, GuidList& guids) const
{
    guids.clear();
    for (const CInventoryItem& item : m_items)
        if (SameGuid(item.parent, parent)) guids.push_back(item.guid);
}

void CItemInventory::TraceItem(const CInventoryItem& item, int level) const
{
    TRACE(level, "GUID: %s", GuidToString(item.guid).c_str());
    TRACE(level, "ParentID: %s", GuidToString(item.parent).c_str());
    TRACE(level, "Name: %s", item.name.c_str());
    TRACE(level, "ModuleName: %s", item.moduleName.c_str());
    TRACE(level, "CLSID: %s", GuidToString(item.clsid).c_str());
    TRACE(level, "Config: %s", item.config.c_str());
}
