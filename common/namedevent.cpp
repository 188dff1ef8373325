#include "common/namedevent.h"

namespace {

const char kGlobalPrefix[] = "Global\\";

}  // namespace

UniqueHandle CreateNamedEvent(const std::string& name, bool manualReset, bool initialState, bool* existed)
{
    std::string fullName = kGlobalPrefix + name;
    HANDLE event = ::CreateEventA(nullptr, manualReset, initialState, fullName.c_str());
    if (event == nullptr && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
        event = ::CreateEventA(nullptr, manualReset, initialState, name.c_str());
    }
    const DWORD error = ::GetLastError();
    if (existed != nullptr) *existed = event != nullptr && error == ERROR_ALREADY_EXISTS;
    ::SetLastError(error);
    return UniqueHandle(event);
}

UniqueHandle OpenNamedEvent(DWORD access, const std::string& name)
{
    std::string fullName = kGlobalPrefix + name;
    HANDLE event = ::OpenEventA(access, FALSE, fullName.c_str());
    if (event == nullptr && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
        event = ::OpenEventA(access, FALSE, name.c_str());
    }
    return UniqueHandle(event);
}

UniqueHandle CreateNamedMutex(const std::string& name, bool initiallyOwned, bool* existed)
{
    std::string fullName = kGlobalPrefix + name;
    HANDLE mutex = ::CreateMutexA(nullptr, initiallyOwned, fullName.c_str());
    if (mutex == nullptr && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
        mutex = ::CreateMutexA(nullptr, initiallyOwned, name.c_str());
    }
    const DWORD error = ::GetLastError();
    if (existed != nullptr) *existed = mutex != nullptr && error == ERROR_ALREADY_EXISTS;
    ::SetLastError(error);
    return UniqueHandle(mutex);
}

UniqueHandle OpenNamedMutex(DWORD access, const std::string& name)
{
    std::string fullName = kGlobalPrefix + name;
    HANDLE mutex = ::OpenMutexA(access, FALSE, fullName.c_str());
    if (mutex == nullptr && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
        mutex = ::OpenMutexA(access, FALSE, name.c_str());
    }
    return UniqueHandle(mutex);
}
