#pragma once
// The built Tidewhistle.exe loaded as a data file, for tests that read its
// resources: string table entries and raw resources by number and type.
#include "support/scratch_folder.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

class ProgramImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = ::LoadLibraryExA(folder.Program().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << ::GetLastError();
    }
    void TearDown() override
    {
        if (module) ::FreeLibrary(module);
    }

    std::string String(UINT id) const
    {
        char buffer[1024] = {};
        const int length = ::LoadStringA(module, id, buffer, sizeof buffer);
        return std::string(buffer, length > 0 ? length : 0);
    }

    // The bytes of a resource; empty when the program has none of that number and type.
    std::vector<BYTE> Resource(WORD id, LPCSTR type) const
    {
        HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
        if (resource == nullptr) return {};
        const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module, resource)));
        if (data == nullptr) return {};
        return std::vector<BYTE>(data, data + ::SizeofResource(module, resource));
    }

    ProgramFolder folder;
    HMODULE module = nullptr;
};
