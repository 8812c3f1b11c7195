// The English texts of the Windows Sockets error codes 10004 to 10066 that the socket
// stack puts in its error messages.
#pragma once

#include <string_view>

namespace trolvane {

// Empty for a code without a text.
std::string_view SocketErrorText(int code);

}  // namespace trolvane
