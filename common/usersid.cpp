#include "common/usersid.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

std::string CurrentUserSid()
{
    static const std::string sid = [] {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
        const UniqueHandle owned(token);
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<BYTE> buffer(size > 0 ? size : 1);
        if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return std::string();
        char* text = nullptr;
        if (!::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return std::string();
        const UniqueLocal freeText(text);
        return std::string(text);
    }();
    return sid;
}

namespace {

// The owner of an object as SID text; empty when the system cannot tell.
std::string OwnerOf(HANDLE object, SE_OBJECT_TYPE type)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(object, type, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &descriptor) !=
        ERROR_SUCCESS) {
        return std::string();
    }
    const UniqueLocal freeDescriptor(descriptor);
    char* text = nullptr;
    if (owner == nullptr || !::ConvertSidToStringSidA(owner, &text)) return std::string();
    const UniqueLocal freeText(text);
    return text;
}

}  // namespace

bool IsOwnedByCurrentUser(HANDLE object, SE_OBJECT_TYPE type)
{
    const std::string user = CurrentUserSid();
    return !user.empty() && OwnerOf(object, type) == user;
}

bool IsOwnedByUserOrAdministrators(HANDLE object, SE_OBJECT_TYPE type)
{
    const std::string owner = OwnerOf(object, type);
    // The system account and the Administrators group, by their well-known SIDs.
    return !owner.empty() && (owner == CurrentUserSid() || owner == "S-1-5-18" || owner == "S-1-5-32-544");
}

CPrivateSecurity::CPrivateSecurity(For what)
{
    const std::string user = CurrentUserSid();
    if (user.empty()) return;
    // Owned by the user; protected, so nothing is inherited from above.
    const std::string sddl = what == For::Object
                                 ? "O:" + user + "D:P(A;;GA;;;" + user + ")(A;;GA;;;SY)"
                                 : "O:" + user + "D:P(A;OICI;FA;;;" + user + ")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &m_descriptor, nullptr)) {
        m_descriptor = nullptr;
        return;
    }
    m_attributes.nLength = sizeof m_attributes;
    m_attributes.lpSecurityDescriptor = m_descriptor;
    m_attributes.bInheritHandle = FALSE;
}

CPrivateSecurity::~CPrivateSecurity()
{
    if (m_descriptor != nullptr) ::LocalFree(m_descriptor);
}
