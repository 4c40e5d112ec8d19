#include "parser/receivers.h"

#include <cstdint>

namespace parser {

void CStrReceiver::Receive(const char* data, std::int32_t count)
{
    if (data == nullptr)
        throw EReceiverErrorRecoverable();
    if (count <= 0)
        return;
    const std::size_t room = kMaxLength - text_.size();
    const auto n = static_cast<std::size_t>(count);
    if (n > room)
        overflowed_ = true;
    text_.append(data, n > room ? room : n);
}

void CCounterReceiver::Receive(const char* /*data*/, std::int32_t count)
{
    // Saturates: a run of blanks longer than 2 GiB must not overflow the count.
    if (count > 0)
        total = total > INT32_MAX - count ? INT32_MAX : total + count;
}

void CFictReceiver::Receive(const char* /*data*/, std::int32_t /*count*/) {}

} // namespace parser
