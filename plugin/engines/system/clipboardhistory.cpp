#include "plugin/engines/system/clipboardhistory.h"

#include "common/comreference.h"
#include "common/handles.h"
#include "common/strformat.h"
#include "common/tracer.h"

#include <windows.h>
#include <hstring.h>
#include <inspectable.h>

#include <string>

namespace {

const wchar_t kClipboardClass[] = L"Windows.ApplicationModel.DataTransfer.Clipboard";

// {D2AC1B6A-D29F-554B-B303-F0452345FE02}, IClipboardStatics2: the
// clipboard's static methods that Windows 10 1809 added for its history.
constexpr IID kClipboardStatics2Interface = {0xD2AC1B6A, 0xD29F, 0x554B, {0xB3, 0x03, 0xF0, 0x45, 0x23, 0x45, 0xFE, 0x02}};

// The interface as the Windows SDK declares it, up to the last method the
// engine calls: the methods before it keep IsHistoryEnabled at its slot.
struct IClipboardStatics2 : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetHistoryItemsAsync(void** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearHistory(boolean* cleared) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteItemFromHistory(IInspectable* item, boolean* deleted) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHistoryItemAsContent(IInspectable* item, int* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsHistoryEnabled(boolean* enabled) = 0;
};

using RoGetActivationFactoryFunction = HRESULT(WINAPI*)(HSTRING, REFIID, void**);
using WindowsCreateStringReferenceFunction = HRESULT(WINAPI*)(PCWSTR, UINT32, HSTRING_HEADER*, HSTRING*);

// What the activation may answer when the class or its interface is not on
// this system (before Windows 10 1809, or under Wine): nothing to clean.
bool MeansNotPresent(HRESULT result)
{
    return result == REGDB_E_CLASSNOTREG || result == E_NOINTERFACE || result == CLASS_E_CLASSNOTAVAILABLE ||
           result == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) || result == HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

// The clipboard class's statics, through combase loaded from the system
// folder at run time, so that the plug-in still loads on systems without it.
// The module is held for as long as the interface: members go in reverse.
struct ClipboardStatics {
    UniqueModule combase;
    ComReference<IClipboardStatics2> statics;
};

HRESULT GetClipboardStatics(ClipboardStatics& clipboard)
{
    clipboard.combase.Reset(::LoadLibraryExW(L"combase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!clipboard.combase) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    const HMODULE combase = clipboard.combase.Get();
    const auto getFactory = reinterpret_cast<RoGetActivationFactoryFunction>(
        reinterpret_cast<void*>(::GetProcAddress(combase, "RoGetActivationFactory")));
    const auto makeReference = reinterpret_cast<WindowsCreateStringReferenceFunction>(
        reinterpret_cast<void*>(::GetProcAddress(combase, "WindowsCreateStringReference")));
    if (getFactory == nullptr || makeReference == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

    HSTRING_HEADER header = {};
    HSTRING className = nullptr;
    const HRESULT made = makeReference(kClipboardClass, static_cast<UINT32>(ARRAYSIZE(kClipboardClass) - 1), &header,
                                       &className);
    if (FAILED(made)) return made;
    return getFactory(className, kClipboardStatics2Interface, clipboard.statics.Receive());
}

}  // namespace

ClipboardHistoryResult ClearClipboardHistory(bool preview, std::string& warning)
{
    ClipboardStatics clipboard;
    const HRESULT reached = GetClipboardStatics(clipboard);
    IClipboardStatics2* const statics = clipboard.statics.Get();
    if (MeansNotPresent(reached)) {
        TRACE(20, "ClearClipboardHistory - not present (0x%08lX)", static_cast<unsigned long>(reached));
        return ClipboardHistoryResult::NotPresent;
    }
    if (FAILED(reached) || statics == nullptr) {
        warning = StrFormat("The clipboard history could not be reached (error 0x%08lX).",
                            static_cast<unsigned long>(reached));
        return ClipboardHistoryResult::Failed;
    }

    boolean enabled = FALSE;
    const HRESULT asked = statics->IsHistoryEnabled(&enabled);
    if (FAILED(asked)) {
        warning = StrFormat("The clipboard history could not be read (error 0x%08lX).",
                            static_cast<unsigned long>(asked));
        return ClipboardHistoryResult::Failed;
    }
    if (!enabled) return ClipboardHistoryResult::TurnedOff;
    if (!preview) {
        // Pinned items stay: the system keeps them through a clear.
        boolean cleared = FALSE;
        const HRESULT result = statics->ClearHistory(&cleared);
        if (FAILED(result) || !cleared) {
            warning = FAILED(result) ? StrFormat("The clipboard history could not be cleared (error 0x%08lX).",
                                                 static_cast<unsigned long>(result))
                                     : std::string("The clipboard history could not be cleared: the system refused.");
            return ClipboardHistoryResult::Failed;
        }
    }
    return ClipboardHistoryResult::Cleared;
}
