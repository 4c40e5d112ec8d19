// CValueTable: the named values a site keeps between pages — Session.Contents and
// Application.Contents. Names are matched without regard to ASCII case and keep the order they
// were first stored in (the order Contents(i), Key(i) and For Each see). Values are copies: a
// page's later change to its own variable does not reach the table. Objects, and arrays that hold
// one, are refused, since an object belongs to the thread of the page that made it. Every member
// may be called from any thread.
//
//   aspserve::CValueTable table;
//   table.Put(L"count", value);                  // E_INVALIDARG for an object
//   com::Variant copy;
//   table.Get(L"COUNT", copy.Receive());         // VT_EMPTY when there is none
#pragma once

#include "com/variant.h"
#include "platform/win.h"

#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace aspserve {

class CValueTable {
public:
    /// A copy of the value called name into *value (uninitialised on entry); VT_EMPTY when
    /// there is none.
    HRESULT Get(const WideString& name, VARIANT* value) const noexcept;

    /// A copy of the value at 0-based position index; DISP_E_BADINDEX past the end.
    HRESULT GetAt(std::size_t index, VARIANT* value) const noexcept;

    /// Stores a copy of value (seen through VT_BYREF) under name, in the place of a value of the
    /// same name if there is one. E_INVALIDARG for an object or an array holding one.
    HRESULT Put(const WideString& name, const VARIANT& value) noexcept;

    /// Removes the value called name; false when there was none.
    bool Remove(const WideString& name) noexcept;

    /// Removes the value at 0-based position index; false past the end.
    bool RemoveAt(std::size_t index) noexcept;

    void RemoveAll() noexcept;

    std::size_t Count() const noexcept;

    /// The name at 0-based position index, as it was first stored.
    std::optional<WideString> NameAt(std::size_t index) const;

    /// Every name, in order.
    std::vector<WideString> Names() const;

private:
    std::size_t FindLocked(const WideString& name) const noexcept;

    mutable std::mutex lock_;
    std::vector<std::pair<WideString, com::Variant>> values_;
};

/// True when value (seen through VT_BYREF) is an object, or an array holding one at any depth.
bool HoldsObject(const VARIANT& value) noexcept;

} // namespace aspserve
