#include "remote_controls.h"

#include "common/handles.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const int kTextCapacity = 512;  // characters, terminator included

// Text handed over in the wide form, as UTF-8.
std::string Narrow(const wchar_t* text)
{
    char narrow[kTextCapacity * 4] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

// A block of read-write memory inside the process that owns a window, given
// back when the object ends.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, size_t size)
    {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(window, &processId);
        m_process.Reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
        if (m_process) {
            m_base = static_cast<BYTE*>(
                ::VirtualAllocEx(m_process.Get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        }
        if (m_base == nullptr) ADD_FAILURE() << "no memory in process " << processId << ": error " << ::GetLastError();
    }
    ~RemoteBuffer()
    {
        if (m_base != nullptr) ::VirtualFreeEx(m_process.Get(), m_base, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool IsValid() const { return m_base != nullptr; }

    // The address, in the other process, of the byte at offset: what goes
    // into messages and into the pointer fields of structures.
    BYTE* At(size_t offset) const { return m_base + offset; }

    bool Write(size_t offset, const void* data, size_t size)
    {
        SIZE_T done = 0;
        return ::WriteProcessMemory(m_process.Get(), At(offset), data, size, &done) && done == size;
    }
    bool Read(size_t offset, void* data, size_t size) const
    {
        SIZE_T done = 0;
        return ::ReadProcessMemory(m_process.Get(), At(offset), data, size, &done) && done == size;
    }
    std::string ReadText(size_t offset)
    {
        wchar_t text[kTextCapacity] = {};
        if (!Read(offset, text, sizeof text)) return std::string();
        text[kTextCapacity - 1] = L'\0';
        return Narrow(text);
    }

private:
    UniqueHandle m_process;
    BYTE* m_base = nullptr;
};

HTREEITEM NextItem(HWND tree, UINT relation, HTREEITEM item)
{
    return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// The item's text and state, through a TVITEMW followed by its text buffer.
RemoteTreeItem ReadTreeItem(HWND tree, HTREEITEM handle, RemoteBuffer& buffer)
{
    TVITEMW item = {};
    item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_STATE;
    item.hItem = handle;
    item.stateMask = TVIS_STATEIMAGEMASK;
    item.pszText = reinterpret_cast<wchar_t*>(buffer.At(sizeof item));
    item.cchTextMax = kTextCapacity;
    RemoteTreeItem result;
    result.handle = handle;
    if (!buffer.Write(0, &item, sizeof item) ||
        !::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.At(0))) ||
        !buffer.Read(0, &item, sizeof item)) {
        ADD_FAILURE() << "tree item not read";
        return result;
    }
    result.stateImage = static_cast<int>((item.state & TVIS_STATEIMAGEMASK) >> 12);
    result.text = buffer.ReadText(sizeof item);
    return result;
}

std::vector<RemoteTreeItem> ReadSiblings(HWND tree, HTREEITEM first, RemoteBuffer& buffer)
{
    std::vector<RemoteTreeItem> items;
    for (HTREEITEM handle = first; handle != nullptr; handle = NextItem(tree, TVGN_NEXT, handle)) {
        items.push_back(ReadTreeItem(tree, handle, buffer));
        items.back().children = ReadSiblings(tree, NextItem(tree, TVGN_CHILD, handle), buffer);
    }
    return items;
}

bool HitsStateImage(HWND tree, HTREEITEM item, POINT point, RemoteBuffer& buffer)
{
    TVHITTESTINFO hit = {};
    hit.pt = point;
    if (!buffer.Write(0, &hit, sizeof hit)) return false;
    ::SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(buffer.At(0)));
    return buffer.Read(0, &hit, sizeof hit) && hit.hItem == item && (hit.flags & TVHT_ONITEMSTATEICON) != 0;
}

// The rectangle of the item's text, in the tree's client coordinates.
bool ItemTextRect(HWND tree, HTREEITEM item, RemoteBuffer& buffer, RECT* text)
{
    // TVM_GETITEMRECT takes the item in the rectangle it fills.
    RECT rect = {};
    std::memcpy(&rect, &item, sizeof item);
    if (!buffer.Write(0, &rect, sizeof rect) ||
        !::SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(buffer.At(0))) ||
        !buffer.Read(0, text, sizeof *text)) {
        return false;
    }
    return true;
}

// A left click at the point of the tree's client area. The tree's parent
// reads where the click was from the message's cursor position, so the
// cursor is put there first.
bool ClickAt(HWND tree, POINT point)
{
    POINT onScreen = point;
    if (!::ClientToScreen(tree, &onScreen) || !::SetCursorPos(onScreen.x, onScreen.y)) return false;
    const LPARAM at = MAKELPARAM(point.x, point.y);
    return ::PostMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, at) && ::PostMessageW(tree, WM_LBUTTONUP, 0, at);
}

}  // namespace

