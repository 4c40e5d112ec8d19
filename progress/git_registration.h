// CGitRegistration: owns one registration of an interface in the process's Global Interface
// Table. The registration holds one reference to the object; destroying (or resetting) the owner
// revokes it, which releases that reference.
//
//   CGitRegistration reg = CGitRegistration::Register(metadata, IID_IUploadMetadata);
//   com::ComPtr<IUploadMetadata> here;
//   HRESULT hr = reg.Get(IID_IUploadMetadata, here.ReceiveVoid());   // valid on this thread
#pragma once

#include "platform/win.h"

#include <utility>

class CGitRegistration {
public:
    CGitRegistration() noexcept = default;
    ~CGitRegistration() { Reset(); }
    CGitRegistration(CGitRegistration&& other) noexcept : cookie_(std::exchange(other.cookie_, 0)) {}
    CGitRegistration& operator=(CGitRegistration&& other) noexcept
    {
        if (this != &other) {
            Reset();
            cookie_ = std::exchange(other.cookie_, 0);
        }
        return *this;
    }
    CGitRegistration(const CGitRegistration&) = delete;
    CGitRegistration& operator=(const CGitRegistration&) = delete;

    /// Registers object as interface iid; throws com::ComError with the GIT's HRESULT.
    static CGitRegistration Register(IUnknown* object, REFIID iid);

    /// A new reference to the registered interface, valid in the calling thread's apartment.
    HRESULT Get(REFIID iid, void** out) const noexcept;

    /// Revokes the registration, if any.
    void Reset() noexcept;

    /// Forgets the registration without revoking it: no call into COM, for the loader lock, where
    /// revoking could deadlock. The object stays referenced by the table.
    void Abandon() noexcept { cookie_ = 0; }

private:
    DWORD cookie_ = 0;
};

/// Empties a table whose values hold registrations (`registrationOf(value)` gives each one), at
/// module unload. With mayCallCom every registration is revoked; without it (under the loader
/// lock, where revoking could deadlock) each is abandoned first, and no COM call is made.
template <class Table, class RegistrationOf>
void ClearRegistrations(Table& table, bool mayCallCom, RegistrationOf registrationOf) noexcept
{
    if (!mayCallCom) {
        for (auto& entry : table)
            registrationOf(entry.second).Abandon();
    }
    table.clear();
}
