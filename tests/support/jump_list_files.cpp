#include "support/jump_list_files.h"

#include "common/comreference.h"

#include <windows.h>
#include <objbase.h>

namespace {

void PutLittle(std::string* bytes, std::uint64_t value, int size)
{
    for (int i = 0; i < size; ++i) bytes->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool WriteStream(IStorage* storage, const wchar_t* name, const std::string& bytes)
{
    ComReference<IStream> stream;
    if (FAILED(storage->CreateStream(name, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                     stream.ReceiveTyped()))) {
        return false;
    }
    ULONG written = 0;
    return SUCCEEDED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) &&
           written == bytes.size();
}

}  // namespace

std::string DestListHeader(std::uint32_t entries, std::uint32_t pinned)
{
    std::string header;
    PutLittle(&header, 4, 4);           // format version
    PutLittle(&header, entries, 4);
    PutLittle(&header, pinned, 4);
    PutLittle(&header, 0x3F800000, 4);  // the float, 1.0
    PutLittle(&header, entries, 8);     // last entry number
    PutLittle(&header, 2 * entries, 8); // additions and deletions
    return header;
}

bool WriteJumpListFile(const std::string& path, const std::string& destList)
{
    const std::wstring widePath(path.begin(), path.end());  // the tests' paths are ASCII
    ComReference<IStorage> storage;
    if (FAILED(::StgCreateDocfile(widePath.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                  storage.ReceiveTyped()))) {
        return false;
    }
    return WriteStream(storage.Get(), L"1", "a shell link") && WriteStream(storage.Get(), L"DestList", destList) &&
           SUCCEEDED(storage->Commit(STGC_DEFAULT));
}
