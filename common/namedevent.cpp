#include "common/namedevent.h"

#include "common/strformat.h"
#include "common/usersid.h"

#include <aclapi.h>

#include <functional>

namespace {

const char kSessionPrefix[] = "Local\\";
// Every name must fit the system's limit for object names: a SID longer
// than this (rare: many sub-authorities) is replaced by a digest of itself.
const size_t kLongestSidInName = 78;

std::string SidTag()
{
    const std::string sid = CurrentUserSid();
    if (sid.size() <= kLongestSidInName) return sid;
    unsigned long long hash = 1469598103934665603ULL;  // FNV-1a
    for (unsigned char c : sid) hash = (hash ^ c) * 1099511628211ULL;
    return StrFormat("S-digest-%016llx", hash);
}

// Whether an object of another kind under the name is this user's: it
// cannot be opened as what the program wanted, so each kind that could
// hold a name is tried with no right but to read its owner.
bool OtherKindIsOwn(const char* fullName)
{
    const std::function<HANDLE()> kinds[] = {
        [fullName] { return ::OpenEventA(READ_CONTROL, FALSE, fullName); },
        [fullName] { return ::OpenMutexA(READ_CONTROL, FALSE, fullName); },
        [fullName] { return ::OpenSemaphoreA(READ_CONTROL, FALSE, fullName); },
        [fullName] { return ::OpenWaitableTimerA(READ_CONTROL, FALSE, fullName); },
        [fullName] { return ::OpenFileMappingA(READ_CONTROL, FALSE, fullName); },
    };
    for (const auto& open : kinds) {
        UniqueHandle other(open());
        if (other) return IsOwnedByCurrentUser(other.Get(), SE_KERNEL_OBJECT);
    }
    return false;
}

// Whether a failed create met a name that is not this user's: the
// program's own objects always grant the user every right, so a denial is
// another account's object (or one made to keep the user out), and an
// object of another kind is the user's own only when its owner says so.
bool IsHeldByAnother(DWORD error, const char* fullName)
{
    if (error == ERROR_ACCESS_DENIED) return true;
    return error == ERROR_INVALID_HANDLE && !OtherKindIsOwn(fullName);
}

// Runs create under the user's name, and under the plain name where the
// system has no session namespace; checks the owner of what existed.
UniqueHandle CreateChecked(const std::string& name, NameOutcome* outcome,
                           const std::function<HANDLE(SECURITY_ATTRIBUTES*, const char*)>& create)
{
    const auto tell = [outcome](NameOutcome what) {
        if (outcome != nullptr) *outcome = what;
    };
    CPrivateSecurity security(CPrivateSecurity::For::Object);
    if (security.Attributes() == nullptr) {
        tell(NameOutcome::Failed);
        return UniqueHandle();
    }
    const std::string fullName = UserObjectName(name);
    std::string usedName = fullName;
    HANDLE object = create(security.Attributes(), usedName.c_str());
    if (object == nullptr && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
        usedName = fullName.substr(sizeof kSessionPrefix - 1);
        object = create(security.Attributes(), usedName.c_str());
    }
    const DWORD error = ::GetLastError();
    UniqueHandle handle(object);
    if (!handle && IsHeldByAnother(error, usedName.c_str())) {
        tell(NameOutcome::HeldByAnother);
        ::SetLastError(ERROR_ACCESS_DENIED);
        return handle;
    }
    if (!handle) {
        tell(NameOutcome::Failed);
        ::SetLastError(error);
        return handle;
    }
    if (error != ERROR_ALREADY_EXISTS) {
        tell(NameOutcome::Created);
        return handle;
    }
    if (!IsOwnedByCurrentUser(handle.Get(), SE_KERNEL_OBJECT)) {
        tell(NameOutcome::HeldByAnother);
        ::SetLastError(ERROR_ACCESS_DENIED);
        return UniqueHandle();
    }
    tell(NameOutcome::Existed);
    ::SetLastError(ERROR_ALREADY_EXISTS);
    return handle;
}

UniqueHandle OpenChecked(const std::string& name, const std::function<HANDLE(const char*)>& open)
{
    const std::string fullName = UserObjectName(name);
    HANDLE object = open(fullName.c_str());
    if (object == nullptr && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
        object = open(fullName.substr(sizeof kSessionPrefix - 1).c_str());
    }
    UniqueHandle handle(object);
    if (handle && !IsOwnedByCurrentUser(handle.Get(), SE_KERNEL_OBJECT)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return UniqueHandle();
    }
    return handle;
}

}  // namespace

std::string UserObjectName(const std::string& name)
{
    return kSessionPrefix + SidTag() + ":" + name;
}

UniqueHandle CreateNamedEvent(const std::string& name, bool manualReset, bool initialState, NameOutcome* outcome)
{
    return CreateChecked(name, outcome, [&](SECURITY_ATTRIBUTES* security, const char* fullName) {
        return ::CreateEventA(security, manualReset, initialState, fullName);
    });
}

UniqueHandle OpenNamedEvent(DWORD access, const std::string& name)
{
    return OpenChecked(name, [access](const char* fullName) { return ::OpenEventA(access | READ_CONTROL, FALSE, fullName); });
}

UniqueHandle CreateNamedMutex(const std::string& name, NameOutcome* outcome)
{
    return CreateChecked(name, outcome, [](SECURITY_ATTRIBUTES* security, const char* fullName) {
        return ::CreateMutexA(security, FALSE, fullName);
    });
}

UniqueHandle OpenNamedMutex(DWORD access, const std::string& name)
{
    return OpenChecked(name, [access](const char* fullName) { return ::OpenMutexA(access | READ_CONTROL, FALSE, fullName); });
}