std::vector<RemoteTreeItem> ReadTree(HWND tree)
{
    RemoteBuffer buffer(tree, sizeof(TVITEMW) + kTextCapacity * sizeof(wchar_t));
    if (!buffer.IsValid()) return {};
    return ReadSiblings(tree, NextItem(tree, TVGN_ROOT, nullptr), buffer);
}

int TreeItemStateImage(HWND tree, HTREEITEM item)
{
    const LRESULT bits = ::SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK);
    return static_cast<int>((bits & TVIS_STATEIMAGEMASK) >> 12);
}

std::vector<std::vector<std::string>> ReadListRows(HWND list)
{
    const HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    RemoteBuffer buffer(list, sizeof(LVITEMW) + kTextCapacity * sizeof(wchar_t));
    std::vector<std::vector<std::string>> texts;
    if (!buffer.IsValid()) return texts;
    for (int row = 0; row < rows; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < columns; ++column) {
            LVITEMW item = {};
            item.iSubItem = column;
            item.pszText = reinterpret_cast<wchar_t*>(buffer.At(sizeof item));
            item.cchTextMax = kTextCapacity;
            const wchar_t nothing = L'\0';
            buffer.Write(sizeof item, &nothing, sizeof nothing);
            if (!buffer.Write(0, &item, sizeof item)) ADD_FAILURE() << "list item not written";
            ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(buffer.At(0)));
            cells.push_back(buffer.ReadText(sizeof item));
        }
        texts.push_back(cells);
    }
    return texts;
}

bool ClickStateImage(HWND tree, HTREEITEM item)
{
    ::SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    RemoteBuffer buffer(tree, sizeof(TVHITTESTINFO) + sizeof(RECT));
    RECT text = {};
    if (!buffer.IsValid() || !ItemTextRect(tree, item, buffer, &text)) return false;

    // The state picture lies left of the item's picture and text; the middle
    // of the span that the tree itself counts as the state picture is clicked.
    POINT point = {text.left, (text.top + text.bottom) / 2};
    int right = -1;
    int left = -1;
    for (int x = text.left - 1; x >= 0; --x) {
        point.x = x;
        const bool hits = HitsStateImage(tree, item, point, buffer);
        if (hits && right < 0) right = x;
        if (hits) left = x;
        if (!hits && right >= 0) break;
    }
    if (right < 0) return false;
    point.x = (left + right) / 2;
    return ClickAt(tree, point);
}

bool ClickItemText(HWND tree, HTREEITEM item)
{
    ::SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    RemoteBuffer buffer(tree, sizeof(RECT));
    RECT text = {};
    if (!buffer.IsValid() || !ItemTextRect(tree, item, buffer, &text)) return false;
    return ClickAt(tree, {(text.left + text.right) / 2, (text.top + text.bottom) / 2});
}

void PressSpaceOn(HWND tree, HTREEITEM item)
{
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    const UINT scanCode = ::MapVirtualKeyW(VK_SPACE, MAPVK_VK_TO_VSC);
    ::PostMessageW(tree, WM_KEYDOWN, VK_SPACE, 1 | (scanCode << 16));
    ::PostMessageW(tree, WM_KEYUP, VK_SPACE, 1 | (scanCode << 16) | (1u << 30) | (1u << 31));
}

bool SelectListRow(HWND list, int row)
{
    RemoteBuffer buffer(list, sizeof(LVITEMW));
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    return buffer.IsValid() && buffer.Write(0, &item, sizeof item) &&
           ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(buffer.At(0))) != FALSE;
}

bool SetDateTimePicker(HWND picker, const SYSTEMTIME& value)
{
    RemoteBuffer buffer(picker, sizeof value);
    return buffer.IsValid() && buffer.Write(0, &value, sizeof value) &&
           ::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(buffer.At(0))) != FALSE;
}

std::string ControlText(HWND control)
{
    wchar_t text[kTextCapacity] = {};
    ::SendMessageW(control, WM_GETTEXT, kTextCapacity, reinterpret_cast<LPARAM>(text));
    return Narrow(text);
}

void SetControlText(HWND control, const std::string& text)
{
    wchar_t wide[kTextCapacity] = {};
    ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide, kTextCapacity - 1);
    ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide));
}

std::vector<std::string> ComboBoxTexts(HWND box)
{
    std::vector<std::string> texts;
    const int count = static_cast<int>(::SendMessageW(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[kTextCapacity] = {};
        if (::SendMessageW(box, CB_GETLBTEXTLEN, i, 0) < kTextCapacity) {
            ::SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        }
        texts.push_back(Narrow(text));
    }
    return texts;
}
