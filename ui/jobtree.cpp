#include "ui/jobtree.h"

#include "common/resstring.h"
#include "tasks/catalogueitems.h"
#include "tasks/taskconfig.h"
#include "ui/resource.h"

namespace {

HIMAGELIST LoadStrip(UINT bitmapId)
{
    // 16-pixel pictures, white transparent, room to grow by one.
    return ImageList_LoadImageA(CurrentModule(), MAKEINTRESOURCEA(bitmapId), 16, 1, RGB(255, 255, 255), IMAGE_BITMAP,
                                LR_CREATEDIBSECTION);
}

}  // namespace

void CJobTree::Build(HWND tree, const CCatalogueItems& catalogue, bool administrator)
{
    m_tree = tree;
    m_administrator = administrator;
    m_stateImages.Reset(LoadStrip(IDB_CHECK_STATES));
    m_itemImages.Reset(LoadStrip(IDB_JOB_ICONS));
    TreeView_SetImageList(m_tree, m_stateImages.Get(), TVSIL_STATE);
    TreeView_SetImageList(m_tree, m_itemImages.Get(), TVSIL_NORMAL);
    InsertChildren(catalogue, GUID{}, TVI_ROOT, 0);
}

void CJobTree::InsertChildren(const CCatalogueItems& catalogue, const GUID& parent, HTREEITEM parentItem, int depth)
{
    GuidList children;
    catalogue.GetChildren(parent, children);
    for (const GUID& guid : children) {
        const CCatalogueItem* item = catalogue.FindItem(guid);
        const std::string label = item->needsAdministrator && !m_administrator
                                      ? FormatResString(IDS_ITEM_NEEDS_ADMINISTRATOR, item->name.c_str())
                                      : item->name;
        TVINSERTSTRUCTA insert = {};
        insert.hParent = parentItem;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(label.c_str());
        insert.item.iImage = item->icon;
        insert.item.iSelectedImage = item->icon;
        insert.item.lParam = reinterpret_cast<LPARAM>(item);
        const auto treeItem =
            reinterpret_cast<HTREEITEM>(::SendMessageA(m_tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
        InsertChildren(catalogue, guid, treeItem, depth + 1);
        TreeView_Expand(m_tree, treeItem, depth == 0 ? TVE_EXPAND : TVE_COLLAPSE);
    }
}

namespace {

const CCatalogueItem& CatalogueItemOf(HWND tree, HTREEITEM item)
{
    TVITEMA data = {};
    data.mask = TVIF_PARAM | TVIF_HANDLE;
    data.hItem = item;
    ::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    return *reinterpret_cast<const CCatalogueItem*>(data.lParam);
}

}  // namespace

const GUID& CJobTree::GuidOf(HTREEITEM item) const
{
    return CatalogueItemOf(m_tree, item).guid;
}

bool CJobTree::IsDisabled(HTREEITEM item) const
{
    return !m_administrator && CatalogueItemOf(m_tree, item).needsAdministrator;
}

CJobTree::State CJobTree::GetState(HTREEITEM item) const
{
    const UINT bits = TreeView_GetItemState(m_tree, item, TVIS_STATEIMAGEMASK);
    return static_cast<State>((bits & TVIS_STATEIMAGEMASK) >> 12);
}

void CJobTree::SetStateBits(HTREEITEM item, State state)
{
    TVITEMA data = {};
    data.mask = TVIF_STATE | TVIF_HANDLE;
    data.hItem = item;
    data.stateMask = TVIS_STATEIMAGEMASK;
    data.state = INDEXTOSTATEIMAGEMASK(state);
    ::SendMessageA(m_tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&data));
}

// A mixed item counts as enabled; every call marks the task modified.
void CJobTree::SetItemState(HTREEITEM item, State state, CTaskConfig& task)
{
    SetStateBits(item, state);
    task.EnableItem(GuidOf(item), state != kUnchecked);
}

CJobTree::State CJobTree::CalcParentState(HTREEITEM item) const
{
    HTREEITEM child = TreeView_GetChild(m_tree, item);
    if (child == nullptr) return kNoState;
    bool anyChecked = false;
    bool anyUnchecked = false;
    for (; child != nullptr; child = TreeView_GetNextSibling(m_tree, child)) {
        const State state = GetState(child);
        if (state == kDisabled) continue;
        if (state == kMixed) return kMixed;
        if (state == kUnchecked) anyUnchecked = true;
        else anyChecked = true;
    }
    if (anyChecked && anyUnchecked) return kMixed;
    return anyChecked ? kChecked : kUnchecked;  // no child this user may tick: unchecked
}

void CJobTree::UpdateParentStates(HTREEITEM item, CTaskConfig& task)
{
    for (HTREEITEM parent = TreeView_GetParent(m_tree, item); parent; parent = TreeView_GetParent(m_tree, parent)) {
        SetItemState(parent, CalcParentState(parent), task);
    }
}

bool CJobTree::LoadBranch(HTREEITEM first, CTaskConfig& task)
{
    bool anyEnabled = false;
    for (HTREEITEM item = first; item != nullptr; item = TreeView_GetNextSibling(m_tree, item)) {
        if (IsDisabled(item)) {
            SetStateBits(item, kDisabled);
            continue;
        }
        anyEnabled = true;
        SetStateBits(item, task.IsItemEnabled(GuidOf(item)) ? kChecked : kUnchecked);
        // A group follows its items once they are all loaded: updating it
        // after each one would walk a group of thousands of rules once per rule.
        if (LoadBranch(TreeView_GetChild(m_tree, item), task)) SetItemState(item, CalcParentState(item), task);
    }
    return anyEnabled;
}

void CJobTree::LoadItemStates(CTaskConfig& task)
{
    LoadBranch(TreeView_GetChild(m_tree, TVI_ROOT), task);
}

void CJobTree::SetBranch(HTREEITEM item, State state, CTaskConfig& task)
{
    if (IsDisabled(item)) return;
    SetItemState(item, state, task);  // parents before their children
    for (HTREEITEM child = TreeView_GetChild(m_tree, item); child; child = TreeView_GetNextSibling(m_tree, child)) {
        SetBranch(child, state, task);
    }
}

void CJobTree::GatherWarnings(HTREEITEM item, std::vector<TickWarning>* warnings) const
{
    if (IsDisabled(item)) return;
    const CCatalogueItem& info = CatalogueItemOf(m_tree, item);
    // Only what goes from unticked to ticked: what is ticked already was agreed to.
    if (!info.warning.empty() && GetState(item) == kUnchecked) warnings->push_back({info.name, info.warning});
    for (HTREEITEM child = TreeView_GetChild(m_tree, item); child; child = TreeView_GetNextSibling(m_tree, child)) {
        GatherWarnings(child, warnings);
    }
}

void CJobTree::ToggleItem(HTREEITEM item, CTaskConfig& task)
{
    if (IsDisabled(item)) return;
    const State next = GetState(item) == kUnchecked ? kChecked : kUnchecked;
    if (next == kChecked && m_askBeforeTicking) {
        std::vector<TickWarning> warnings;
        GatherWarnings(item, &warnings);
        if (!warnings.empty() && !m_askBeforeTicking(warnings)) return;
    }
    SetBranch(item, next, task);
    UpdateParentStates(item, task);
}

void CJobTree::OnClick(CTaskConfig& task)
{
    const DWORD position = ::GetMessagePos();
    TVHITTESTINFO hit = {};
    hit.pt.x = static_cast<short>(LOWORD(position));
    hit.pt.y = static_cast<short>(HIWORD(position));
    ::ScreenToClient(m_tree, &hit.pt);
    TreeView_HitTest(m_tree, &hit);
    if (hit.hItem != nullptr && (hit.flags & TVHT_ONITEMSTATEICON)) ToggleItem(hit.hItem, task);
}

void CJobTree::OnKeyDown(WORD key, CTaskConfig& task)
{
    if (key != VK_SPACE) return;
    const HTREEITEM selected = TreeView_GetSelection(m_tree);
    if (selected != nullptr) ToggleItem(selected, task);
}
