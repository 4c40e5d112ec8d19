// CApplicationState: what the pages of a site share through the Application object — its values
// and its lock. Lock keeps other pages' Lock waiting until the page that holds it calls Unlock or
// ends (ReleaseFor); a page that holds it may lock again without waiting. Values may be read and
// stored without the lock, as on IIS; the lock is for read-change-write sequences.
//
//   aspserve::CApplicationState application;
//   application.Lock(page);  ... Values().Put(L"uploads", n + 1) ...;  application.Unlock(page);
//   application.ReleaseFor(page);                  // when the page ends, whatever it did
#pragma once

#include "tools/aspserve/value_table.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace aspserve {

class CApplicationState {
public:
    CValueTable& Values() noexcept { return values_; }

    /// Waits until no other page holds the lock, then holds it for page (any nonzero token that
    /// names the page while it runs).
    void Lock(std::uint64_t page);

    /// Lets the lock go when page holds it; does nothing otherwise.
    void Unlock(std::uint64_t page) noexcept { ReleaseFor(page); }

    /// Lets the lock go when page holds it (at the page's end).
    void ReleaseFor(std::uint64_t page) noexcept;

    /// The page that holds the lock, 0 when none does.
    std::uint64_t Holder() const noexcept;

private:
    CValueTable values_;
    mutable std::mutex lock_;
    std::condition_variable released_;
    std::uint64_t holder_ = 0;
};

} // namespace aspserve
