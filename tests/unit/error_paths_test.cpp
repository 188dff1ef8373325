#include "common/error.h"
#include "common/paths.h"
#include "support/raised.h"

#include <windows.h>
#include <gtest/gtest.h>

TEST(InternalError, TextCarriesCodeAndSignedDetails)
{
    EXPECT_EQ(FormatInternalError(27, -2147467259),
              "Internal error 27 (details: -2147467259). Write down this numbers and contact technical support.");
    EXPECT_EQ(RaisedText<std::exception>([] { RaiseInternalError(28, 0); }),
              "Internal error 28 (details: 0). Write down this numbers and contact technical support.");
}

TEST(ProgramPaths, NameFilesBesideTheRunningProgram)
{
    char own[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, own, MAX_PATH), 0u);
    const std::string path = own;
    const std::string folder = path.substr(0, path.rfind('\\'));

    EXPECT_EQ(GetModulePath(), path);
    EXPECT_EQ(GetModuleFolder(), folder);
    EXPECT_EQ(GetModuleFilePath("tw_debug.log"), folder + "\\tw_debug.log");
    EXPECT_EQ(GetModuleFilePath(nullptr), folder + "\\");
}
