#include "parser/receivers.h"

namespace parser {

void CStrReceiver::Receive(const char* data, std::int32_t count) {
    if (data == nullptr) throw EReceiverErrorRecoverable();
    if (count > 0) text_.append(data, static_cast<std::size_t>(count));
}

void CCounterReceiver::Receive(const char* /*data*/, std::int32_t count) { total += count; }

void CFictReceiver::Receive(const char* /*data*/, std::int32_t /*count*/) {}

}  // namespace parser
