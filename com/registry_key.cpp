#include "com/registry_key.h"

#include "com/com_error.h"

#include <utility>

namespace com {

namespace {

void ThrowIfError(LSTATUS status)
{
    if (status != ERROR_SUCCESS)
        throw ComError(HRESULT_FROM_WIN32(status));
}

} // namespace

RegistryKey RegistryKey::Create(HKEY parent, const WideString& subKey)
{
    HKEY key = nullptr;
    ThrowIfError(::RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | KEY_READ,
                                   nullptr, &key, nullptr));
    return RegistryKey(key);
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}

RegistryKey::~RegistryKey()
{
    if (key_)
        ::RegCloseKey(key_);
}

void RegistryKey::SetString(const WideString& name, const WideString& value)
{
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(OLECHAR));
    ThrowIfError(::RegSetValueExW(key_, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(value.c_str()), bytes));
}

RegistryKey RegistryKey::CreateChild(const WideString& subKey, const WideString& defaultValue)
{
    RegistryKey child = Create(key_, subKey);
    child.SetString(WideString(), defaultValue);
    return child;
}

void RegistryKey::DeleteTree(HKEY parent, const WideString& subKey)
{
    const LSTATUS status = ::RegDeleteTreeW(parent, subKey.c_str());
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND)
        return;
    ThrowIfError(status);
}

} // namespace com
