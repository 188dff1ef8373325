#pragma once
// Reading and operating another process's tree-view and list-view controls
// as UI automation does. Their messages carry pointers to structures and text
// buffers, which must lie in the address space of the process that owns the
// control: they are placed in memory allocated inside that process and read
// back from there. Item handles (HTREEITEM) are opaque values and pass as they
// are.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

// The text of another process's control, handed over in the wide form (the
// system copies it across processes), as UTF-8; and the same to set it.
std::string ControlText(HWND control);
void SetControlText(HWND control, const std::string& text);

// Every entry of another process's combo box, in order.
std::vector<std::string> ComboBoxTexts(HWND box);

struct RemoteTreeItem {
    HTREEITEM handle = nullptr;
    std::string text;
    int stateImage = 0;  // the state-image index held in the item's state bits
    std::vector<RemoteTreeItem> children;
};

// Every item of the tree: the top-level items in order, each with its
// descendants (collapsed branches included).
std::vector<RemoteTreeItem> ReadTree(HWND tree);

// The state-image index of one item (no remote memory needed).
int TreeItemStateImage(HWND tree, HTREEITEM item);

// The texts of every row of a report-view list, one text per column.
std::vector<std::vector<std::string>> ReadListRows(HWND list);

// Clicks the item's state picture with the left mouse button: the point is
// found with the tree's own hit test, the cursor put there (the tree's
// parent reads the click position from the message's cursor position) and
// the button pressed and released. False when no point of the item's row
// hits its state picture.
bool ClickStateImage(HWND tree, HTREEITEM item);

// Clicks the middle of the item's text.
bool ClickItemText(HWND tree, HTREEITEM item);

// Selects the item and presses the space bar in the tree.
void PressSpaceOn(HWND tree, HTREEITEM item);

// Selects one row of a list view (as a click on it does), leaving the other
// rows' selection as it is.
bool SelectListRow(HWND list, int row);

// Sets a date and time picker to the value, as the user's choice would.
bool SetDateTimePicker(HWND picker, const SYSTEMTIME& value);
