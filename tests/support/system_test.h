#pragma once
// What every test of the real program starts from: a scratch copy of the
// program folder with the test plug-in beside the real one, the program's
// settings put back as they were when the test ends, automatic start off
// (no stray resident copy may start at logon under Wine), and a task name
// of the test's own.
#include "support/registry_fixture.h"
#include "support/task_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

class SystemTest : public ::testing::Test {
protected:
    // The test's task is named taskPrefix followed by the test's name.
    explicit SystemTest(std::string taskPrefix = "Task_") : m_taskPrefix(std::move(taskPrefix)) {}

    void SetUp() override
    {
        settings.SetDword("AutoRun", 0);
        taskName = m_taskPrefix + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }

    TaskProgramFolder folder;
    ProgramSettings settings;
    std::string taskName;

private:
    std::string m_taskPrefix;
};
