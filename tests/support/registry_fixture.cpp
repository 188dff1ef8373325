#include "registry_fixture.h"

#include "common/handles.h"

const char kProgramSettingsKey[] = "Software\\Hollowmere\\Tidewhistle";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValueName[] = "Hollowmere Tidewhistle";

bool ReadRegValue(HKEY root, const std::string& key, const std::string& name, RegValue* value)
{
    UniqueRegKey handle;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, handle.Receive()) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    if (::RegQueryValueExA(handle.Get(), name.c_str(), nullptr, &value->type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    value->data.assign(size, 0);
    return ::RegQueryValueExA(handle.Get(), name.c_str(), nullptr, &value->type, value->data.data(), &size) ==
           ERROR_SUCCESS;
}

bool ReadRegString(HKEY root, const std::string& key, const std::string& name, std::string* text)
{
    RegValue value;
    if (!ReadRegValue(root, key, name, &value) || value.type != REG_SZ) return false;
    text->assign(reinterpret_cast<const char*>(value.data.data()), value.data.size());
    const size_t nul = text->find('\0');
    if (nul != std::string::npos) text->resize(nul);
    return true;
}

bool WriteRegValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const void* data,
                   DWORD size)
{
    UniqueRegKey handle;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                          handle.Receive(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExA(handle.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

bool WriteRegDword(HKEY root, const std::string& key, const std::string& name, DWORD value)
{
    return WriteRegValue(root, key, name, REG_DWORD, &value, sizeof value);
}

bool WriteRegString(HKEY root, const std::string& key, const std::string& name, const std::string& text, DWORD type)
{
    return WriteRegValue(root, key, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void DeleteRegValue(HKEY root, const std::string& key, const std::string& name)
{
    UniqueRegKey handle;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, handle.Receive()) == ERROR_SUCCESS) {
        ::RegDeleteValueA(handle.Get(), name.c_str());
    }
}

bool RegValueExists(HKEY root, const std::string& key, const std::string& name)
{
    RegValue value;
    return ReadRegValue(root, key, name, &value);
}

bool KeyExists(HKEY root, const std::string& key)
{
    UniqueRegKey handle;
    return ::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, handle.Receive()) == ERROR_SUCCESS;
}

DWORD CountOf(HKEY root, const std::string& key, bool subkeys)
{
    UniqueRegKey handle;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, handle.Receive()) != ERROR_SUCCESS) return 9999;
    DWORD subkeyCount = 0;
    DWORD valueCount = 0;
    ::RegQueryInfoKeyA(handle.Get(), nullptr, nullptr, nullptr, &subkeyCount, nullptr, nullptr, &valueCount, nullptr,
                       nullptr, nullptr, nullptr);
    return subkeys ? subkeyCount : valueCount;
}

RegistryValuesOverride::RegistryValuesOverride(HKEY root, std::string key) : m_root(root), m_key(std::move(key)) {}

RegistryValuesOverride::~RegistryValuesOverride()
{
    for (const auto& [name, saved] : m_saved) {
        if (saved.first) {
            WriteRegValue(m_root, m_key, name, saved.second.type, saved.second.data.data(),
                          static_cast<DWORD>(saved.second.data.size()));
        } else {
            DeleteRegValue(m_root, m_key, name);
        }
    }
}

void RegistryValuesOverride::Remember(const std::string& name)
{
    if (m_saved.count(name) != 0) return;
    RegValue value;
    const bool existed = ReadRegValue(m_root, m_key, name, &value);
    m_saved[name] = {existed, value};
}

void RegistryValuesOverride::SetDword(const std::string& name, DWORD value)
{
    Remember(name);
    WriteRegDword(m_root, m_key, name, value);
}

void RegistryValuesOverride::SetString(const std::string& name, const std::string& text, DWORD type)
{
    Remember(name);
    WriteRegString(m_root, m_key, name, text, type);
}

void RegistryValuesOverride::Remove(const std::string& name)
{
    Remember(name);
    DeleteRegValue(m_root, m_key, name);
}
