#pragma once
// The console's job tree: one item per catalogue item, each with a check
// state kept in the tree's state-image bits (1 unchecked, 2 checked, 3 mixed,
// 4 not for this user) and recorded in the current task's enabled set.
#include "common/handles.h"
#include "ui/tickwarnings.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

class CCatalogueItems;
class CTaskConfig;

using UniqueImageList = UniqueResource<NullableHandleTraits<HIMAGELIST, &ImageList_Destroy>>;

// Asked before the user ticks items that carry warnings; true ticks them.
using TickQuestion = std::function<bool(const std::vector<TickWarning>&)>;

class CJobTree {
public:
    enum State { kNoState = 0, kUnchecked = 1, kChecked = 2, kMixed = 3, kDisabled = 4 };

    CJobTree() = default;
    CJobTree(const CJobTree&) = delete;
    CJobTree& operator=(const CJobTree&) = delete;

    // Gives the tree its state and item pictures and inserts the catalogue:
    // top-level items expanded, deeper branches collapsed. Without
    // administrator rights, an item that needs them is shown disabled: its
    // name says so, it cannot be ticked, and a branch's state leaves it out;
    // the task's own record of it is kept as it is.
    void Build(HWND tree, const CCatalogueItems& catalogue, bool administrator);

    // Every item's state from the task; items with children get the state
    // derived from their children, written back into the task.
    void LoadItemStates(CTaskConfig& task);
    // Asked when the user ticks items with warnings; none: they are ticked.
    void SetTickQuestion(TickQuestion question) { m_askBeforeTicking = std::move(question); }
    // Flips the item with all its descendants, then fixes its ancestors. A
    // tick that would tick items with warnings is asked first; a No changes
    // nothing.
    void ToggleItem(HTREEITEM item, CTaskConfig& task);
    // A click toggles only on the item's state picture.
    void OnClick(CTaskConfig& task);
    // The space bar toggles the selected item.
    void OnKeyDown(WORD key, CTaskConfig& task);

    State GetState(HTREEITEM item) const;

private:
    void InsertChildren(const CCatalogueItems& catalogue, const GUID& parent, HTREEITEM parentItem, int depth);
    void SetStateBits(HTREEITEM item, State state);
    void SetItemState(HTREEITEM item, State state, CTaskConfig& task);
    State CalcParentState(HTREEITEM item) const;
    void UpdateParentStates(HTREEITEM item, CTaskConfig& task);
    // True when the branch holds an item this user may tick.
    bool LoadBranch(HTREEITEM first, CTaskConfig& task);
    void SetBranch(HTREEITEM item, State state, CTaskConfig& task);
    // The warnings of the branch's items that a tick would tick.
    void GatherWarnings(HTREEITEM item, std::vector<TickWarning>* warnings) const;
    const GUID& GuidOf(HTREEITEM item) const;
    bool IsDisabled(HTREEITEM item) const;

    HWND m_tree = nullptr;
    bool m_administrator = true;
    UniqueImageList m_stateImages;
    UniqueImageList m_itemImages;
    TickQuestion m_askBeforeTicking;
};
