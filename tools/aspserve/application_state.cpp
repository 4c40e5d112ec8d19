#include "tools/aspserve/application_state.h"

namespace aspserve {

void CApplicationState::Lock(std::uint64_t page)
{
    std::unique_lock<std::mutex> guard(lock_);
    released_.wait(guard, [&] { return holder_ == 0 || holder_ == page; });
    holder_ = page;
}

void CApplicationState::ReleaseFor(std::uint64_t page) noexcept
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (holder_ != page)
            return;
        holder_ = 0;
    }
    released_.notify_all();
}

std::uint64_t CApplicationState::Holder() const noexcept
{
    std::lock_guard<std::mutex> guard(lock_);
    return holder_;
}

} // namespace aspserve
