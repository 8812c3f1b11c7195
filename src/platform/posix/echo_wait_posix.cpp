#include "platform/echo_wait.h"

namespace os {

void LimitEchoWait(std::int32_t /*milliseconds*/) {}

}  // namespace os
