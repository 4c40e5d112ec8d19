// RegistryKey: owner of an open registry key (closed on destruction), with the few writes the
// self-registration needs. Every failure throws com::ComError(HRESULT_FROM_WIN32(status)).
#pragma once

#include "platform/win.h"

namespace com {

class RegistryKey {
public:
    /// Creates (or opens) parent\subKey for writing.
    static RegistryKey Create(HKEY parent, const WideString& subKey);

    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&&) = delete;
    RegistryKey(const RegistryKey&) = delete;
    ~RegistryKey();

    /// Writes a REG_SZ value; an empty name writes the key's default value.
    void SetString(const WideString& name, const WideString& value);

    /// Creates subKey below this key with the given default value.
    RegistryKey CreateChild(const WideString& subKey, const WideString& defaultValue);

    /// Deletes parent\subKey with everything below it; a missing key is not an error.
    static void DeleteTree(HKEY parent, const WideString& subKey);

    HKEY Get() const noexcept { return key_; }

private:
    explicit RegistryKey(HKEY key) noexcept : key_(key) {}
    HKEY key_;
};

} // namespace com
