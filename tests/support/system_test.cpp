#include "system_test.h"

void SystemTest::SetUp()
{
    settings.SetDword("AutoRun", 0);
    taskName = m_taskPrefix + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}
