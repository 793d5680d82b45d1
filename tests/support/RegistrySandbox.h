// Gives one test a private HKEY_CURRENT_USER: the process's HKCU is redirected
// to a fresh key under HKCU\Software\ModRouteTests, which is deleted at the
// end. Values are written below SOFTWARE\TavrenModManager of that key.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

namespace testsupport {

class RegistrySandbox {
public:
    RegistrySandbox() {
        static std::atomic<int> counter{0};
        m_name = std::wstring(kParent) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
        RegDeleteTreeW(HKEY_CURRENT_USER, m_name.c_str());
        if (RegCreateKeyExW(HKEY_CURRENT_USER, m_name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr) == ERROR_SUCCESS) {
            m_overridden = RegOverridePredefKey(HKEY_CURRENT_USER, m_key) == ERROR_SUCCESS;
        }
    }
    ~RegistrySandbox() {
        if (m_overridden) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (m_key != nullptr) RegCloseKey(m_key);
        RegDeleteTreeW(HKEY_CURRENT_USER, m_name.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kParent);  // only succeeds once no sandbox is left
    }
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // False when the redirection could not be set up: tests must not go on
    // and touch the real HKCU.
    bool Active() const { return m_overridden; }

    void SetDword(const std::wstring& subkey, const std::wstring& name, DWORD value) const {
        SetRaw(subkey, name, REG_DWORD, &value, sizeof value);
    }
    void SetString(const std::wstring& subkey, const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ) const {
        SetRaw(subkey, name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    void SetRaw(const std::wstring& subkey, const std::wstring& name, DWORD type, const void* data, DWORD size) const {
        RegSetKeyValueW(HKEY_CURRENT_USER, KeyName(subkey).c_str(), name.c_str(), type, data, size);
    }
    bool KeyExists(const std::wstring& subkey) const {
        HKEY key = nullptr;
        const bool exists = RegOpenKeyExW(HKEY_CURRENT_USER, KeyName(subkey).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (exists) RegCloseKey(key);
        return exists;
    }

private:
    static constexpr wchar_t kParent[] = L"Software\\ModRouteTests";
    static std::wstring KeyName(const std::wstring& subkey) {
        return subkey.empty() ? L"SOFTWARE\\TavrenModManager" : L"SOFTWARE\\TavrenModManager\\" + subkey;
    }

    std::wstring m_name;
    HKEY m_key = nullptr;
    bool m_overridden = false;
};

}  // namespace testsupport
