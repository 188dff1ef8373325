#pragma once
// Registry access for tests, inside the test run's own Wine prefix.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

extern const char kProgramSettingsKey[];  // Software\Hollowmere\Tidewhistle
extern const char kRunKey[];              // Software\Microsoft\Windows\CurrentVersion\Run
extern const char kRunValueName[];        // "Hollowmere Tidewhistle"

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

bool ReadRegValue(HKEY root, const std::string& key, const std::string& name, RegValue* value);
bool ReadRegString(HKEY root, const std::string& key, const std::string& name, std::string* text);
bool WriteRegValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const void* data,
                   DWORD size);
bool WriteRegDword(HKEY root, const std::string& key, const std::string& name, DWORD value);
bool WriteRegString(HKEY root, const std::string& key, const std::string& name, const std::string& text,
                    DWORD type = REG_SZ);
void DeleteRegValue(HKEY root, const std::string& key, const std::string& name);
bool RegValueExists(HKEY root, const std::string& key, const std::string& name);
bool KeyExists(HKEY root, const std::string& key);
// The number of the key's subkeys, or of its values; 9999 when it cannot be opened.
DWORD CountOf(HKEY root, const std::string& key, bool subkeys);

// Values of one key that a test changes; each is put back as it was (or
// removed) when the fixture ends, so tests leave the prefix as they found it.
class RegistryValuesOverride {
public:
    RegistryValuesOverride(HKEY root, std::string key);
    ~RegistryValuesOverride();
    RegistryValuesOverride(const RegistryValuesOverride&) = delete;
    RegistryValuesOverride& operator=(const RegistryValuesOverride&) = delete;

    void SetDword(const std::string& name, DWORD value);
    void SetString(const std::string& name, const std::string& text, DWORD type = REG_SZ);
    void Remove(const std::string& name);

private:
    void Remember(const std::string& name);

    HKEY m_root;
    std::string m_key;
    std::map<std::string, std::pair<bool, RegValue>> m_saved;  // name -> (existed, value)
};

// The program's settings key, as installation leaves it.
class ProgramSettings : public RegistryValuesOverride {
public:
    ProgramSettings() : RegistryValuesOverride(HKEY_LOCAL_MACHINE, kProgramSettingsKey) {}
};
